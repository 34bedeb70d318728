// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/dbus/Bus.h"
#include "platform/portal/KeyInput.h"

#include <chrono>
#include <functional>
#include <string>

namespace quorvel::portal {

// One session of the RemoteDesktop portal (org.freedesktop.portal.RemoteDesktop), opened when
// first needed and held for the life of the program; one the desktop closes is opened again
// at the next need.
//
// Input goes out pipelined where order allows: xdg-desktop-portal handles each call in a
// thread of its own, so calls sent to it at once may arrive out of order (a Shift released
// before it was pressed stays down). Given the portal backend that serves the desktop (such
// as org.freedesktop.impl.portal.desktop.kde, which handles its calls in order), input goes
// to that backend once it shows it holds our session, many calls at once, and sync() is the
// one round trip that waits for them all. Otherwise each call waits for the one before.
//
// Where the desktop asks the user (a dialog for sandboxed or launched callers), the portal's
// version 2 is asked for a grant that persists; its restore token is kept in the data folder
// (0600) and handed back next time, so the user is asked once. With version 1 the grant lasts
// as long as the session, the life of the program.
class RemoteDesktopSession final : public KeyInput
{
public:
    static constexpr unsigned Keyboard = 1, Pointer = 2; // device types

    // dataFolder holds the restore token (made when needed); devices: the types to ask for;
    // backend: the bus name of the desktop's portal backend, empty for none. Nothing is asked
    // of the portal yet.
    RemoteDesktopSession(dbus::Bus bus, std::string dataFolder, unsigned devices = Keyboard,
        std::string backend = {});
    ~RemoteDesktopSession() override;
    RemoteDesktopSession(const RemoteDesktopSession &) = delete;
    RemoteDesktopSession &operator=(const RemoteDesktopSession &) = delete;

    // Opens the session when none is open; throws Error when the portal is missing or
    // refuses.
    void open();
    bool isOpen() const { return !m_handle.empty(); }
    // The device types the desktop granted (0 before open()).
    unsigned devices() const { return m_granted; }
    // Whether input goes to the backend, many calls at once.
    bool pipelined() const { return m_direct; }
    // The portal interface's version; 0 when there is no such portal.
    unsigned version();

    // Input, queued without waiting; each opens the session when needed. Keycodes and buttons
    // are evdev codes.
    void keycode(unsigned evdev, bool pressed) override;
    void pointerMotion(double dx, double dy);
    void pointerButton(unsigned evdev, bool pressed);
    // axis 0 vertical, 1 horizontal; steps below 0 up or left.
    void pointerAxisDiscrete(unsigned axis, int steps);
    // Waits until the portal has taken everything sent; throws Error when it refused any of
    // it (the first refusal's text), or when the backend or the session went meanwhile.
    void sync() override;
    void push() override;
    // A round trip through the compositor, for a backend that hands our input to the
    // compositor as a Wayland client of its own (KDE's): input then waits for the compositor
    // every so often, as the backend would be dropped if the compositor fell far behind.
    void setCompositorRoundtrip(std::function<void()> roundtrip);
    // A key pressed and released as a session starts, which the desktop drops (GNOME drops
    // the first key of a session); 0, the default, sends none.
    void setPrimingKey(unsigned evdev) { m_primingKey = evdev; }

    // The session's object path (empty when closed) and its bus, for calls of the portal's
    // this class does not make.
    const std::string &handle() const { return m_handle; }
    dbus::Bus &bus() { return m_bus; }

    // The file of the restore token in a data folder.
    static std::string tokenFile(const std::string &dataFolder);

private:
    void start();
    void startOnce();
    void closeSession();
    bool backendHoldsSession();
    dbus::Message notification(const char *member);
    dbus::Message mark();
    void sendMark();
    void confirmHalf();
    void queue(const dbus::Message &call);
    std::string readToken() const;
    void writeToken(const std::string &token) const;

    dbus::Bus m_bus;
    std::string m_dataFolder;
    unsigned m_devices;
    unsigned m_version = 0;
    bool m_versionKnown = false;
    std::string m_handle; // the session's object path; empty when closed
    unsigned m_granted = 0;
    dbus::Slot m_closedMatch;
    std::string m_backend;
    std::string m_backendOwner; // its unique name when the session started
    std::function<void()> m_compositorRoundtrip;
    bool m_backendLost = false;
    unsigned m_primingKey = 0;
    bool m_direct = false;
    std::size_t m_inFlight = 0; // calls sent and not answered yet
    std::size_t m_unmarked = 0; // calls sent to the backend since the last mark
    std::size_t m_marksSent = 0;
    std::size_t m_marksAnswered = 0;
    bool m_sentSinceSync = false;
    bool m_closedUnderUs = false; // the desktop closed the session after input was sent
    std::string m_refusal; // the first Notify the portal refused since the last sync
};

} // namespace quorvel::portal
