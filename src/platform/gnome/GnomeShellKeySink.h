// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeySink.h"
#include "platform/dbus/Bus.h"
#include "platform/xkb/LayoutKeys.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quorvel::gnome {

// Types through the virtual keyboard of Quorvel's GNOME Shell extension, on the keys of the
// shell's current layout (keyScan hands out identities from CharacterKey up for them). A
// character the layout lacks goes to the extension as text, which commits it through the
// shell's input method, or pastes it where the program takes no input-method text.
//
// Keys go in batches, several calls in flight at once; flush() waits for the last reply, and
// the extension handles calls in order, so every key has then reached the shell. The shell
// hands keys to programs only at its next frame, and the keys it holds until then are out of
// the pacing's sight: every few hundred keys a mark asks when they have gone out, and typing
// waits while several marks are unanswered.
//
// The shell's keyboard state is the seat's: the user's held modifiers show in isKeyDown, ours
// do not.
class GnomeShellKeySink final : public KeySink, public KeyboardState
{
public:
    // Reads the layout; throws Error when the extension does not answer.
    explicit GnomeShellKeySink(dbus::Bus bus);
    ~GnomeShellKeySink() override;
    GnomeShellKeySink(const GnomeShellKeySink &) = delete;
    GnomeShellKeySink &operator=(const GnomeShellKeySink &) = delete;

    CharacterRoute routeOf(char32_t ch) override;
    KeyScan keyScan(char32_t ch) override;
    unsigned scanCode(KeyCode key) override;
    void keyEvent(KeyCode key, unsigned scan, bool extended, bool release) override;
    void typeCharacter(char32_t ch) override;
    // Throws Error when the shell refused a call or did not answer in time.
    void flush() override;
    // Sends the keys so far without waiting; text the layout lacks waits for the next key or
    // flush, so that a line goes as one commit: each costs the shell a repaint. A Space or an
    // Enter after such text joins it (the Enter as a line end, which the shell types as it sees
    // fit).
    void deliverSoFar() override;
    void releaseAll() override;

    bool isKeyDown(KeyCode key) override;

    // Whether typing must wait for a program that lags behind the keys; asked every few hundred
    // keys. The shell drops a client whose queue fills, and only the caller can see the queues.
    void setPace(std::function<bool()> mustWait) { m_mustWait = std::move(mustWait); }

    // How many texts went through the input method and through the clipboard.
    int committed() const { return m_committed; }
    int pasted() const { return m_pasted; }

    static constexpr KeyCode CharacterKey = 0x10000;

private:
    void loadLayout();
    void press(unsigned evdev, bool down);
    void sendKeys();
    void sendText();
    char joinedCharacter(unsigned evdev) const;
    void pressHeldKey();
    void send(dbus::Message call, bool text);
    void waitForReplies(int atMost);
    void waitFor(const std::function<bool()> &done);
    void pace();
    void mark();
    std::optional<unsigned> evdevOf(KeyCode key);

    dbus::Bus m_bus;
    std::optional<xkb::LayoutKeys> m_layout;
    bool m_layoutStale = false;
    dbus::Slot m_layoutChanged;
    unsigned m_vKey = 47;
    std::vector<xkb::KeyStroke> m_strokes; // the identities handed out, from CharacterKey
    std::unordered_map<char32_t, KeyCode> m_identityOf;
    std::vector<std::pair<unsigned, bool>> m_keys; // not sent yet
    std::string m_text; // not sent yet, UTF-8, after m_keys
    std::unordered_map<unsigned, int> m_down; // evdev key -> how many presses hold it
    std::unordered_map<KeyCode, std::vector<unsigned>> m_pressed; // identity -> keys it holds
    int m_inFlight = 0;
    std::string m_failure; // the first refused call's reason
    std::function<bool()> m_mustWait;
    int m_unpaced = 0;
    bool m_marks = false; // whether the shell answers them
    bool m_linesInText = false; // whether the shell takes line ends in a text
    unsigned m_heldKey = 0; // an Enter or Space after text, not sent: part of it if released next
    // Marks unanswered; the replies may come after the sink is gone.
    std::shared_ptr<int> m_marksOpen = std::make_shared<int>(0);
    int m_committed = 0;
    int m_pasted = 0;
};

} // namespace quorvel::gnome
