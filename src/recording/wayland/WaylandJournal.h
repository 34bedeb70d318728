// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Journal.h"
#include "recording/JournalFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace quorvel {

class HotKeyRegistrar;

namespace wayland {
class WaylandKeymap;
}

// The journal on a wlroots compositor: replays recordings made on X11 through a virtual
// keyboard and a virtual pointer of its own; recording needs an X server and says so.
//
// It has no thread of its own and works as X11Journal does: the owner watches
// fileDescriptor() and calls processEvents() when it is readable; OnFinished is raised only
// from there. Replays queue, run at recorded or high speed, and end with exactly one
// OnFinished each, once the compositor has taken every event (a roundtrip); whatever a replay
// holds down is released when it ends, however it ends. Esc pressed by the user cancels, as on
// X11, where the desktop lets us bind it (setCancelKeys).
//
// A recorded key is replayed by its symbol: on the key of our US keymap that types the symbol
// without Shift, else on a spare key bound to it, so the keys the recording's layout typed
// are typed again whatever the keycodes. A key without a symbol keeps its keycode, which on
// an evdev X server is the evdev code plus 8, as on our keymap. Positions are X screen
// coordinates, whose origin is the layout's: a point goes to the same point of the layout.
class WaylandJournal : public Journal
{
public:
    static constexpr const char *kRecordingUnavailable =
        "Recording is not possible: this is a Wayland session; recording needs an X11 session";

    // displayName empty: $WAYLAND_DISPLAY. Never throws; see available().
    explicit WaylandJournal(const std::string &displayName = {});
    ~WaylandJournal() override;
    WaylandJournal(const WaylandJournal &) = delete;
    WaylandJournal &operator=(const WaylandJournal &) = delete;

    // False when the compositor or its virtual keyboard or pointer is missing; then
    // StartPlayBack throws.
    bool available() const;
    const std::string &unavailableReason() const;

    // Throws kRecordingUnavailable.
    void StartRecording() override;
    void StopRecording() override { }
    void discardRecording() override { }
    void StartPlayBack() override;

    // Ends the running replay and drops the queued ones; each gets OnFinished(true).
    void cancelPlayBack();
    // Binds Esc through registrar while a replay runs, so that the user's Esc cancels it as
    // cancelPlayBack does (and reaches nothing else); an Esc the replay sends does not.
    // Without a registrar no key cancels. The registrar must outlive the journal.
    void setCancelKeys(HotKeyRegistrar *registrar);
    bool isPlayingBack() const;

    // Readable whenever processEvents() has work: the compositor's events, a replay event
    // falling due, a callback to raise.
    int fileDescriptor() const;
    void processEvents();

    // The keys a recording's key events go to on keymap: the symbols the layout types without
    // Shift on their own keys, the others bound to spare keys as far as there are any.
    struct ReplayKeys
    {
        std::unordered_map<std::uint32_t, unsigned> ofKeysym;
        bool rebound = false; // spare keys were bound: the keymap goes again
        unsigned keycodeOf(const JournalEvent &event) const;
    };
    static ReplayKeys bindKeysyms(
        wayland::WaylandKeymap &keymap, const std::vector<JournalEvent> &events);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace quorvel
