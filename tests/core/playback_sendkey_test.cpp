// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Error.h"
#include "fakes/FakeEventPump.h"
#include "fakes/FakeKeySink.h"
#include "playback/SendKey.h"
#include "playback_rig.h"

#include <gtest/gtest.h>
#include <optional>

using namespace quorvel;
using quorvel::testing::FakeEventPump;
using quorvel::testing::FakeKeySink;

namespace {

class SenderTest : public ::testing::Test
{
protected:
    FakeKeySink sink;
    FakeEventPump pump;
    TSendKey sender { sink, pump };
};

struct SendCase
{
    const char *input;
    const char *trace;
    const char *error; // nullptr: succeeds
};

void PrintTo(const SendCase &c, std::ostream *os)
{
    quorvel::testing::printCase(c.input, os);
}

class SendSequences : public SenderTest, public ::testing::WithParamInterface<SendCase>
{
};

TEST_P(SendSequences, SendsTheKeyEventsInOrder)
{
    const SendCase &c = GetParam();
    if (c.error) {
        try {
            sender.SendString(c.input);
            FAIL() << "no error for " << c.input;
        } catch (const Error &e) {
            EXPECT_STREQ(e.what(), c.error);
        }
        // The pump only follows a string that was sent whole.
        EXPECT_EQ(pump.passes, 0);
    } else {
        EXPECT_EQ(sender.SendString(c.input), 0);
        EXPECT_EQ(pump.passes, 1);
    }
    EXPECT_EQ(sink.trace(), c.trace);
    EXPECT_EQ(sink.flushes, 1);
}

INSTANTIATE_TEST_SUITE_P(Sender, SendSequences,
    ::testing::Values(SendCase { "a", "down 41, up 41", nullptr },
        SendCase { "A", "down 10, down 41, up 41, up 10", nullptr },
        SendCase { "^A", "down 11, down 41, up 41, up 11", nullptr },
        SendCase { "^+", "down 11, down BB, up BB, up 11", nullptr },
        SendCase { "~a", "down 10, down 10, down 41, up 41, up 10, up 10", nullptr },
        SendCase { "^@{DEL}", "down 12, down 11, down 2E, up 2E, up 11, up 12", nullptr },
        SendCase {
            "~@{F1}", "down 12, down 10, down 10, down 70, up 70, up 10, up 10, up 12", nullptr },
        SendCase { "{CTRL}{SHIFT}a",
            "down 11, down 10, down 10, down 41, up 41, up 10, up 10, up 11", nullptr },
        SendCase { "{enter}", "down 0D, up 0D", nullptr },
        SendCase { "{ALT}x", "down 12, down 58, up 58, up 12", nullptr },
        SendCase { "{alt}x", "down 12, up 12, down 58, up 58", nullptr },
        SendCase { "{MENU}", "down 12, up 12", nullptr },
        SendCase { "{Shift}", "down 10, up 10", nullptr },
        SendCase { "{L}{R}{DN}{SPACE}{PRTSC}",
            "down 25, up 25, down 27, up 27, down 28, up 28, down 20, up 20, down 2C, up 2C",
            nullptr },
        SendCase { "{", "down 10, down DB, up DB, up 10", nullptr },
        SendCase { "}", "down 10, down DD, up DD, up 10", nullptr },
        SendCase { "\r\n", "down 0D, up 0D, down 11, down 0D, up 0D, up 11", nullptr },
        SendCase { "^", "", nullptr }, SendCase { "\xC3\xA9", "char U+00E9", nullptr },
        SendCase { "^\xC3\xA9", "down 11, char U+00E9, up 11", nullptr },
        SendCase { "{}", "", "Invalid token" }, SendCase { "{F13}", "", "Invalid token" },
        SendCase { "{ABCDEFG}", "", "Invalid token" },
        SendCase { "{ABCDEFGH}", "", "No Closing brackets" },
        SendCase { "{ABCDEFG", "", "No Closing brackets" },
        SendCase { "{F1", "", "No Closing brackets" },
        SendCase { "x{", "down 58, up 58", "No Closing brackets" },
        SendCase { "a}", "down 41, up 41", "Invalid token" },
        SendCase { "}}", "", "Invalid token" }),
    quorvel::testing::CaseNamer<&SendCase::input> {});

TEST_F(SenderTest, EmptyStringReturnsMinusOneAndDoesNothing)
{
    EXPECT_EQ(sender.SendString(""), -1);
    EXPECT_TRUE(sink.events.empty());
    EXPECT_EQ(pump.passes, 0);
}

TEST_F(SenderTest, PendingModifiersCarryOverCallsAndFailures)
{
    EXPECT_EQ(sender.SendString("^"), 0);
    EXPECT_EQ(sender.pendingModifiers(), 2u);
    sender.SendString("a");
    EXPECT_EQ(sink.trace(), "down 11, down 41, up 41, up 11");
    EXPECT_EQ(sender.pendingModifiers(), 0u);

    sink.clear();
    EXPECT_THROW(sender.SendString("@{F13}"), Error);
    EXPECT_EQ(sender.pendingModifiers(), 1u);
    sender.SendString("b");
    EXPECT_EQ(sink.trace(), "down 12, down 42, up 42, up 12");
    // Another sender, such as a dry run's, starts with nothing pending.
    TSendKey other(sink, pump);
    EXPECT_EQ(other.pendingModifiers(), 0u);
}

TEST_F(SenderTest, TokensOnlyTypesModifierCharactersButKeepsBraces)
{
    sender.setTokensOnly(true);
    sender.SendString("^@~");
    EXPECT_EQ(sink.typed(), "^@~");
    EXPECT_EQ(sender.pendingModifiers(), 0u);
    sink.clear();
    sender.SendString("{F1}{ALT}x");
    EXPECT_EQ(sink.trace(), "down 70, up 70, down 12, down 58, up 58, up 12");
}

TEST_F(SenderTest, LayoutStatesAddTheirModifiers)
{
    sink.layoutOverrides[U'\u20AC'] = KeyScan { 0x45, 6 }; // AltGr+E
    sink.layoutOverrides[U'\u00C9'] = KeyScan { 0x45, 7 };
    sender.SendString("\xE2\x82\xAC");
    EXPECT_EQ(sink.trace(), "down 11, down 12, down 45, up 45, up 11, up 12");
    sink.clear();
    sender.SendString("\xC3\x89");
    EXPECT_EQ(sink.trace(),
        "down 10, down 11, down 12, down 10, down 45, up 45, up 10, up 10, "
        "up 11, up 12");
}

TEST_F(SenderTest, ExtendedFlagFollowsTheScanCode)
{
    sink.scanCodes[vk::Home] = 0x147;
    sink.scanCodes[0x41] = 0x1E;
    sender.SendString("{HOME}a");
    ASSERT_EQ(sink.events.size(), 4u);
    EXPECT_EQ(sink.events[0].scan, 0x47u);
    EXPECT_TRUE(sink.events[0].extended);
    EXPECT_TRUE(sink.events[1].release);
    EXPECT_EQ(sink.events[2].scan, 0x1Eu);
    EXPECT_FALSE(sink.events[2].extended);
}

TEST_F(SenderTest, TakesOnly255Characters)
{
    sender.SendString(std::string(300, 'a'));
    EXPECT_EQ(sink.events.size(), 2u * 255);
}

TEST_F(SenderTest, KeyNameTableHas38RowsWithShiftTwice)
{
    std::size_t count = 0;
    const KeyNameRow *rows = keyNameTable(count);
    ASSERT_EQ(count, 38u);
    EXPECT_EQ(rows[3].name, "SHIFT");
    EXPECT_EQ(rows[28].name, "SHIFT");
    EXPECT_EQ(rows[37].name, "R");
    EXPECT_EQ(rows[37].key, vk::Right);
}

// The external sender, through a stand-in for dlopen.
struct FakeLibrary
{
    static inline int opens = 0, closes = 0, entryCalls = 0;
    static inline bool present = true, hasEntry = true;
    static inline std::string lastBytes;
    static inline int handle = 0;

