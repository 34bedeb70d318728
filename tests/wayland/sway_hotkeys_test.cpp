// SPDX-License-Identifier: GPL-3.0-or-later
// Runs on headless sway (scripts/with-sway.sh) whose config binds Ctrl+Alt+t; wtype is the
// person's keyboard.
#include "fakes/TestSupport.h"
#include "platform/wayland/SwayHotKeyRegistrar.h"
#include "platform/wayland/SwayIpc.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quorvel::wayland {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::TempDir;
constexpr unsigned CtrlAlt = hotkeymod::Control | hotkeymod::Alt;

void press(const std::string &wtypeArgs)
{
    ASSERT_EQ(std::system(("wtype " + wtypeArgs).c_str()), 0) << wtypeArgs;
}

// Hands what arrives on fd to process until done or the time is up.
bool pumpUntil(int fd, const std::function<void()> &process, const std::function<bool()> &done,
    std::chrono::milliseconds timeout = 3s)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p { fd, POLLIN, 0 };
        if (::poll(&p, 1, static_cast<int>(left.count())) > 0)
            process();
    }
    return true;
}

void pumpFor(SwayHotKeyRegistrar &hotKeys, std::chrono::milliseconds time)
{
    pumpUntil(
        hotKeys.fileDescriptor(), [&] { hotKeys.processEvents(); }, [] { return false; }, time);
}

bool pumpUntil(SwayHotKeyRegistrar &hotKeys, const std::function<bool()> &done)
{
    return pumpUntil(
        hotKeys.fileDescriptor(), [&] { hotKeys.processEvents(); }, done);
}

// Whether sway still holds a binding of the combination: unbinding it is refused otherwise.
bool swayBinds(const std::string &combination)
{
    auto ipc = SwayIpc::connect(SwayIpc::socketPath());
    const auto results = ipc->runCommand("unbindsym " + combination);
    return !results.empty() && results.front().success;
}

struct SwayHotKeys : ::testing::Test
{
    TempDir state;
    SwayHotKeyRegistrar hotKeys { SwayIpc::socketPath(), state.path() };
};

TEST_F(SwayHotKeys, PressingARegisteredCombinationRunsItsHotKeyAlone)
{
    const struct
    {
        unsigned modifiers;
        KeyCode key;
        const char *wtype;
    } keys[] = {
        { CtrlAlt, 'Q', "-M ctrl -M alt -k q" },
        { hotkeymod::Control | hotkeymod::Shift, vk::F1 + 4, "-M ctrl -M shift -k F5" },
        { hotkeymod::Alt, '7', "-M alt -k 7" },
    };
    int presses[std::size(keys)] {};
    for (std::size_t i = 0; i < std::size(keys); ++i)
        ASSERT_NE(hotKeys.registerHotKey(
                      keys[i].modifiers, keys[i].key, [&, i](unsigned, KeyCode) { ++presses[i]; }),
            0);
    for (std::size_t i = 0; i < std::size(keys); ++i) {
        press(keys[i].wtype);
        EXPECT_TRUE(pumpUntil(hotKeys, [&] { return presses[i] == 1; })) << keys[i].wtype;
        pumpFor(hotKeys, 100ms);
        for (std::size_t j = 0; j < std::size(keys); ++j)
            EXPECT_EQ(presses[j], j <= i ? 1 : 0) << keys[i].wtype << " pressed, " << keys[j].wtype;
    }
    // A reload of sway's config drops runtime bindings; they are made again.
    ASSERT_TRUE(SwayIpc::connect(SwayIpc::socketPath())->runCommand("reload").front().success);
    // The bindings come back once the reload's event is handled, some time after.
    for (int i = 0; i < 10 && presses[0] < 2; ++i) {
        press(keys[0].wtype);
        pumpUntil(
            hotKeys.fileDescriptor(), [&] { hotKeys.processEvents(); },
            [&] { return presses[0] >= 2; }, 300ms);
    }
    EXPECT_GE(presses[0], 2);
}

TEST_F(SwayHotKeys, AnUnregisteredOrRefusedKeyLeavesNoBinding)
{
    int presses = 0;
    const int id = hotKeys.registerHotKey(CtrlAlt, 'Q', [&](unsigned, KeyCode) { ++presses; });
    ASSERT_NE(id, 0);
    EXPECT_EQ(hotKeys.registerHotKey(CtrlAlt, 'Q', [](unsigned, KeyCode) {}), 0)
        << "registered twice";
    EXPECT_FALSE(hotKeys.heldElsewhere(CtrlAlt, 'Q')) << "our own key";
    hotKeys.unregisterHotKey(id);
    press("-M ctrl -M alt -k q");
    pumpFor(hotKeys, 300ms);
    EXPECT_EQ(presses, 0);
    EXPECT_FALSE(swayBinds("Ctrl+Alt+q"));

    // Rebinding: the same key again, then gone with the registrar.
    {
        SwayHotKeyRegistrar other(SwayIpc::socketPath(), state.path());
        ASSERT_NE(other.registerHotKey(CtrlAlt, 'W', [](unsigned, KeyCode) {}), 0);
    }
    EXPECT_FALSE(swayBinds("Ctrl+Alt+w"));
}

