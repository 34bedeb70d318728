// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Error.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

struct sd_bus;
struct sd_bus_message;
struct sd_bus_slot;

namespace quorvel::dbus {

// Throws Error with what failed and sd-bus's reason when r is negative; returns r.
int check(int r, std::string_view what);

struct MessageUnref
{
    void operator()(sd_bus_message *m) const;
};
using Message = std::unique_ptr<sd_bus_message, MessageUnref>;

struct SlotUnref
{
    void operator()(sd_bus_slot *s) const;
};
// A match, an async call or an exported object: dropping it ends it.
using Slot = std::unique_ptr<sd_bus_slot, SlotUnref>;

// One connection to the user's session bus. Messages are built and read with sd-bus's own
// calls on raw(); this class owns the connection and its waiting.
//
// Nothing is dispatched behind the caller's back: handlers run only inside processEvents()
// and waitUntil(), on the thread that calls them, and must not wait on the same bus.
class Bus
{
public:
    // Throws Error when the session bus cannot be reached.
    static Bus session();

    Bus(Bus &&other) noexcept;
    Bus &operator=(Bus &&other) noexcept;
    ~Bus();

    sd_bus *raw() const { return m_bus; }
    // Our unique name, as ":1.42".
    std::string uniqueName() const;
    // The descriptor the event loop watches for input.
    int fileDescriptor() const;

    // Handles everything that has arrived, without blocking; throws Error when the bus is
    // gone.
    void processEvents();
    // Writes out what is queued.
    void flush();
    // Handles messages until done() holds or the timeout passes; false on the timeout. An
    // interruptible wait throws Interrupted once the interruption descriptor is readable.
    bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout,
        bool interruptible = false);

    // A descriptor that becomes readable when the program is to end (-1 for none): it breaks
    // off the waits for a person's answer, never those that let go of our keys.
    static void setInterruption(int fd);

    // A new method call; append its arguments with sd_bus_message_append.
    Message methodCall(
        const char *destination, const char *path, const char *interface, const char *member) const;
    // Sends a call and waits for its reply; throws Error with the remote error's text.
    Message call(
        const Message &callMessage, std::chrono::milliseconds timeout = std::chrono::seconds(25));
    // Sends a call without waiting; onReply gets the reply, or an error message (test with
    // sd_bus_message_is_method_error). Keep the slot until the reply comes, or drop it to
    // forget the call.
    using ReplyHandler = std::function<void(sd_bus_message *reply)>;
    Slot callAsync(const Message &callMessage, ReplyHandler onReply,
        std::chrono::milliseconds timeout = std::chrono::seconds(25));
    // The same, the bus keeping the call until its reply: for many calls in flight at once.
    void callAsyncDetached(const Message &callMessage, ReplyHandler onReply,
        std::chrono::milliseconds timeout = std::chrono::seconds(25));
    // Calls with no reply wanted: the bus still keeps their order.
    void send(const Message &message);

    // Signals matching a rule such as "type='signal',interface='...',member='...'".
    using SignalHandler = std::function<void(sd_bus_message *signal)>;
    Slot matchSignal(const std::string &rule, SignalHandler onSignal);

    // Whether a name has an owner on the bus now.
    bool nameHasOwner(const char *name);

private:
    explicit Bus(sd_bus *bus);
    void waitInterruptibly(std::chrono::milliseconds left);
    sd_bus *m_bus = nullptr;
};

// An interruptible wait broken off: the program is ending.
class Interrupted : public Error
{
public:
    Interrupted();
};

// An xdg-desktop-portal request: a method that answers with a Request object whose Response
// signal carries the outcome. The signal is matched before the call, on the handle the
// handle_token option predicts, so no answer can be missed.
class PortalRequest
{
public:
    // 0 success, 1 the user cancelled, 2 ended another way, as the portal defines them.
    struct Outcome
    {
        unsigned response = 2;
        Message results; // the Response signal, read to its a{sv}
    };

    // The token to pass as "handle_token" in the call's options.
    explicit PortalRequest(Bus &bus);
    const std::string &token() const { return m_token; }

    // Sends the call (built with the token among its options) and waits for the Response.
    // Throws Error when the call fails or no Response comes within the timeout, and, for a
    // request that waits for the user, when the program is to end: its dialog is closed.
    Outcome run(
        const Message &callMessage, std::chrono::milliseconds timeout, bool waitsForUser = false);

    // A fresh token for session_handle_token and the like.
    static std::string newToken();

private:
    Bus &m_bus;
    std::string m_token;
    std::string m_path;
};

inline constexpr const char *kPortalService = "org.freedesktop.portal.Desktop";
inline constexpr const char *kPortalPath = "/org/freedesktop/portal/desktop";

// The version property of a portal interface; 0 when the portal or the interface is missing.
unsigned portalVersion(Bus &bus, const char *interface);

} // namespace quorvel::dbus
