// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/portal/RemoteDesktopSession.h"

#include "common/Error.h"
#include "platform/wayland/SwayBindings.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <systemd/sd-bus.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace quorvel::portal {

namespace {

constexpr const char *kInterface = "org.freedesktop.portal.RemoteDesktop";
constexpr const char *kSessionInterface = "org.freedesktop.portal.Session";
constexpr const char *kBackendInterface = "org.freedesktop.impl.portal.RemoteDesktop";
// Calls to the backend go without answers; after this many, one that is answered marks how
// far it got, and sending waits while more than two marks are unanswered: enough to keep the
// backend busy, few enough that a gone session stops typing soon.
constexpr std::size_t kMarkEvery = 128;
constexpr std::size_t kMarksInFlight = 2;
// With a compositor round trip, at most this many calls are sent that the compositor may not
// have read: a backend that is a Wayland client of the compositor (KDE's) is dropped by
// libwayland once the compositor falls behind by a socket's worth (a few hundred requests).
// They go as two halves, so the backend works on one while the other is confirmed.
constexpr std::size_t kCompositorWindow = 96;
constexpr auto kQuickAnswer = std::chrono::seconds(25);
// Start may wait for the user to answer the desktop's dialog.
constexpr auto kUserAnswer = std::chrono::minutes(5);
// A Start that took this long showed a dialog; keys sent before the focus has gone back from
// it to the user's window land nowhere (GNOME's lost the first 16 characters), so they wait.
constexpr auto kDialogShown = std::chrono::milliseconds(400);
constexpr auto kFocusReturns = std::chrono::milliseconds(600);
constexpr auto kPrimingSettles = std::chrono::milliseconds(100);

// What the portal's Response signals carry, read from their a{sv}.
struct Results
{
    std::string sessionHandle;
    std::string restoreToken;
    unsigned devices = 0;
};

Results readResults(sd_bus_message *m)
{
    Results results;
    if (!m)
        return results;
    dbus::check(sd_bus_message_enter_container(m, 'a', "{sv}"), "reading the portal's answer");
    while (dbus::check(sd_bus_message_enter_container(m, 'e', "sv"), "reading the answer") > 0) {
        const char *key = nullptr;
        dbus::check(sd_bus_message_read_basic(m, 's', &key), "reading the answer");
        char type = 0;
        const char *contents = nullptr;
        dbus::check(sd_bus_message_peek_type(m, &type, &contents), "reading the answer");
        const std::string_view name(key);
        const std::string_view inner(contents ? contents : "");
        if ((name == "session_handle" || name == "restore_token")
            && (inner == "s" || inner == "o")) {
            const char *value = nullptr;
            dbus::check(sd_bus_message_read(m, "v", contents, &value), "reading the answer");
            (name == "session_handle" ? results.sessionHandle : results.restoreToken) = value;
        } else if (name == "devices" && inner == "u") {
            dbus::check(sd_bus_message_read(m, "v", "u", &results.devices), "reading the answer");
        } else {
            dbus::check(sd_bus_message_skip(m, "v"), "reading the answer");
        }
        dbus::check(sd_bus_message_exit_container(m), "reading the answer");
    }
    dbus::check(sd_bus_message_exit_container(m), "reading the portal's answer");
    return results;
}

void appendOption(sd_bus_message *m, const char *key, const std::string &value)
{
    dbus::check(sd_bus_message_append(m, "{sv}", key, "s", value.c_str()), "building a call");
}

void appendOption(sd_bus_message *m, const char *key, unsigned value)
{
    dbus::check(sd_bus_message_append(m, "{sv}", key, "u", value), "building a call");
}

std::string withSlash(const std::string &folder)
{
    return folder.empty() || folder.back() == '/' ? folder : folder + "/";
}

// Makes the folder and those above it, private to the user where we make them.
void makeFolders(const std::string &folder)
{
    for (std::size_t at = 1; at != std::string::npos && at < folder.size();) {
        at = folder.find('/', at + 1);
        const std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            throw Error("Cannot make the folder " + part + ".");
    }
}

// Start answered 2, "ended another way": no screen to select yet.
struct StartEnded : Error
{
    using Error::Error;
};

} // namespace

RemoteDesktopSession::RemoteDesktopSession(
    dbus::Bus bus, std::string dataFolder, unsigned devices, std::string backend)
    : m_bus(std::move(bus))
    , m_dataFolder(std::move(dataFolder))
    , m_devices(devices)
    , m_backend(std::move(backend))
{
}