TEST_F(SwayHotKeys, ACombinationSwaysConfigBindsIsHeldElsewhere)
{
    EXPECT_TRUE(hotKeys.heldElsewhere(CtrlAlt, 'T'));
    EXPECT_EQ(hotKeys.registerHotKey(CtrlAlt, 'T', [](unsigned, KeyCode) {}), 0);
    EXPECT_FALSE(hotKeys.heldElsewhere(CtrlAlt, 'Y'));
    EXPECT_FALSE(hotKeys.heldElsewhere(hotkeymod::Control, 'T'));
    // sway's own binding is still there.
    EXPECT_TRUE(swayBinds("Ctrl+Alt+t"));
}

TEST_F(SwayHotKeys, AKilledProcesssBindingsAreRemovedAtTheNextStart)
{
    // Binding events of any command, to see what sway runs.
    auto watcher = SwayIpc::connect(SwayIpc::socketPath());
    watcher->subscribe(R"(["binding"])");
    std::vector<std::string> ran;
    // Waits for a binding to run, or a while for none.
    const auto pressAndWatch = [&](bool expectRun) {
        ran.clear();
        press("-M ctrl -M alt -k k");
        pumpUntil(
            watcher->fileDescriptor(),
            [&] {
                for (const auto &event : watcher->readEvents())
                    ran.push_back(parseBindingCommand(event.payload).value_or(""));
            },
            [&] { return expectRun && !ran.empty(); }, expectRun ? 3s : 300ms);
    };

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SwayHotKeyRegistrar crashing(SwayIpc::socketPath(), state.path());
        crashing.registerHotKey(CtrlAlt, 'K', [](unsigned, KeyCode) {});
        ::kill(::getpid(), SIGKILL);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    std::vector<std::string> files;
    for (const auto &entry : std::filesystem::directory_iterator(state.path()))
        files.push_back(entry.path().filename().string());
    ASSERT_EQ(files.size(), 1u);
    const std::string instance = files[0].substr(files[0].find('.') + 1);
    EXPECT_EQ(instance.substr(0, instance.find('.')), std::to_string(child));
    pressAndWatch(true);
    EXPECT_EQ(ran, std::vector<std::string> { "nop quorvel:" + instance + ":1" });

    SwayHotKeyRegistrar restarted(SwayIpc::socketPath(), state.path());
    pressAndWatch(false);
    EXPECT_TRUE(ran.empty());
    EXPECT_FALSE(std::filesystem::exists(state.file(files[0])));
}

// The pid of a process that has ended.
pid_t deadPid()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

TEST(SwayHotKeyState, StateFilesAreReadAsData)
{
    const TempDir state;
    const std::string socket = SwayIpc::socketPath();
    const pid_t dead = deadPid();
    const auto file = [&](pid_t pid, const std::string &rest) {
        return state.file("sway-hotkeys." + std::to_string(pid) + rest);
    };
    ASSERT_EQ(::mkfifo(file(dead, ".1").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", file(dead, ".2"));
    // What a dead process bound, in a file we cannot read.
    ASSERT_TRUE(SwayIpc::connect(socket)->runCommand("bindsym Ctrl+Alt+u nop x").front().success);
    testing::writeFile(file(dead, ".3"), socket + "\nCtrl+Alt+u\n");
    ::chmod(file(dead, ".3").c_str(), 0);
    // A temporary that a live process is writing is not its state yet.
    testing::writeFile(file(1, ".4.new"), socket + "\nCtrl+Alt+n\n");

    const auto start = Clock::now();
    SwayHotKeyRegistrar hotKeys(socket, state.path());
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_FALSE(hotKeys.heldElsewhere(CtrlAlt, 'N'));
    EXPECT_TRUE(std::filesystem::exists(file(dead, ".3"))) << "a file we could not read is gone";
    EXPECT_TRUE(swayBinds("Ctrl+Alt+u"));
}

// Restores sway's config, and sway's reading of it, when it goes.
struct ConfigChange
{
    std::string file = SwayIpc::connect(SwayIpc::socketPath())->version().configFile;
    std::string original = testing::readFile(file);

    explicit ConfigChange(const std::string &added)
    {
        testing::writeFile(file, original + added);
        reload();
    }
    ~ConfigChange()
    {
        testing::writeFile(file, original);
        reload();
    }
    static void reload()
    {
        EXPECT_TRUE(SwayIpc::connect(SwayIpc::socketPath())->runCommand("reload").front().success);
    }
};

TEST(SwayHotKeyConfig, AConfigTooLargeForSwaysReplyLeavesHotKeysWorking)
{
    // sway drops a client whose reply passes a few MB.
    const ConfigChange large("# " + std::string(6 << 20, 'x') + "\n");
    const TempDir state;
    SwayHotKeyRegistrar hotKeys(SwayIpc::socketPath(), state.path());
    EXPECT_NE(hotKeys.configTrouble(), "");
    EXPECT_EQ(SwayHotKeyRegistrar::configTroubleAt(SwayIpc::socketPath()), hotKeys.configTrouble())
        << "the doctor's reading";
    int presses = 0;
    ASSERT_NE(hotKeys.registerHotKey(CtrlAlt, 'G', [&](unsigned, KeyCode) { ++presses; }), 0);
    press("-M ctrl -M alt -k g");
    EXPECT_TRUE(pumpUntil(hotKeys, [&] { return presses == 1; }));
}

} // namespace
} // namespace quorvel::wayland
