// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A catalogue whose hot keys collide in every way the conflict rules know.

#include "catalogue/Catalogue.h"
#include "catalogue/HotKeyValue.h"
#include "catalogue/ProfileStore.h"
#include "fakes/FakeHotKeyRegistrar.h"
#include "fakes/TestSupport.h"

#include <gtest/gtest.h>

namespace quorvel::testing {

constexpr unsigned CtrlAltB = 0xC042, CtrlAltM = 0xC04D, CtrlAltN = 0xC04E, CtrlAltO = 0xC04F,
                   CtrlAltP = 0xC050;
constexpr unsigned CtrlAlt = hotkeymod::Control | hotkeymod::Alt;

// Mail, Mail2 and Mail3 share a key, Stopper has the stop-recording key; Big, past the last
// slot, is a record only once Entries reaches it.
constexpr const char *Shared = "[Main]\nEntries=6\n"
                               "[Macro1]\nName=Mail\nType=4\nHotKey=49229\n"
                               "[Macro2]\nName=Notes\nType=2\nHotKey=49230\n"
                               "[Macro3]\nName=Mail2\nType=4\nHotKey=49229\n"
                               "[Macro4]\nName=Stopper\nType=4\nHotKey=24699\n"
                               "[Macro5]\nName=Quiet\nType=4\n"
                               "[Macro6]\nName=Mail3\nType=1\nHotKey=49229\n"
                               "[Macro101]\nName=Big\nType=4\nHotKey=49218\n";

class Conflicts : public ::testing::Test
{
protected:
    void SetUp() override { writeFile(dir.file("macros.ini"), Shared); }

    TempDir dir;
    ProfileStore store { dir.file("macros.ini") };
    Catalogue catalogue { store };
    FakeHotKeyRegistrar registrar;
};

} // namespace quorvel::testing
