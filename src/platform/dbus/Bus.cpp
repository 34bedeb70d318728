// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dbus/Bus.h"

#include "common/Error.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <systemd/sd-bus.h>
#include <unistd.h>
#include <utility>

namespace quorvel::dbus {

namespace {

int g_interruption = -1;

std::uint64_t microseconds(std::chrono::milliseconds ms)
{
    return ms.count() <= 0 ? 0 : std::uint64_t(ms.count()) * 1000;
}

// Frees a handler when sd-bus frees the slot that carries it.
template <typename Handler> void attach(sd_bus_slot *slot, Handler *handler)
{
    sd_bus_slot_set_userdata(slot, handler);
    sd_bus_slot_set_destroy_callback(slot, [](void *data) { delete static_cast<Handler *>(data); });
}

int onReply(sd_bus_message *m, void *data, sd_bus_error *)
{
    (*static_cast<Bus::ReplyHandler *>(data))(m);
    return 0;
}

int onSignal(sd_bus_message *m, void *data, sd_bus_error *)
{
    (*static_cast<Bus::SignalHandler *>(data))(m);
    return 0;
}

struct ErrorFree
{
    sd_bus_error error = SD_BUS_ERROR_NULL;
    ~ErrorFree() { sd_bus_error_free(&error); }
};

} // namespace

int check(int r, std::string_view what)
{
    if (r < 0)
        throw Error(std::string(what) + ": " + std::strerror(-r));
    return r;
}

void MessageUnref::operator()(sd_bus_message *m) const
{
    sd_bus_message_unref(m);
}

void SlotUnref::operator()(sd_bus_slot *s) const
{
    sd_bus_slot_unref(s);
}

Bus::Bus(sd_bus *bus)
    : m_bus(bus)
{
}

Bus Bus::session()
{
    sd_bus *bus = nullptr;
    check(sd_bus_open_user(&bus), "Cannot reach the session bus");
    return Bus(bus);
}

Bus::Bus(Bus &&other) noexcept
    : m_bus(std::exchange(other.m_bus, nullptr))
{
}

Bus &Bus::operator=(Bus &&other) noexcept
{
    if (this != &other) {
        if (m_bus)
            sd_bus_flush_close_unref(m_bus);
        m_bus = std::exchange(other.m_bus, nullptr);
    }
    return *this;
}

Bus::~Bus()
{
    if (m_bus)
        sd_bus_flush_close_unref(m_bus);
}

std::string Bus::uniqueName() const
{
    const char *name = nullptr;
    check(sd_bus_get_unique_name(m_bus, &name), "Cannot read our name on the session bus");
    return name;
}

int Bus::fileDescriptor() const
{
    return sd_bus_get_fd(m_bus);
}

void Bus::processEvents()
{
    for (;;) {
        const int r = sd_bus_process(m_bus, nullptr);
        check(r, "The session bus connection was lost");
        if (r == 0)
            break;
    }
    flush();
}

void Bus::flush()
{
    check(sd_bus_flush(m_bus), "The session bus connection was lost");
}

Interrupted::Interrupted()
    : Error("Quorvel is closing: it no longer waits for the desktop's answer.")
{
}

void Bus::setInterruption(int fd)
{
    g_interruption = fd;
}

// Waits as sd_bus_wait does, watching the interruption too.
void Bus::waitInterruptibly(std::chrono::milliseconds left)
{
    auto waitMs = left.count();
    std::uint64_t until = 0;
    if (sd_bus_get_timeout(m_bus, &until) > 0 && until != UINT64_MAX) {
        timespec now {};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const auto nowUs = std::uint64_t(now.tv_sec) * 1000000 + std::uint64_t(now.tv_nsec) / 1000;
        waitMs = std::min<long long>(waitMs, until > nowUs ? (until - nowUs + 999) / 1000 : 0);
    }
    const int events = sd_bus_get_events(m_bus);
    check(events, "The session bus connection was lost");
    pollfd fds[2] = { { sd_bus_get_fd(m_bus), short(events), 0 }, { g_interruption, POLLIN, 0 } };
    if (::poll(fds, 2, int(waitMs)) < 0 && errno != EINTR)
        throw Error("Cannot wait on the session bus");
    if (fds[1].revents != 0)
        throw Interrupted();
}

bool Bus::waitUntil(
    const std::function<bool()> &done, std::chrono::milliseconds timeout, bool interruptible)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    flush();
    for (;;) {
        for (;;) {
            if (done())
                return true;
            const int r = sd_bus_process(m_bus, nullptr);
            check(r, "The session bus connection was lost");
            if (r == 0)
                break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return done();
        if (interruptible && g_interruption >= 0) {
            waitInterruptibly(left);
            continue;
        }
        const int r = sd_bus_wait(m_bus, microseconds(left));
        if (r < 0 && r != -EINTR)
            check(r, "The session bus connection was lost");
    }
}

Message Bus::methodCall(
    const char *destination, const char *path, const char *interface, const char *member) const
{
    sd_bus_message *m = nullptr;
    check(sd_bus_message_new_method_call(m_bus, &m, destination, path, interface, member),
        std::string("Cannot call ") + member);
    return Message(m);
}

Message Bus::call(const Message &callMessage, std::chrono::milliseconds timeout)
{
    ErrorFree error;
    sd_bus_message *reply = nullptr;
    const int r =
        sd_bus_call(m_bus, callMessage.get(), microseconds(timeout), &error.error, &reply);
    if (r < 0) {
        const char *member = sd_bus_message_get_member(callMessage.get());
        throw Error(std::string(member ? member : "A call")
            + " failed: " + (error.error.message ? error.error.message : std::strerror(-r)));
    }
    return Message(reply);
}

Slot Bus::callAsync(
    const Message &callMessage, ReplyHandler onReplyHandler, std::chrono::milliseconds timeout)
{
    auto handler = std::make_unique<ReplyHandler>(std::move(onReplyHandler));
    sd_bus_slot *slot = nullptr;
    check(sd_bus_call_async(
              m_bus, &slot, callMessage.get(), onReply, handler.get(), microseconds(timeout)),
        "Cannot send a call on the session bus");
    attach(slot, handler.release());
    return Slot(slot);
}

void Bus::callAsyncDetached(
    const Message &callMessage, ReplyHandler onReplyHandler, std::chrono::milliseconds timeout)
{
    Slot slot = callAsync(callMessage, std::move(onReplyHandler), timeout);
    // The bus keeps it until the reply has been handled.
    check(sd_bus_slot_set_floating(slot.get(), 1), "Cannot send a call on the session bus");
}

void Bus::send(const Message &message)
{
    check(sd_bus_send(m_bus, message.get(), nullptr), "Cannot send on the session bus");
}

Slot Bus::matchSignal(const std::string &rule, SignalHandler onSignalHandler)
{
    auto handler = std::make_unique<SignalHandler>(std::move(onSignalHandler));
    sd_bus_slot *slot = nullptr;
    check(sd_bus_add_match(m_bus, &slot, rule.c_str(), onSignal, handler.get()),
        "Cannot listen on the session bus");
    attach(slot, handler.release());
    return Slot(slot);
}

bool Bus::nameHasOwner(const char *name)
{
    Message m = methodCall(
        "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner");
    check(sd_bus_message_append(m.get(), "s", name), "NameHasOwner");
    const Message reply = call(m);
    int has = 0;
    check(sd_bus_message_read(reply.get(), "b", &has), "NameHasOwner");
    return has != 0;
}

std::string PortalRequest::newToken()
{
    static std::atomic<unsigned> counter { 0 };
    return "quorvel" + std::to_string(getpid()) + "_" + std::to_string(++counter);
}

PortalRequest::PortalRequest(Bus &bus)
    : m_bus(bus)
    , m_token(newToken())
{
    std::string sender = bus.uniqueName().substr(1);
    for (char &c : sender) {
        if (c == '.')
            c = '_';
    }
    m_path = std::string(kPortalPath) + "/request/" + sender + "/" + m_token;
}

PortalRequest::Outcome PortalRequest::run(
    const Message &callMessage, std::chrono::milliseconds timeout, bool waitsForUser)
{
    Outcome outcome;
    bool answered = false;
    const auto matchPath = [&](const std::string &path) {
        return m_bus.matchSignal("type='signal',interface='org.freedesktop.portal.Request',"
                                 "member='Response',path='"
                + path + "'",
            [&](sd_bus_message *signal) {
                unsigned response = 2;
                if (answered || sd_bus_message_read(signal, "u", &response) < 0)
                    return;
                outcome.response = response;
                outcome.results.reset(sd_bus_message_ref(signal));
                answered = true;
            });
    };
    Slot predicted = matchPath(m_path);
    const Message reply = m_bus.call(callMessage);
    const char *handle = nullptr;
    check(sd_bus_message_read(reply.get(), "o", &handle), "The desktop portal's answer");
    // Portals before 0.9 chose the handle themselves; the answer is still queued unread.
    Slot actual;
    if (handle && m_path != handle)
        actual = matchPath(handle);
    const auto closeDialog = [&] {
        try {
            m_bus.send(m_bus.methodCall(kPortalService, handle ? handle : m_path.c_str(),
                "org.freedesktop.portal.Request", "Close"));
            m_bus.flush();
        } catch (const Error &) {
        }
    };
    bool waited = false;
    try {
        waited = m_bus.waitUntil([&] { return answered; }, timeout, waitsForUser);
    } catch (const Interrupted &) {
        // Ending: the dialog goes with us.
        closeDialog();
        throw;
    }
    if (!waited) {
        // A dialog answered after we stopped waiting would grant what nobody uses.
        if (waitsForUser)
            closeDialog();
        const char *member = sd_bus_message_get_member(callMessage.get());
        throw Error(
            std::string("The desktop portal did not answer ") + (member ? member : "a request"));
    }
    return outcome;
}

unsigned portalVersion(Bus &bus, const char *interface)
{
    ErrorFree error;
    std::uint32_t version = 0;
    if (sd_bus_get_property_trivial(bus.raw(), kPortalService, kPortalPath, interface, "version",
            &error.error, 'u', &version)
        < 0)
        return 0;
    return version;
}

} // namespace quorvel::dbus
