// SPDX-License-Identifier: GPL-3.0-or-later
// The GNOME key sink against a stand-in for the shell's extension on a private session bus.
#include "common/Error.h"
#include "common/Text.h"
#include "platform/gnome/GnomeShell.h"
#include "platform/gnome/GnomeShellKeySink.h"

#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <systemd/sd-bus.h>
#include <thread>

using namespace quorvel;
using namespace quorvel::gnome;

namespace {

// Serves the extension's typing calls on a thread of its own, noting each as text: "30+ 30-"
// for a Keys call, "T:é" for a Text call.
class FakeShell
{
public:
    FakeShell()
    {
        EXPECT_GE(sd_bus_open_user(&m_bus), 0);
        EXPECT_GE(
            sd_bus_add_object_vtable(m_bus, nullptr, kShellPath, kShellInterface, kVtable, this),
            0);
        EXPECT_GE(sd_bus_request_name(m_bus, kShellName, 0), 0);
        m_thread = std::thread([this] {
            while (!m_stop) {
                while (sd_bus_process(m_bus, nullptr) > 0) { }
                if (!holdMarks)
                    answerMarks();
                sd_bus_wait(m_bus, 20000);
            }
            answerMarks();
        });
    }
    ~FakeShell()
    {
        m_stop = true;
        m_thread.join();
        sd_bus_flush_close_unref(m_bus);
    }

    std::vector<std::string> calls()
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_calls.clear();
    }
    int keyEvents()
    {
        std::lock_guard lock(m_mutex);
        int n = 0;
        for (const auto &call : m_calls)
            n += call.rfind("T:", 0) == 0 ? 0 : int(std::count(call.begin(), call.end(), ' ')) + 1;
        return n;
    }
    std::atomic<unsigned> modifiers { 0 };
    std::atomic<bool> refuseKeys { false };
    std::atomic<unsigned> version { 2 };
    std::atomic<bool> holdMarks { false }; // Delivered answers only once this is off

private:
    static FakeShell &of(void *data) { return *static_cast<FakeShell *>(data); }
    void note(std::string call)
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(std::move(call));
    }

    static int layout(sd_bus_message *m, void *, sd_bus_error *)
    {
        return sd_bus_reply_method_return(m, "sss", "us", "", "");
    }
    static int keys(sd_bus_message *m, void *data, sd_bus_error *error)
    {
        if (of(data).refuseKeys)
            return sd_bus_error_set(error, SD_BUS_ERROR_FAILED, "no keyboard");
        std::string call;
        sd_bus_message_enter_container(m, 'a', "(ub)");
        unsigned key = 0;
        int down = 0;
        while (sd_bus_message_read(m, "(ub)", &key, &down) > 0)
            call += (call.empty() ? "" : " ") + std::to_string(key) + (down ? "+" : "-");
        of(data).note(call);
        return sd_bus_reply_method_return(m, "");
    }
    static int text(sd_bus_message *m, void *data, sd_bus_error *)
    {
        const char *text = nullptr;
        unsigned vKey = 0;
        sd_bus_message_read(m, "su", &text, &vKey);
        of(data).note(std::string("T:") + text);
        return sd_bus_reply_method_return(m, "s", "commit");
    }
    static int delivered(sd_bus_message *m, void *data, sd_bus_error *)
    {
        of(data).m_marks.push_back(sd_bus_message_ref(m));
        return 1;
    }
    void answerMarks()
    {
        for (sd_bus_message *m : m_marks) {
            sd_bus_reply_method_return(m, "");
            sd_bus_message_unref(m);
        }
        m_marks.clear();
    }
    static int getVersion(sd_bus *, const char *, const char *, const char *, sd_bus_message *reply,
        void *data, sd_bus_error *)
    {
        return sd_bus_message_append(reply, "u", of(data).version.load());
    }
    static int mask(sd_bus_message *m, void *data, sd_bus_error *)
    {
        return sd_bus_reply_method_return(m, "u", of(data).modifiers.load());
    }

    static constexpr sd_bus_vtable kVtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("Layout", "", "sss", layout, 0),
        SD_BUS_METHOD("Keys", "a(ub)", "", keys, 0),
        SD_BUS_METHOD("Text", "su", "s", text, 0),
        SD_BUS_METHOD("Modifiers", "", "u", mask, 0),
        SD_BUS_METHOD("Delivered", "", "", delivered, 0),
        SD_BUS_PROPERTY("Version", "u", getVersion, 0, 0),
        SD_BUS_VTABLE_END,
    };

    sd_bus *m_bus = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_stop { false };
    std::mutex m_mutex;
    std::vector<std::string> m_calls;
    std::vector<sd_bus_message *> m_marks; // Delivered calls not answered, on the bus thread
};