RemoteDesktopSession::~RemoteDesktopSession()
{
    try {
        closeSession();
        m_bus.flush();
    } catch (const Error &) {
        // The bus is gone, and the session with it.
    }
}

std::string RemoteDesktopSession::tokenFile(const std::string &dataFolder)
{
    return withSlash(dataFolder) + "remote-desktop.token";
}

unsigned RemoteDesktopSession::version()
{
    if (!m_versionKnown) {
        m_version = dbus::portalVersion(m_bus, kInterface);
        m_versionKnown = true;
    }
    return m_version;
}

void RemoteDesktopSession::open()
{
    // A Closed signal may be waiting.
    m_bus.processEvents();
    if (isOpen())
        return;
    if (version() == 0)
        throw Error("The desktop offers no remote desktop portal (org.freedesktop.portal."
                    "RemoteDesktop): Quorvel cannot type here.");
    start();
}

void RemoteDesktopSession::start()
{
    // Right after the portal was started for us, its first Start may find no screen yet.
    for (int attempt = 0;; ++attempt) {
        try {
            startOnce();
            return;
        } catch (const StartEnded &) {
            closeSession();
            if (attempt > 0)
                throw;
        } catch (const Error &) {
            closeSession();
            throw;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
}

void RemoteDesktopSession::startOnce()
{
    {
        dbus::PortalRequest request(m_bus);
        const std::string sessionToken = dbus::PortalRequest::newToken();
        dbus::Message call =
            m_bus.methodCall(dbus::kPortalService, dbus::kPortalPath, kInterface, "CreateSession");
        dbus::check(sd_bus_message_open_container(call.get(), 'a', "{sv}"), "building a call");
        appendOption(call.get(), "handle_token", request.token());
        appendOption(call.get(), "session_handle_token", sessionToken);
        dbus::check(sd_bus_message_close_container(call.get()), "building a call");
        const dbus::PortalRequest::Outcome outcome = request.run(call, kQuickAnswer);
        const Results results = readResults(outcome.results.get());
        if (outcome.response != 0 || results.sessionHandle.empty())
            throw Error("The remote desktop portal made no session.");
        m_handle = results.sessionHandle;
    }
    m_closedMatch = m_bus.matchSignal(std::string("type='signal',sender='") + dbus::kPortalService
            + "',interface='" + kSessionInterface + "',member='Closed',path='" + m_handle + "'",
        [this](sd_bus_message *) {
            // Input sent to the backend since the last sync may have gone nowhere.
            m_closedUnderUs = m_direct && m_sentSinceSync;
            m_handle.clear();
            m_granted = 0;
            m_direct = false;
        });
    {
        dbus::PortalRequest request(m_bus);
        dbus::Message call =
            m_bus.methodCall(dbus::kPortalService, dbus::kPortalPath, kInterface, "SelectDevices");
        dbus::check(sd_bus_message_append(call.get(), "o", m_handle.c_str()), "building a call");
        dbus::check(sd_bus_message_open_container(call.get(), 'a', "{sv}"), "building a call");
        appendOption(call.get(), "handle_token", request.token());
        appendOption(call.get(), "types", m_devices);
        if (version() >= 2) {
            appendOption(call.get(), "persist_mode", 2U); // until the user revokes it
            if (const std::string token = readToken(); !token.empty())
                appendOption(call.get(), "restore_token", token);
        }
        dbus::check(sd_bus_message_close_container(call.get()), "building a call");
        if (request.run(call, kQuickAnswer).response != 0)
            throw Error("The remote desktop portal refused the keyboard.");
    }
    dbus::PortalRequest request(m_bus);
    dbus::Message call =
        m_bus.methodCall(dbus::kPortalService, dbus::kPortalPath, kInterface, "Start");
    dbus::check(sd_bus_message_append(call.get(), "os", m_handle.c_str(), ""), "building a call");
    dbus::check(sd_bus_message_open_container(call.get(), 'a', "{sv}"), "building a call");
    appendOption(call.get(), "handle_token", request.token());
    dbus::check(sd_bus_message_close_container(call.get()), "building a call");
    const auto asked = std::chrono::steady_clock::now();
    const dbus::PortalRequest::Outcome outcome = request.run(call, kUserAnswer, true);
    const bool dialog = std::chrono::steady_clock::now() - asked >= kDialogShown;
    if (outcome.response == 1)
        throw Error("The desktop did not allow Quorvel to type: its remote control request "
                    "was declined.");
    if (outcome.response != 0)
        throw StartEnded("The desktop's remote desktop portal did not start a session.");
    const Results results = readResults(outcome.results.get());
    m_granted = results.devices;
    if ((m_granted & m_devices & Keyboard) != (m_devices & Keyboard))
        throw Error("The desktop did not grant Quorvel the keyboard.");
    if (!results.restoreToken.empty() && results.restoreToken != readToken())
        writeToken(results.restoreToken);
    m_direct = backendHoldsSession();
    if (dialog)
        std::this_thread::sleep_for(kFocusReturns);
    if (m_primingKey) {
        keycode(m_primingKey, true);
        keycode(m_primingKey, false);
        // The desktop makes its device as the first key comes: what follows at once is lost.
        sync();
        std::this_thread::sleep_for(kPrimingSettles);
    }
}

bool RemoteDesktopSession::backendHoldsSession()
{
    if (m_backend.empty() || !m_bus.nameHasOwner(m_backend.c_str()))
        return false;
    try {
        // Input goes to the process that holds the session now: a backend started again would
        // not know it, and would drop the input without a word.
        const dbus::Message owner = m_bus.methodCall("org.freedesktop.DBus",
            "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetNameOwner");
        dbus::check(sd_bus_message_append(owner.get(), "s", m_backend.c_str()), "building a call");
        const dbus::Message name = m_bus.call(owner, kQuickAnswer);
        const char *unique = nullptr;
        dbus::check(sd_bus_message_read(name.get(), "s", &unique), "reading the bus's answer");
        m_backendOwner = unique;
        // The backend shows each session it serves as an object at the session's path.
        const dbus::Message call = m_bus.methodCall(m_backendOwner.c_str(), m_handle.c_str(),
            "org.freedesktop.DBus.Introspectable", "Introspect");
        const dbus::Message reply = m_bus.call(call, kQuickAnswer);
        const char *xml = nullptr;
        dbus::check(sd_bus_message_read(reply.get(), "s", &xml), "reading the backend's answer");
        return std::string_view(xml).find("org.freedesktop.impl.portal.Session")
            != std::string_view::npos;
    } catch (const Error &) {
        return false;
    }
}

void RemoteDesktopSession::closeSession()
{
    m_closedMatch.reset();
    if (m_handle.empty())
        return;
    const dbus::Message call =
        m_bus.methodCall(dbus::kPortalService, m_handle.c_str(), kSessionInterface, "Close");
    m_handle.clear();
    m_granted = 0;
    m_direct = false;
    m_bus.send(call);
}

dbus::Message RemoteDesktopSession::notification(const char *member)
{
    if (!isOpen())
        open();
    dbus::Message call = m_direct
        ? m_bus.methodCall(m_backendOwner.c_str(), dbus::kPortalPath, kBackendInterface, member)
        : m_bus.methodCall(dbus::kPortalService, dbus::kPortalPath, kInterface, member);
    dbus::check(
        sd_bus_message_append(call.get(), "oa{sv}", m_handle.c_str(), 0), "building a call");
    return call;
}

dbus::Message RemoteDesktopSession::mark()
{
    // A property of the interface the input goes to: answered in order with the input, on
    // the thread that handles it.
    dbus::Message call = m_bus.methodCall(
        m_backendOwner.c_str(), dbus::kPortalPath, "org.freedesktop.DBus.Properties", "Get");
    dbus::check(
        sd_bus_message_append(call.get(), "ss", kBackendInterface, "version"), "building a call");
    return call;
}

void RemoteDesktopSession::keycode(unsigned evdev, bool pressed)
{
    const dbus::Message call = notification("NotifyKeyboardKeycode");
    dbus::check(
        sd_bus_message_append(call.get(), "iu", int(evdev), pressed ? 1U : 0U), "building a call");
    queue(call);
}

void RemoteDesktopSession::pointerMotion(double dx, double dy)
{
    const dbus::Message call = notification("NotifyPointerMotion");
    dbus::check(sd_bus_message_append(call.get(), "dd", dx, dy), "building a call");
    queue(call);
}

void RemoteDesktopSession::pointerButton(unsigned evdev, bool pressed)
{
    const dbus::Message call = notification("NotifyPointerButton");
    dbus::check(
        sd_bus_message_append(call.get(), "iu", int(evdev), pressed ? 1U : 0U), "building a call");
    queue(call);
}

void RemoteDesktopSession::pointerAxisDiscrete(unsigned axis, int steps)
{
    const dbus::Message call = notification("NotifyPointerAxisDiscrete");
    dbus::check(sd_bus_message_append(call.get(), "ui", axis, steps), "building a call");
    queue(call);
}

void RemoteDesktopSession::setCompositorRoundtrip(std::function<void()> roundtrip)
{
    m_compositorRoundtrip = std::move(roundtrip);
}

void RemoteDesktopSession::queue(const dbus::Message &call)
{
    if (!m_direct) {
        // Through the portal, one call at a time keeps the order.
        m_bus.callAsyncDetached(call, [this](sd_bus_message *reply) {
            --m_inFlight;
            if (m_refusal.empty() && sd_bus_message_is_method_error(reply, nullptr)) {
                const sd_bus_error *e = sd_bus_message_get_error(reply);
                m_refusal = e && e->message ? e->message : "no reason given";
            }
        });
        ++m_inFlight;
        sync();
        return;
    }
    dbus::check(sd_bus_message_set_expect_reply(call.get(), 0), "building a call");
    m_bus.send(call);
    m_sentSinceSync = true;
    ++m_unmarked;
    if (m_compositorRoundtrip) {
        if (m_unmarked >= kCompositorWindow / 2)
            confirmHalf();
        return;
    }
    if (m_unmarked < kMarkEvery)
        return;
    if (m_inFlight >= kMarksInFlight) {
        if (!m_bus.waitUntil([this] { return m_inFlight < kMarksInFlight; }, kQuickAnswer))
            throw Error("The remote desktop portal does not answer.");
    }
    sendMark();
}

void RemoteDesktopSession::sendMark()
{
    m_unmarked = 0;
    m_bus.callAsyncDetached(mark(), [this](sd_bus_message *reply) {
        --m_inFlight;
        ++m_marksAnswered;
        if (sd_bus_message_is_method_error(reply, nullptr))
            m_backendLost = true;
    });
    ++m_inFlight;
    ++m_marksSent;
}

void RemoteDesktopSession::confirmHalf()
{
    sendMark();
    m_bus.flush();
    // The half before this one must have reached the compositor before the next is sent.
    if (m_marksSent < 2)
        return;
    const std::size_t previous = m_marksSent - 1;
    if (!m_bus.waitUntil([this, previous] { return m_marksAnswered >= previous; }, kQuickAnswer))
        throw Error("The remote desktop portal does not answer.");
    if (m_backendLost)
        sync();
    else
        m_compositorRoundtrip();
}

void RemoteDesktopSession::push()
{
    m_bus.flush();
}

void RemoteDesktopSession::sync()
{
    if (m_direct && m_unmarked > 0)
        sendMark();
    m_bus.flush();
    const bool done = m_bus.waitUntil([this] { return m_inFlight == 0; }, kQuickAnswer);
    std::string refusal;
    std::swap(refusal, m_refusal);
    if (!refusal.empty())
        throw Error("The desktop refused what Quorvel typed: " + refusal);
    if (!done)
        throw Error("The remote desktop portal does not answer.");
    if (std::exchange(m_backendLost, false)) {
        // Its session went with it: the next need opens another.
        closeSession();
        m_sentSinceSync = false;
        throw Error("The desktop's remote desktop service stopped while Quorvel typed: what "
                    "came after was lost.");
    }
    if (m_direct && m_sentSinceSync && m_compositorRoundtrip)
        m_compositorRoundtrip();
    m_bus.processEvents();
    m_sentSinceSync = false;
    if (std::exchange(m_closedUnderUs, false))
        throw Error("The desktop ended Quorvel's remote desktop session while it typed.");
}

std::string RemoteDesktopSession::readToken() const
{
    // Read as data: anything but a small regular file is no token.
    std::string token = wayland::readRegularFile(tokenFile(m_dataFolder), 4096).value_or("");
    while (!token.empty() && (token.back() == '\n' || token.back() == '\r'))
        token.pop_back();
    return token;
}

void RemoteDesktopSession::writeToken(const std::string &token) const
{
    // The token is a grant: only the user may read it, and it is replaced whole or not at all.
    const std::string file = tokenFile(m_dataFolder);
    makeFolders(withSlash(m_dataFolder));
    std::string temporary = file + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        throw Error("Cannot write " + file + ".");
    const std::string text = token + "\n";
    const bool written = ::fchmod(fd, 0600) == 0
        && ::write(fd, text.data(), text.size()) == ssize_t(text.size()) && ::fsync(fd) == 0;
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), file.c_str()) != 0) {
        ::unlink(temporary.c_str());
        throw Error("Cannot write " + file + ".");
    }
}

} // namespace quorvel::portal
