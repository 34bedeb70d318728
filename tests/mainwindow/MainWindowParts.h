// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fakes/FakeErrorDisplay.h"
#include "fakes/FakeViews.h"
#include "mainwindow/MainWindowModel.h"

namespace quorvel::testing {

// The main window's model over fakes, for a fixture that holds the catalogue.
struct MainWindowParts
{
    explicit MainWindowParts(Catalogue &catalogue)
        : model { catalogue, errors, services }
    {
    }

    // The list as the catalogue holds it, shown in the fake view.
    void show()
    {
        model.setView(view);
        model.LoadMacroList();
    }

    FakeErrorDisplay errors;
    FakeServices services;
    FakeMainWindowView view;
    MainWindowModel model;
};

} // namespace quorvel::testing
