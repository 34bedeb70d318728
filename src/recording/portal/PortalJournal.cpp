// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording/portal/PortalJournal.h"

#include "common/Error.h"
#include "platform/kde/KwinFakeInput.h"
#include "platform/portal/RemoteDesktopSession.h"
#include "recording/ReplayInput.h"

#include <algorithm>
#include <optional>

namespace quorvel {

namespace {
constexpr unsigned kEvdevOffset = 8;
// Far enough past any desktop's top left corner for the pointer to end up in it.
constexpr double kToCorner = -1e6;
constexpr std::uint32_t kEscapeKeysym = 0xff1b;

// Recorded keys on the desktop's layout: by their symbol, else their keycode.
class LayoutReplayInput : public ReplayInput
{
public:
    bool isEscape(const JournalEvent &event) override
    {
        const std::optional<unsigned> escape = m_layout.keysym(kEscapeKeysym);
        return escape && keyOf(event) == escape;
    }

protected:
    explicit LayoutReplayInput(const xkb::LayoutNames &layout)
        : m_layout(layout)
    {
    }

    std::optional<unsigned> keyOf(const JournalEvent &event) const
    {
        std::optional<unsigned> key = event.keysym ? m_layout.keysym(event.keysym) : std::nullopt;
        if (!key && event.code >= kEvdevOffset)
            key = event.code - kEvdevOffset;
        return key;
    }

private:
    xkb::LayoutKeys m_layout;
};

struct WheelSteps
{
    unsigned axis = 0; // 0 vertical, 1 horizontal
    int steps = 0; // below 0 up or left
};

// The wheel: X buttons 4 and 5 up and down, 6 and 7 left and right, one step a press.
std::optional<WheelSteps> wheelOf(const JournalEvent &event)
{
    if (event.type != JournalEventType::ButtonPress || event.code < 4 || event.code > 7)
        return std::nullopt;
    return WheelSteps { event.code >= 6 ? 1U : 0U, event.code % 2 == 0 ? -1 : 1 };
}

class PortalReplayInput final : public LayoutReplayInput
{
public:
    PortalReplayInput(portal::RemoteDesktopSession &session, const xkb::LayoutNames &layout)
        : LayoutReplayInput(layout)
        , m_session(session)
    {
    }

    void prepare(const std::vector<JournalEvent> &events) override
    {
        m_session.open();
        const bool pointer = std::any_of(
            events.begin(), events.end(), [](const JournalEvent &e) { return !e.isKey(); });
        if (!pointer)
            return;
        if (!(m_session.devices() & portal::RemoteDesktopSession::Pointer))
            throw Error("The desktop did not grant Quorvel the pointer: a recording with the "
                        "mouse cannot be replayed.");
        m_session.pointerMotion(kToCorner, kToCorner);
        m_pointerX = m_pointerY = 0;
    }

    void send(const JournalEvent &event) override
    {
        switch (event.type) {
        case JournalEventType::KeyPress:
        case JournalEventType::KeyRelease:
            if (const auto key = keyOf(event))
                m_session.keycode(*key, event.type == JournalEventType::KeyPress);
            break;
        case JournalEventType::ButtonPress:
        case JournalEventType::ButtonRelease: {
            const bool press = event.type == JournalEventType::ButtonPress;
            if (const unsigned button = evdevButton(event.code))
                m_session.pointerButton(button, press);
            else if (const auto wheel = wheelOf(event))
                m_session.pointerAxisDiscrete(wheel->axis, wheel->steps);
            break;
        }
        case JournalEventType::Motion:
            m_session.pointerMotion(event.x - m_pointerX, event.y - m_pointerY);
            m_pointerX = event.x;
            m_pointerY = event.y;
            break;
        }
    }

    void flush() override { }
    void sync() override { m_session.sync(); }
    // The session opens again at the next replay.
    bool survivesFailure() const override { return true; }

private:
    portal::RemoteDesktopSession &m_session;
    double m_pointerX = 0;
    double m_pointerY = 0;
};

// Straight into KWin: positions need no screen cast there, and no session is asked for.
class KwinReplayInput final : public LayoutReplayInput
{
public:
    KwinReplayInput(kde::KwinFakeInput &input, const xkb::LayoutNames &layout)
        : LayoutReplayInput(layout)
        , m_input(input)
    {
    }

    void prepare(const std::vector<JournalEvent> &) override { }

    void send(const JournalEvent &event) override
    {
        switch (event.type) {
        case JournalEventType::KeyPress:
        case JournalEventType::KeyRelease:
            if (const auto key = keyOf(event))
                m_input.keycode(*key, event.type == JournalEventType::KeyPress);
            break;
        case JournalEventType::ButtonPress:
        case JournalEventType::ButtonRelease: {
            const bool press = event.type == JournalEventType::ButtonPress;
            if (const unsigned button = evdevButton(event.code))
                m_input.pointerButton(button, press);
            else if (const auto wheel = wheelOf(event))
                m_input.pointerAxisSteps(wheel->axis, wheel->steps);
            break;
        }
        case JournalEventType::Motion:
            m_input.pointerMotionAbsolute(event.x, event.y);
            break;
        }
    }

    void flush() override { m_input.push(); }
    void sync() override { m_input.sync(); }
    // KWin dropped the connection: the program's other ties to it go with it.
    bool survivesFailure() const override { return false; }

private:
    kde::KwinFakeInput &m_input;
};

std::pair<std::unique_ptr<ReplayInput>, std::string> openInput(
    portal::RemoteDesktopSession &session, const xkb::LayoutNames &layout,
    kde::KwinFakeInput *direct)
{
    try {
        if (direct)
            return { std::make_unique<KwinReplayInput>(*direct, layout), std::string() };
        return { std::make_unique<PortalReplayInput>(session, layout), std::string() };
    } catch (const Error &e) {
        return { nullptr, std::string("Replaying is not possible: ") + e.what() };
    }
}

} // namespace

PortalJournal::PortalJournal(portal::RemoteDesktopSession &session, const xkb::LayoutNames &layout,
    kde::KwinFakeInput *direct)
    : PortalJournal(openInput(session, layout, direct))
{
}

PortalJournal::PortalJournal(std::pair<std::unique_ptr<ReplayInput>, std::string> opened)
    : DeviceJournal(std::move(opened.first), std::move(opened.second))
{
}

} // namespace quorvel
