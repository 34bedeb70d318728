// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/HintModel.h"

#include "catalogue/Catalogue.h"
#include "catalogue/ProfileStore.h"

namespace quorvel {

void HintModel::ShowHint(const std::string &text)
{
    if (!m_store.readBool(settings::Main, settings::ShowHints, true))
        return;
    const bool ticked = m_view.showHintModal(text);
    // A ticked box writes nothing: the key already reads true.
    if (!ticked)
        m_store.writeBool(settings::Main, settings::ShowHints, false);
    if (onShowHintsChanged)
        onShowHintsChanged(ticked);
}

} // namespace quorvel