void tap(KeySink &sink, KeyCode key)
{
    sink.keyEvent(key, 0, false, false);
    sink.keyEvent(key, 0, false, true);
}

void type(KeySink &sink, char32_t ch)
{
    const KeyScan scan = sink.keyScan(ch);
    if (scan.valid())
        tap(sink, scan.key);
    else
        sink.typeCharacter(ch);
}

class GnomeKeySink : public ::testing::Test
{
protected:
    FakeShell shell;
    GnomeShellKeySink sink { dbus::Bus::session() };
};

TEST_F(GnomeKeySink, RoutesByTheLayout)
{
    const struct
    {
        char32_t ch;
        CharacterRoute route;
    } cases[] = {
        { U'a', CharacterRoute::Key },
        { U'A', CharacterRoute::Key },
        { U'\n', CharacterRoute::Key },
        { U'é', CharacterRoute::Pasted },
        { U'東', CharacterRoute::Pasted },
        { 0x1F642, CharacterRoute::Pasted },
        { 0xD800, CharacterRoute::None },
        { 0x110000, CharacterRoute::None },
    };
    for (const auto &c : cases)
        EXPECT_EQ(sink.routeOf(c.ch), c.route) << unsigned(c.ch);
}

TEST_F(GnomeKeySink, KeysAndTextKeepTheirOrder)
{
    for (char32_t ch : std::u32string(U"aé東b"))
        type(sink, ch);
    sink.flush();
    EXPECT_EQ(shell.calls(), (std::vector<std::string> { "30+ 30-", "T:é東", "48+ 48-" }));
}

// The shell commits a text in one Wayland message, which holds at most 4,096 bytes.
TEST_F(GnomeKeySink, ALongTextGoesInPiecesOfWholeCharacters)
{
    const std::u32string text(3000, U'東'); // 9,000 bytes
    for (char32_t ch : text)
        sink.typeCharacter(ch);
    sink.flush();
    std::string all;
    for (const auto &call : shell.calls()) {
        ASSERT_EQ(call.rfind("T:", 0), 0U) << call;
        EXPECT_LE(call.size() - 2, 4000U);
        EXPECT_EQ((call.size() - 2) % 3, 0U); // whole characters only
        all += call.substr(2);
    }
    EXPECT_GE(shell.calls().size(), 3U);
    EXPECT_EQ(all, quorvel::text::encode(text));
}

// Words and lines of text the layout lacks go as one text, the Enters between them as its
// line ends to a shell that takes them; a Space or an Enter of its own stays a key.
TEST_F(GnomeKeySink, SpacesAndEntersAfterTextJoinIt)
{
    constexpr char32_t down = 1, up = 2; // Enter held across what comes between
    const struct
    {
        std::uint32_t version;
        std::u32string typed;
        std::vector<std::string> calls;
    } cases[] = {
        { kLinesVersion, U"東\n\n京\na", { "T:東\n\n京\n", "30+ 30-" } },
        { kLinesVersion, U"東\n", { "T:東\n" } },
        { kLinesVersion, U"a\n東", { "30+ 30- 28+ 28-", "T:東" } },
        { kLinesVersion, { U'東', down, U'京', up }, { "T:東", "28+", "T:京", "28-" } },
        { kLinesVersion, { U'東', down, U'a', up }, { "T:東", "28+ 30+ 30- 28-" } },
        { kDeliveredVersion, U"東\n京", { "T:東", "28+ 28-", "T:京" } },
        { kDeliveredVersion, U"a é ß b", { "30+ 30- 57+ 57-", "T:é ß ", "48+ 48-" } },
    };
    for (const auto &c : cases) {
        shell.version = c.version;
        shell.clear();
        GnomeShellKeySink lines { dbus::Bus::session() };
        for (char32_t ch : c.typed) {
            if (ch == down || ch == up)
                lines.keyEvent(vk::Return, 0, false, ch == up);
            else
                type(lines, ch);
        }
        lines.flush();
        EXPECT_EQ(shell.calls(), c.calls) << c.version << " " << text::encode(c.typed);
    }
}

