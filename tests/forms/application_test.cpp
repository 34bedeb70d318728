// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Application.h"
#include "app/qt/EndSignals.h"
#include "app/qt/GuardedApplication.h"
#include "common/Error.h"
#include "fakes/CatalogueFixture.h"
#include "fakes/FakeErrorDisplay.h"
#include "fakes/FakeHotKeyRegistrar.h"
#include "fakes/FakeJournal.h"
#include "fakes/FakeKeySink.h"
#include "fakes/FakeKeyboardState.h"
#include "fakes/FakeWindowSystem.h"
#include "fakes/TestSupport.h"
#include "platform/HotKeyRegistrar.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>

using namespace quorvel;
using quorvel::testing::catalogueIni;
using quorvel::testing::FakeHotKeyRegistrar;
using quorvel::testing::FakeJournal;
using quorvel::testing::FakeKeyboardState;
using quorvel::testing::FakeKeySink;
using quorvel::testing::FakeWindowSystem;
using quorvel::testing::TempDir;
using quorvel::testing::writeFile;

namespace {

// The whole application over fakes: no display, no X server.
class WholeApplication : public ::testing::Test
{
protected:
    void SetUp() override
    {
        writeFile(dir.file("macros.ini"),
            catalogueIni({ "Name=Mail\nType=4\nHotKey=49217\nFileName=Mail.key\nFoundHandle=3\n",
                             "Name=Replay\nType=3\nHotKey=49218\nFileName=Replay.dat\n" },
                "FirstRun=0\n"));
        writeFile(dir.file("Mail.key"), "hi");
        backend.keys = &keys;
        backend.keyboard = &keyboard;
        backend.windows = &windows;
        backend.hotKeys = &registrar;
        backend.journal = &journal;
        backend.cancelPlayBacks = [this] { ++cancels; };
    }

    // Runs the event loop until it ends or five seconds pass; the loop's exit code.
    int runLoop()
    {
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        guard.start(5000);
        return QCoreApplication::exec();
    }

    TempDir dir;
    FakeKeySink keys;
    FakeKeyboardState keyboard;
    FakeWindowSystem windows;
    FakeHotKeyRegistrar registrar;
    FakeJournal journal;
    Backend backend;
    int cancels = 0;
};

TEST_F(WholeApplication, StartsBindsAndRunsTheCommandLine)
{
    Application application(Paths::inFolder(dir.path()), backend);
    application.start({ "/OPEN:mail" });
    EXPECT_TRUE(registrar.holds(hotkeymod::Control | hotkeymod::Alt, 'A'));
    EXPECT_TRUE(registrar.holds(hotkeymod::Control | hotkeymod::Alt, 'B'));
    EXPECT_EQ(keys.typed(), "hi");
    EXPECT_EQ(quorvel::testing::readFile(dir.file("macros.ini")).find("FoundHandle=3"),
        std::string::npos);
}

// Replays and keys held by us are let go and hot keys given back before the loop ends.
TEST_F(WholeApplication, EndReleasesEverythingThenEndsTheLoop)
{
    Application application(Paths::inFolder(dir.path()), backend);
    application.start({});
    ASSERT_TRUE(registrar.press(hotkeymod::Control | hotkeymod::Alt, 'B'));
    ASSERT_EQ(journal.replays.size(), 1u);
    const int releasesBefore = keys.releaseAllCalls;

    QTimer::singleShot(0, [&] { application.end(); });
    EXPECT_EQ(runLoop(), 0);
    EXPECT_TRUE(application.ended());
    EXPECT_EQ(cancels, 1);
    EXPECT_GT(keys.releaseAllCalls, releasesBefore);
    EXPECT_TRUE(registrar.registrations.empty());
    EXPECT_FALSE(registrar.press(hotkeymod::Control | hotkeymod::Alt, 'A'));
    // The placement is not saved on this end.
    EXPECT_EQ(
        quorvel::testing::readFile(dir.file("macros.ini")).find("[Position]"), std::string::npos);

    application.end();
    EXPECT_EQ(cancels, 1);
}

TEST(EndSignals, TermAndHupArriveInTheEventLoopAlsoWhenTheyCameBeforeIt)
{
    for (int signal : { SIGTERM, SIGHUP }) {
        for (const bool beforeWatch : { false, true }) {
            int calls = 0;
            EndSignals endSignals;
            if (beforeWatch) {
                std::raise(signal);
                EXPECT_TRUE(endSignals.pending()) << signal;
            }
            endSignals.watch([&] {
                ++calls;
                QCoreApplication::exit(0);
            });
            if (!beforeWatch)
                std::raise(signal);
            EXPECT_EQ(calls, 0) << "handled inside the signal handler";
            QTimer guard;
            guard.setSingleShot(true);
            QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
            guard.start(5000);
            EXPECT_EQ(QCoreApplication::exec(), 0) << signal << (beforeWatch ? " before" : "");
            EXPECT_EQ(calls, 1) << signal;
            EXPECT_FALSE(endSignals.pending()) << signal;
        }
    }
}

TEST(GuardedApplication, AnExceptionOutOfAnEventIsShownOnceAndTheLoopRunsOn)
{
    auto *app = dynamic_cast<GuardedApplication *>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    quorvel::testing::FakeErrorDisplay box;
    app->setErrorDisplay(&box);
    QTimer::singleShot(0, [] { throw Error("Unable to write to macros.ini"); });
    QTimer::singleShot(0, [] { throw 42; });
    bool ranOn = false;
    QTimer::singleShot(20, [&ranOn] { ranOn = true; });
    EXPECT_TRUE(QTest::qWaitFor([&ranOn] { return ranOn; }, 2000));
    EXPECT_EQ(
        box.shown, (std::vector<std::string> { "Unable to write to macros.ini", "Unknown error" }));
    app->setErrorDisplay(nullptr);
}

} // namespace
