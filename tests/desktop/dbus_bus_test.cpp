// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Error.h"
#include "platform/dbus/Bus.h"

#include <atomic>
#include <gtest/gtest.h>
#include <systemd/sd-bus.h>
#include <thread>

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

// A dialog nobody answers in time is closed: a late answer would grant what nobody uses.
TEST(Bus, ARequestNobodyAnswersClosesItsDialog)
{
    std::atomic<bool> ready { false }, closed { false }, stop { false };
    // A portal whose dialogs wait for ever, on a connection and thread of its own.
    std::thread portal([&] {
        Bus bus = Bus::session();
        sd_bus_slot *slot = nullptr;
        const auto answer = [](sd_bus_message *m, void *data, sd_bus_error *) -> int {
            if (sd_bus_message_is_method_call(m, "example.Ask", "Ask"))
                return sd_bus_reply_method_return(m, "o", "/org/freedesktop/portal/desktop/x");
            if (!sd_bus_message_is_method_call(m, "org.freedesktop.portal.Request", "Close"))
                return 0;
            *static_cast<std::atomic<bool> *>(data) = true;
            return sd_bus_reply_method_return(m, "");
        };
        sd_bus_add_fallback(bus.raw(), &slot, kPortalPath, answer, &closed);
        ready = sd_bus_request_name(bus.raw(), kPortalService, 0) >= 0;
        while (!stop)
            bus.waitUntil([&] { return stop.load(); }, 50ms);
        sd_bus_slot_unref(slot);
    });
    const auto within = [](const std::atomic<bool> &flag) {
        for (int i = 0; i < 500 && !flag; ++i)
            std::this_thread::sleep_for(10ms);
        return flag.load();
    };
    ASSERT_TRUE(within(ready));
    Bus bus = Bus::session();
    PortalRequest request(bus);
    const Message ask = bus.methodCall(kPortalService, kPortalPath, "example.Ask", "Ask");
    EXPECT_THROW(request.run(ask, 100ms, true), quorvel::Error);
    EXPECT_TRUE(within(closed));
    stop = true;
    portal.join();
}

} // namespace
