// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/kde/KwinFakeInput.h"

#include "common/Error.h"
#include "fake-input-client-protocol.h"
#include "platform/wayland/PacedRequests.h"
#include "platform/wayland/WaylandConnection.h"

#include <wayland-client.h>

namespace quorvel::kde {

namespace {

// keyboard_key came with version 4; earlier KWins type through the portal.
constexpr std::uint32_t kKeyboardVersion = 4;
// What a wheel's notch scrolls, as libinput reports one.
constexpr int kAxisStep = 15;

} // namespace

std::unique_ptr<KwinFakeInput> KwinFakeInput::connect(const std::string &displayName)
{
    std::unique_ptr<wayland::WaylandConnection> connection;
    try {
        connection = std::make_unique<wayland::WaylandConnection>(displayName);
    } catch (const Error &) {
        return nullptr;
    }
    if (connection->version(org_kde_kwin_fake_input_interface.name) < kKeyboardVersion)
        return nullptr;
    auto *input = static_cast<org_kde_kwin_fake_input *>(
        connection->bind(&org_kde_kwin_fake_input_interface, kKeyboardVersion));
    if (!input)
        return nullptr;
    return std::unique_ptr<KwinFakeInput>(new KwinFakeInput(std::move(connection), input));
}

KwinFakeInput::KwinFakeInput(
    std::unique_ptr<wayland::WaylandConnection> connection, org_kde_kwin_fake_input *input)
    : m_connection(std::move(connection))
    , m_input(input)
    , m_paced(std::make_unique<wayland::PacedRequests>(*m_connection))
{
    // KWin ignores a device's input until it has said who it is.
    org_kde_kwin_fake_input_authenticate(m_input, "Quorvel", "Types and replays your macros");
    m_connection->flush();
}

KwinFakeInput::~KwinFakeInput()
{
    // This version has no destructor request: KWin lets go of the device with the connection.
    org_kde_kwin_fake_input_destroy(m_input);
}

void KwinFakeInput::keycode(unsigned evdev, bool pressed)
{
    org_kde_kwin_fake_input_keyboard_key(
        m_input, evdev, pressed ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    m_paced->sent();
}

void KwinFakeInput::pointerMotionAbsolute(double x, double y)
{
    org_kde_kwin_fake_input_pointer_motion_absolute(
        m_input, wl_fixed_from_double(x), wl_fixed_from_double(y));
    m_paced->sent();
}

void KwinFakeInput::pointerButton(unsigned evdev, bool pressed)
{
    org_kde_kwin_fake_input_button(m_input, evdev,
        pressed ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
    m_paced->sent();
}

void KwinFakeInput::pointerAxisSteps(unsigned axis, int steps)
{
    org_kde_kwin_fake_input_axis(m_input,
        axis == 0 ? WL_POINTER_AXIS_VERTICAL_SCROLL : WL_POINTER_AXIS_HORIZONTAL_SCROLL,
        wl_fixed_from_int(steps * kAxisStep));
    m_paced->sent();
}

void KwinFakeInput::sync()
{
    m_connection->roundtrip();
    m_paced->flushed();
}

void KwinFakeInput::push()
{
    m_connection->flush();
    m_paced->flushed();
}

} // namespace quorvel::kde