TEST_F(GnomeKeySink, TextUnderShiftIsCapitalAndGoesWithModifiersUp)
{
    // Shift would turn the paste key Ctrl+V into another command.
    sink.keyEvent(vk::Shift, 0, false, false);
    sink.typeCharacter(U'é');
    sink.keyEvent(vk::Shift, 0, false, true);
    sink.flush();
    EXPECT_EQ(shell.calls(), (std::vector<std::string> { "42+", "42-", "T:É", "42+ 42-" }));
}

TEST_F(GnomeKeySink, BatchesKeepEveryKeyInOrder)
{
    for (int i = 0; i < 100; ++i)
        type(sink, i % 2 ? U'b' : U'a');
    sink.flush();
    std::string all;
    for (const auto &call : shell.calls()) {
        EXPECT_LE(std::count(call.begin(), call.end(), ' ') + 1, 64) << call;
        all += (all.empty() ? "" : " ") + call;
    }
    std::string expected;
    for (int i = 0; i < 100; ++i)
        expected += std::string(i ? " " : "") + (i % 2 ? "48+ 48-" : "30+ 30-");
    EXPECT_EQ(all, expected);
}

// The shell holds keys until its next frame, out of the pacing's sight: typing never runs more
// than a few marks ahead of what the shell says has gone out.
TEST_F(GnomeKeySink, TypingWaitsForTheShellToHandOutItsKeys)
{
    shell.version = kDeliveredVersion;
    shell.holdMarks = true;
    constexpr int kTaps = 2000;
    std::thread typist([&] {
        GnomeShellKeySink marking { dbus::Bus::session() };
        for (int i = 0; i < kTaps; ++i)
            type(marking, U'a');
        marking.flush();
    });
    int seen = -1;
    while (seen != shell.keyEvents()) {
        seen = shell.keyEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    EXPECT_GT(seen, 0);
    EXPECT_LE(seen, 4 * 256 + 64);
    shell.holdMarks = false;
    typist.join();
    EXPECT_EQ(shell.keyEvents(), 2 * kTaps);
}

TEST_F(GnomeKeySink, ReleaseAllLetsGoOfWhatIsHeld)
{
    sink.keyEvent(vk::Control, 0, false, false);
    sink.keyEvent(sink.keyScan(U'A').key, 0, false, false);
    sink.releaseAll();
    const auto calls = shell.calls();
    ASSERT_FALSE(calls.empty());
    const std::string all = calls.front() + (calls.size() > 1 ? " " + calls.back() : "");
    for (const char *release : { "29-", "30-", "42-" })
        EXPECT_NE(all.find(release), std::string::npos) << all;
}

TEST_F(GnomeKeySink, ARefusedCallFailsTheFlush)
{
    shell.refuseKeys = true;
    type(sink, U'a');
    EXPECT_THROW(sink.flush(), Error);
}

TEST_F(GnomeKeySink, ModifiersDownAreTheUsersNotOurs)
{
    shell.modifiers = 4; // Control
    EXPECT_TRUE(sink.isKeyDown(vk::Control));
    EXPECT_FALSE(sink.isKeyDown(vk::Shift));
    EXPECT_FALSE(sink.isKeyDown('A'));
    sink.keyEvent(vk::Control, 0, false, false);
    EXPECT_FALSE(sink.isKeyDown(vk::Control));
}

} // namespace
