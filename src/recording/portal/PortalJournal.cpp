// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording/portal/PortalJournal.h"

#include "common/Error.h"
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

class PortalReplayInput final : public ReplayInput
{
public:
    PortalReplayInput(portal::RemoteDesktopSession &session, const xkb::LayoutNames &layout)
        : m_session(session)
        , m_layout(layout)
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
            if (const unsigned button = evdevButton(event.code)) {
                m_session.pointerButton(button, press);
            } else if (press && event.code >= 4 && event.code <= 7) {
                // The wheel: 4 and 5 up and down, 6 and 7 left and right, one step each.
                const bool horizontal = event.code >= 6;
                m_session.pointerAxisDiscrete(horizontal ? 1 : 0, event.code % 2 == 0 ? -1 : 1);
            }
            break;
        }
        case JournalEventType::Motion:
            m_session.pointerMotion(event.x - m_pointerX, event.y - m_pointerY);
            m_pointerX = event.x;
            m_pointerY = event.y;
            break;
        }
    }

    bool isEscape(const JournalEvent &event) override
    {
        const std::optional<unsigned> escape = m_layout.keysym(kEscapeKeysym);
        return escape && keyOf(event) == escape;
    }

    void flush() override { }
    void sync() override { m_session.sync(); }
    // The session opens again at the next replay.
    bool survivesFailure() const override { return true; }

private:
    std::optional<unsigned> keyOf(const JournalEvent &event) const
    {
        std::optional<unsigned> key = event.keysym ? m_layout.keysym(event.keysym) : std::nullopt;
        if (!key && event.code >= kEvdevOffset)
            key = event.code - kEvdevOffset;
        return key;
    }

    portal::RemoteDesktopSession &m_session;
    xkb::LayoutKeys m_layout;
    double m_pointerX = 0;
    double m_pointerY = 0;
};

std::pair<std::unique_ptr<ReplayInput>, std::string> openInput(
    portal::RemoteDesktopSession &session, const xkb::LayoutNames &layout)
{
    try {
        return { std::make_unique<PortalReplayInput>(session, layout), std::string() };
    } catch (const Error &e) {
        return { nullptr, std::string("Replaying is not possible: ") + e.what() };
    }
}

} // namespace

PortalJournal::PortalJournal(portal::RemoteDesktopSession &session, const xkb::LayoutNames &layout)
    : PortalJournal(openInput(session, layout))
{
}

PortalJournal::PortalJournal(std::pair<std::unique_ptr<ReplayInput>, std::string> opened)
    : DeviceJournal(std::move(opened.first), std::move(opened.second))
{
}

} // namespace quorvel
