// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/portal/KeyInput.h"

#include <memory>
#include <string>

struct org_kde_kwin_fake_input;

namespace quorvel::wayland {
class PacedRequests;
class WaylandConnection;
} // namespace quorvel::wayland

namespace quorvel::kde {

// Keys (and a replay's pointer) straight into KWin through its own input protocol
// (org_kde_kwin_fake_input), as keycodes of the desktop's layout: one Wayland request each and no
// round trip, where the portal takes a D-Bus call each through its backend. KWin offers the
// protocol only to a program that a desktop entry names with its absolute path and
// X-KDE-Wayland-Interfaces, as the package's entry does; to others it does not exist, and the
// portal types instead.
//
// Typing waits while a client lags far behind the keys (see TypingPace), as KWin drops a
// client whose queue fills.
class KwinFakeInput final : public portal::KeyInput
{
public:
    // Null when KWin does not offer the protocol to this program, or cannot be reached.
    static std::unique_ptr<KwinFakeInput> connect(const std::string &displayName = {});
    ~KwinFakeInput() override;
    KwinFakeInput(const KwinFakeInput &) = delete;
    KwinFakeInput &operator=(const KwinFakeInput &) = delete;

    void keycode(unsigned evdev, bool pressed) override;
    // The pointer, for replays: a point of KWin's screen layout, an evdev button, and the wheel
    // (axis 0 vertical, 1 horizontal; steps below 0 up or left).
    void pointerMotionAbsolute(double x, double y);
    void pointerButton(unsigned evdev, bool pressed);
    void pointerAxisSteps(unsigned axis, int steps);
    // One round trip: KWin has handed out every key sent before it.
    void sync() override;
    void push() override;

private:
    KwinFakeInput(
        std::unique_ptr<wayland::WaylandConnection> connection, org_kde_kwin_fake_input *input);

    std::unique_ptr<wayland::WaylandConnection> m_connection;
    org_kde_kwin_fake_input *m_input;
    std::unique_ptr<wayland::PacedRequests> m_paced;
};

} // namespace quorvel::kde
