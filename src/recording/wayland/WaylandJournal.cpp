// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording/wayland/WaylandJournal.h"

#include "common/Error.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandKeymap.h"
#include "platform/wayland/WaylandVirtualInput.h"
#include "recording/ReplayInput.h"

#include <unordered_set>

namespace quorvel {

namespace {
constexpr std::uint32_t kEscapeKeysym = 0xff1b;
} // namespace

unsigned WaylandJournal::ReplayKeys::keycodeOf(const JournalEvent &event) const
{
    const auto it = ofKeysym.find(event.keysym);
    return it == ofKeysym.end() ? event.code : it->second;
}

WaylandJournal::ReplayKeys WaylandJournal::bindKeysyms(
    wayland::WaylandKeymap &keymap, const std::vector<JournalEvent> &events)
{
    ReplayKeys keys;
    std::vector<std::uint32_t> lacking;
    std::unordered_set<std::uint32_t> seen;
    for (const JournalEvent &e : events) {
        if (!e.isKey() || !e.keysym || !seen.insert(e.keysym).second)
            continue;
        // A symbol the layout types only with Shift would need a Shift the recording
        // does not hold.
        const wayland::WaylandKeymap::Binding b = keymap.findKeysym(e.keysym);
        if (b.valid() && !b.shift)
            keys.ofKeysym.emplace(e.keysym, b.keycode);
        else
            lacking.push_back(e.keysym);
    }
    const std::unordered_set<std::uint32_t> wanted(lacking.begin(), lacking.end());
    std::vector<unsigned> free;
    for (unsigned kc : keymap.spareKeys()) {
        const std::uint32_t bound = keymap.spareBinding(kc);
        if (wanted.contains(bound))
            keys.ofKeysym.emplace(bound, kc);
        else
            free.push_back(kc);
    }
    auto next = free.begin();
    for (const std::uint32_t keysym : lacking) {
        if (keys.ofKeysym.contains(keysym))
            continue;
        if (next == free.end())
            break; // the rest keep their keycodes
        keymap.bindSpare(*next, keysym);
        keys.ofKeysym.emplace(keysym, *next++);
        keys.rebound = true;
    }
    return keys;
}

namespace {

class WaylandReplayInput final : public ReplayInput
{
public:
    explicit WaylandReplayInput(const std::string &displayName)
        : m_connection(displayName)
        , m_input(m_connection)
    {
    }

    void prepare(const std::vector<JournalEvent> &events) override
    {
        m_keys = WaylandJournal::bindKeysyms(m_input.keymap(), events);
        if (m_keys.rebound)
            m_input.uploadKeymap();
    }

    void send(const JournalEvent &event) override
    {
        switch (event.type) {
        case JournalEventType::KeyPress:
        case JournalEventType::KeyRelease:
            m_input.key(m_keys.keycodeOf(event), event.type == JournalEventType::KeyPress);
            break;
        case JournalEventType::ButtonPress:
        case JournalEventType::ButtonRelease:
            m_input.button(event.code, event.type == JournalEventType::ButtonPress);
            break;
        case JournalEventType::Motion:
            m_input.moveTo(event.x, event.y);
            break;
        }
    }

    bool isEscape(const JournalEvent &event) override
    {
        return m_keys.keycodeOf(event) == m_input.keymap().findKeysym(kEscapeKeysym).keycode;
    }

    void flush() override { m_input.flush(); }
    void sync() override { m_connection.roundtrip(); }
    // A lost compositor takes our devices with it.
    bool survivesFailure() const override { return false; }
    int fileDescriptor() const override { return m_connection.fileDescriptor(); }
    void processEvents() override { m_connection.processEvents(); }

private:
    wayland::WaylandConnection m_connection;
    wayland::WaylandVirtualInput m_input;
    WaylandJournal::ReplayKeys m_keys;
};

std::pair<std::unique_ptr<ReplayInput>, std::string> openInput(const std::string &displayName)
{
    try {
        return { std::make_unique<WaylandReplayInput>(displayName), std::string() };
    } catch (const Error &e) {
        return { nullptr, std::string("Replaying is not possible: ") + e.what() };
    }
}

} // namespace

WaylandJournal::WaylandJournal(const std::string &displayName)
    : WaylandJournal(openInput(displayName))
{
}

WaylandJournal::WaylandJournal(std::pair<std::unique_ptr<ReplayInput>, std::string> opened)
    : DeviceJournal(std::move(opened.first), std::move(opened.second))
{
}

} // namespace quorvel
