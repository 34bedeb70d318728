// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editing/HintShower.h"

#include <functional>
#include <string>

namespace quorvel {

class ProfileStore;

// The hint window as the model sees it.
class HintView
{
public:
    virtual ~HintView() = default;
    // Shows text modally; returns whether "Show hints" is ticked once the window is closed.
    virtual bool showHintModal(const std::string &text) = 0;
};

// The wizard's hints: shown only while "Show Hints" of "Main" reads true, read afresh each time
// since the tray may have changed it meanwhile.
class HintModel : public HintShower
{
public:
    HintModel(ProfileStore &store, HintView &view)
        : m_store(store)
        , m_view(view)
    {
    }

    void ShowHint(const std::string &text) override;

    // The tray's "&Show Hints" tick follows the window's box on every close.
    std::function<void(bool)> onShowHintsChanged;

private:
    ProfileStore &m_store;
    HintView &m_view;
};

} // namespace quorvel
