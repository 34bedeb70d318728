// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::portal {

// The route for text the keyboard cannot type: through the clipboard and the program's paste
// key, with the user's clipboard put back afterwards.
class PasteRoute
{
public:
    virtual ~PasteRoute() = default;
    // Puts text (UTF-8) on the clipboard, calls pressPasteKey, waits until the program with
    // the focus has read it, and puts the user's clipboard back; returns no sooner than
    // insertWait after the read, the time the program may take to insert what it read, as a
    // key after it would go first (zero: it inserts as it reads, as a terminal does, and the
    // clipboard need not wait for it). Throws Error when the program did not read it in time
    // (the user's clipboard is back then too).
    virtual void paste(std::string_view text, const std::function<void()> &pressPasteKey,
        std::chrono::milliseconds insertWait) = 0;
};

// The clipboard through the compositor's data control (zwlr_data_control_manager_v1), which
// needs no window of ours: KWin and wlroots compositors offer it to every client.
//
// Every mime type the user's clipboard offers is read before our text goes on it, and offered
// again afterwards. We then hold the user's clipboard and must answer programs that paste it:
// the owner watches fileDescriptor() and calls processEvents() when it is readable. Once
// another program sets the clipboard, we hold nothing.
class DataControlClipboard final : public PasteRoute
{
public:
    // Throws Error when the compositor cannot be reached or offers no data control; an empty
    // name means $WAYLAND_DISPLAY.
    explicit DataControlClipboard(const std::string &displayName = {},
        std::chrono::milliseconds readTimeout = std::chrono::seconds(3));
    ~DataControlClipboard() override;
    DataControlClipboard(const DataControlClipboard &) = delete;
    DataControlClipboard &operator=(const DataControlClipboard &) = delete;

    void paste(std::string_view text, const std::function<void()> &pressPasteKey,
        std::chrono::milliseconds insertWait) override;

    int fileDescriptor() const;
    void processEvents();
    // Every request sent so far has been handled by the compositor.
    void roundtrip();

    // The clipboard's mime types and data, as a program reading it gets them; empty when the
    // clipboard is empty. For tests.
    struct Item
    {
        std::string mimeType;
        std::string data;
    };
    std::vector<Item> read();

    // The text mime types our text goes as.
    static const std::vector<std::string> &textMimeTypes();

    struct State;

private:
    std::unique_ptr<State> m_state;
};

} // namespace quorvel::portal
