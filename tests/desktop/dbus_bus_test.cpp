// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Error.h"
#include "platform/dbus/Bus.h"

#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

using namespace quorvel::dbus;
using namespace std::chrono_literals;

namespace {

Message ping(Bus &bus)
{
    return bus.methodCall(
        "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus.Peer", "Ping");
}

TEST(Bus, PipelinedCallsAllAnswerInOrder)
{
    Bus bus = Bus::session();
    std::vector<int> answered;
    constexpr int calls = 2000;
    for (int i = 0; i < calls; ++i)
        bus.callAsyncDetached(ping(bus), [&answered, i](sd_bus_message *reply) {
            if (!sd_bus_message_is_method_error(reply, nullptr))
                answered.push_back(i);
        });
    ASSERT_TRUE(bus.waitUntil([&] { return answered.size() == calls; }, 20s));
    EXPECT_TRUE(std::is_sorted(answered.begin(), answered.end()));
}

TEST(Bus, SignalsReachTheirMatchAndTimeoutsEnd)
{
    Bus listener = Bus::session();
    Bus sender = Bus::session();
    std::string heard;
    Slot match = listener.matchSignal(
        "type='signal',interface='example.Test',member='Said'", [&](sd_bus_message *m) {
            const char *text = nullptr;
            if (sd_bus_message_read(m, "s", &text) >= 0)
                heard = text;
        });
    // The match is in place once the bus has answered us.
    listener.call(ping(listener));
    ASSERT_GE(
        sd_bus_emit_signal(sender.raw(), "/example", "example.Test", "Said", "s", "hello"), 0);
    sender.flush();
    EXPECT_TRUE(listener.waitUntil([&] { return !heard.empty(); }, 10s));
    EXPECT_EQ(heard, "hello");

    EXPECT_FALSE(listener.waitUntil([] { return false; }, 50ms));
    EXPECT_TRUE(listener.nameHasOwner("org.freedesktop.DBus"));
    EXPECT_FALSE(listener.nameHasOwner("example.Nobody"));
    Message bad = listener.methodCall("example.Nobody", "/", "example.Nobody", "Hello");
    EXPECT_THROW(listener.call(bad, 2s), quorvel::Error);
}

} // namespace