    static void reset()
    {
        opens = closes = entryCalls = 0;
        present = hasEntry = true;
        lastBytes.clear();
    }
    static void *open(const char *)
    {
        ++opens;
        return present ? &handle : nullptr;
    }
    static void *symbol(void *, const char *name)
    {
        if (!hasEntry || std::string(name) != TSendKey::EntryName)
            return nullptr;
        return reinterpret_cast<void *>(&entry);
    }
    static void close(void *) { ++closes; }
    static std::int32_t entry(const unsigned char *s)
    {
        ++entryCalls;
        lastBytes.assign(reinterpret_cast<const char *>(s), s[0] + 1u);
        return 42;
    }
    static SenderLibraryApi api() { return SenderLibraryApi { &open, &symbol, &close }; }
};

TEST_F(SenderTest, LibraryTakesTheStringWhenPresent)
{
    FakeLibrary::reset();
    {
        TSendKey dll(sink, pump);
        dll.setLibraryApi(FakeLibrary::api());
        dll.setUseDll(true);
        EXPECT_EQ(dll.SendString("abc"), 42);
        EXPECT_EQ(FakeLibrary::lastBytes,
            std::string("\x03"
                        "abc"));
        EXPECT_EQ(dll.SendString(""), 42); // the library decides about empty strings too
        EXPECT_EQ(FakeLibrary::opens, 1);
        EXPECT_TRUE(sink.events.empty());
        EXPECT_EQ(pump.passes, 0);
    }
    // The entry goes with the sender that loaded it; the next one loads again.
    EXPECT_EQ(FakeLibrary::closes, 1);
    TSendKey again(sink, pump);
    again.setLibraryApi(FakeLibrary::api());
    again.setUseDll(true);
    again.SendString("x");
    EXPECT_EQ(FakeLibrary::opens, 2);
}

TEST_F(SenderTest, MissingLibraryOrEntryFallsBackAndRetries)
{
    for (const bool present : { false, true }) {
        FakeLibrary::reset();
        FakeLibrary::present = present;
        FakeLibrary::hasEntry = false;
        sink.clear();
        TSendKey dll(sink, pump);
        dll.setLibraryApi(FakeLibrary::api());
        dll.setUseDll(true);
        EXPECT_EQ(dll.SendString("a"), 0);
        EXPECT_EQ(dll.SendString("b"), 0);
        EXPECT_EQ(sink.typed(), "ab");
        EXPECT_EQ(FakeLibrary::opens, 2);
        EXPECT_EQ(FakeLibrary::closes, present ? 2 : 0);
        EXPECT_EQ(FakeLibrary::entryCalls, 0);
    }
}

TEST_F(SenderTest, RealLoaderFallsBackWhenTheLibraryIsMissing)
{
    TSendKey dll(sink, pump);
    dll.setLibraryName("libquorvel-no-such-sender.so");
    dll.setUseDll(true);
    EXPECT_EQ(dll.SendString("a"), 0);
    EXPECT_EQ(sink.trace(), "down 41, up 41");
}

} // namespace
