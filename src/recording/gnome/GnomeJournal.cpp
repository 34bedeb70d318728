// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording/gnome/GnomeJournal.h"

#include "common/Error.h"
#include "platform/dbus/Bus.h"
#include "platform/gnome/GnomeShell.h"
#include "platform/xkb/LayoutKeys.h"
#include "recording/ReplayInput.h"

#include <chrono>
#include <optional>
#include <systemd/sd-bus.h>
#include <utility>
#include <vector>

namespace quorvel {

namespace {

constexpr unsigned kEvdevOffset = 8;
constexpr std::uint32_t kEscapeKeysym = 0xff1b;
constexpr int kInFlight = 8;
constexpr auto kReplyWait = std::chrono::seconds(30);

class GnomeShellReplayInput final : public ReplayInput
{
public:
    explicit GnomeShellReplayInput(dbus::Bus bus)
        : m_bus(std::move(bus))
    {
    }

    void prepare(const std::vector<JournalEvent> &) override
    {
        using namespace gnome;
        const auto version = interfaceVersion(m_bus);
        if (!version)
            throw Error("Replaying is not possible: Quorvel's GNOME Shell extension does not "
                        "answer. "
                + extensionAdvice(extensionState(m_bus)));
        if (*version < kPointerVersion)
            throw Error("Replaying needs the newer Quorvel extension of GNOME Shell, which the "
                        "shell loads at the next log-in.");
        // The layout is read at each replay: the user may have switched it since.
        m_layout.emplace(shellLayout(m_bus));
        m_failure.clear();
    }

    void send(const JournalEvent &event) override
    {
        switch (event.type) {
        case JournalEventType::KeyPress:
        case JournalEventType::KeyRelease:
            if (const auto key = keyOf(event))
                m_keys.emplace_back(*key, event.type == JournalEventType::KeyPress);
            break;
        case JournalEventType::ButtonPress:
        case JournalEventType::ButtonRelease: {
            const bool press = event.type == JournalEventType::ButtonPress;
            // The shell numbers buttons as X does.
            if (evdevButton(event.code)) {
                auto call = shellCall("PointerButton");
                dbus::check(
                    sd_bus_message_append(call.get(), "ub", std::uint32_t(event.code), int(press)),
                    "Cannot build a call");
                sendCall(std::move(call));
            } else if (press && event.code >= 4 && event.code <= 7) {
                // The wheel, one step each: 4 up, 5 down, 6 left, 7 right, as the shell counts.
                auto call = shellCall("PointerScroll");
                dbus::check(sd_bus_message_append(call.get(), "u", std::uint32_t(event.code - 4)),
                    "Cannot build a call");
                sendCall(std::move(call));
            }
            break;
        }
        case JournalEventType::Motion: {
            auto call = shellCall("PointerMove");
            dbus::check(sd_bus_message_append(call.get(), "dd", double(event.x), double(event.y)),
                "Cannot build a call");
            sendCall(std::move(call));
            break;
        }
        }
    }

    bool isEscape(const JournalEvent &event) override
    {
        const std::optional<unsigned> escape = m_layout->keysym(kEscapeKeysym);
        return escape && keyOf(event) == escape;
    }

    void flush() override
    {
        sendKeys();
        m_bus.flush();
    }

    void sync() override
    {
        sendKeys();
        waitForReplies(0);
        if (!m_failure.empty())
            throw Error("GNOME Shell refused the replay: " + std::exchange(m_failure, {}));
    }

    void settle() override
    {
        sync();
        auto call = m_bus.methodCall(
            gnome::kShellName, gnome::kShellPath, gnome::kShellInterface, "Settle");
        m_bus.call(call, kReplyWait);
    }

    // The extension may come back, enabled again or after the shell restarts.
    bool survivesFailure() const override { return true; }

    // The replies of calls in flight come here while the replay waits for its next event.
    int fileDescriptor() const override { return m_bus.fileDescriptor(); }
    void processEvents() override { m_bus.processEvents(); }

private:
    std::optional<unsigned> keyOf(const JournalEvent &event) const
    {
        std::optional<unsigned> key = event.keysym ? m_layout->keysym(event.keysym) : std::nullopt;
        if (!key && event.code >= kEvdevOffset)
            key = event.code - kEvdevOffset;
        return key;
    }

    dbus::Message shellCall(const char *member)
    {
        // Keys before it go first: the shell takes its calls in order.
        sendKeys();
        return m_bus.methodCall(
            gnome::kShellName, gnome::kShellPath, gnome::kShellInterface, member);
    }

    void sendKeys()
    {
        if (m_keys.empty())
            return;
        auto call = gnome::keysCall(m_bus, m_keys);
        m_keys.clear();
        sendCall(std::move(call));
    }

    void sendCall(dbus::Message call)
    {
        waitForReplies(kInFlight - 1);
        ++m_inFlight;
        m_bus.callAsyncDetached(
            call,
            [this](sd_bus_message *reply) {
                --m_inFlight;
                if (sd_bus_message_is_method_error(reply, nullptr) && m_failure.empty()) {
                    const sd_bus_error *error = sd_bus_message_get_error(reply);
                    m_failure = error && error->message ? error->message : "refused";
                }
            },
            kReplyWait);
    }

    void waitForReplies(int atMost)
    {
        if (m_inFlight <= atMost)
            return;
        if (!m_bus.waitUntil([this, atMost] { return m_inFlight <= atMost; }, kReplyWait))
            throw Error("GNOME Shell did not take the replay in time");
    }

    dbus::Bus m_bus;
    std::optional<xkb::LayoutKeys> m_layout;
    std::vector<std::pair<unsigned, bool>> m_keys; // not sent yet
    int m_inFlight = 0;
    std::string m_failure; // the first refused call's reason
};

} // namespace

GnomeJournal::GnomeJournal(dbus::Bus bus)
    : DeviceJournal(std::make_unique<GnomeShellReplayInput>(std::move(bus)), {})
{
}

} // namespace quorvel
