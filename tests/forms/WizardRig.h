// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FormControl.h"
#include "editing/HintShower.h"
#include "editing/WizardModel.h"
#include "fakes/CatalogueFixture.h"
#include "fakes/FakeErrorDisplay.h"
#include "fakes/FakeEventPump.h"
#include "fakes/FakeJournal.h"

#include <string>
#include <vector>

namespace quorvel::testing {

// What the wizard asks of the rest of the program, recorded where a test looks at it.
struct WizardRigServices : WizardServices, HintShower
{
    std::vector<std::string> hints;
    bool editing = false;

    void setEditing(bool on) override { editing = on; }
    void setStopHotKeyEnabled(bool) override { }
    void addListRow(const MacroListRow &) override { }
    void setMainWindowVisible(bool) override { }
    void journalFinished() override { }
    void BindHotKeys() override { }
    void stopPropertiesRecording() override { }
    void ShowHint(const std::string &text) override { hints.push_back(text); }
};

// The wizard's model over a catalogue of its own in a scratch folder.
struct WizardRig : CatalogueFolder
{
    FakeJournal journal;
    FakeEventPump pump;
    FakeErrorDisplay errors;
    WizardRigServices services;
    WizardModel model { EditorDeps { catalogue, journal, errors, dir.path() + "/" }, services,
        services, pump };
};

} // namespace quorvel::testing
