// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/portal/Clipboard.h"

#include "common/Error.h"
#include "common/Text.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <exception>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>
#include <wayland-client.h>

namespace quorvel::portal {

namespace {

using Clock = std::chrono::steady_clock;
// How long the clipboard keeps our text after the last time a program asked for it: twice as
// long as the program took to ask, within these bounds; the least is shorter for a program
// that inserts the text as it reads it (a terminal), as it needs the clipboard only to ask.
constexpr auto kLeastSettle = std::chrono::milliseconds(4);
constexpr auto kLeastSettleInserting = std::chrono::milliseconds(1);
constexpr auto kMostSettle = std::chrono::milliseconds(250);

// Writes all of data to a pipe that a program reads, and closes it once the reader has taken
// it all, so that the program is done with it soon after; gives up when the reader takes
// nothing for a while or has gone. A reader that closed early raises SIGPIPE, which must not
// end us: it is held back and taken again here.
void writeAndClose(int fd, std::string_view data)
{
    sigset_t pipe;
    sigset_t old;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, &old);
    while (!data.empty()) {
        pollfd p { fd, POLLOUT, 0 };
        if (::poll(&p, 1, 1000) <= 0)
            break;
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        data.remove_prefix(std::size_t(n));
    }
    for (int waited = 0; waited < 1000; ++waited) {
        int unread = 0;
        if (::ioctl(fd, FIONREAD, &unread) != 0 || unread == 0)
            break;
        ::usleep(1000);
    }
    ::close(fd);
    const timespec none {};
    while (sigtimedwait(&pipe, nullptr, &none) == SIGPIPE) { }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

struct Source
{
    zwlr_data_control_source_v1 *source = nullptr;
    std::vector<DataControlClipboard::Item> items;
    int sends = 0; // how many times a program asked for the data
    bool sent = false;
    bool cancelled = false;
};

} // namespace

struct DataControlClipboard::State
{
    wl_display *display = nullptr;
    wl_registry *registry = nullptr;
    wl_seat *seat = nullptr;
    zwlr_data_control_manager_v1 *manager = nullptr;
    zwlr_data_control_device_v1 *device = nullptr;
    std::chrono::milliseconds readTimeout {};
    bool finished = false;

    // Offers being introduced, with their mime types, until the selection event names one.
    std::vector<std::pair<zwlr_data_control_offer_v1 *, std::vector<std::string>>> offers;
    zwlr_data_control_offer_v1 *selection = nullptr;
    std::vector<std::string> selectionTypes;

    std::unique_ptr<Source> text; // our text, while it is pasted
    std::unique_ptr<Source> restored; // the user's clipboard, held by us since

    ~State()
    {
        dropSource(text);
        dropSource(restored);
        forgetSelection();
        for (auto &[offer, types] : offers)
            zwlr_data_control_offer_v1_destroy(offer);
        if (device)
            zwlr_data_control_device_v1_destroy(device);
        if (manager)
            zwlr_data_control_manager_v1_destroy(manager);
        if (seat)
            wl_seat_destroy(seat);
        if (registry)
            wl_registry_destroy(registry);
        if (display)
            wl_display_disconnect(display);
    }

    void forgetSelection()
    {
        if (selection)
            zwlr_data_control_offer_v1_destroy(selection);
        selection = nullptr;
        selectionTypes.clear();
    }

    static void dropSource(std::unique_ptr<Source> &s)
    {
        if (s)
            zwlr_data_control_source_v1_destroy(s->source);
        s.reset();
    }

    [[noreturn]] void fail() const
    {
        throw Error(std::string("The connection to the compositor failed: ")
            + std::strerror(wl_display_get_error(display)));
    }

    void check() const
    {
        if (wl_display_get_error(display))
            fail();
    }

    void roundtrip() const
    {
        if (wl_display_roundtrip(display) < 0)
            fail();
    }

    // Dispatches the compositor's events until done() holds or the time is up; extra, when
    // given, is watched too and onExtra called when it is readable. False on the timeout.
    bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout,
        int extra = -1, const std::function<void()> &onExtra = {}) const
    {
        const auto deadline = Clock::now() + timeout;
        for (;;) {
            if (wl_display_dispatch_pending(display) < 0)
                fail();
            if (done())
                return true;
            const auto left = deadline - Clock::now();
            if (left <= Clock::duration::zero())
                return false;
            while (wl_display_prepare_read(display) != 0) {
                if (wl_display_dispatch_pending(display) < 0)
                    fail();
            }
            wl_display_flush(display);
            pollfd p[2] = { { wl_display_get_fd(display), POLLIN, 0 }, { extra, POLLIN, 0 } };
            // Not rounded to milliseconds: a paste's settle is a millisecond or two.
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            const timespec wait { time_t(ns / 1'000'000'000), long(ns % 1'000'000'000) };
            const int ready = ::ppoll(p, extra >= 0 ? 2 : 1, &wait, nullptr);
            if (ready > 0 && (p[0].revents & POLLIN)) {
                if (wl_display_read_events(display) < 0)
                    fail();
            } else {
                wl_display_cancel_read(display);
            }
            if (ready > 0 && extra >= 0 && p[1].revents)
                onExtra();
        }
    }

    std::unique_ptr<Source> makeSource(std::vector<Item> items)
    {
        auto s = std::make_unique<Source>();
        s->source = zwlr_data_control_manager_v1_create_data_source(manager);
        s->items = std::move(items);
        zwlr_data_control_source_v1_add_listener(s->source, &sourceListener, s.get());
        for (const Item &item : s->items)
            zwlr_data_control_source_v1_offer(s->source, item.mimeType.c_str());
        return s;
    }

    // One mime type of the selection; none when its owner does not give it in time.
    std::optional<std::string> receive(const std::string &mimeType) const
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return std::nullopt;
        zwlr_data_control_offer_v1_receive(selection, mimeType.c_str(), fds[1]);
        // libwayland keeps its own copy of the descriptor to send.
        ::close(fds[1]);
        std::string data;
        bool ended = false;
        char buffer[65536];
        const auto readSome = [&] {
            const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
            if (n > 0)
                data.append(buffer, std::size_t(n));
            else if (n == 0 || errno != EINTR)
                ended = true;
        };
        const bool done = waitUntil([&] { return ended; }, readTimeout, fds[0], readSome);
        ::close(fds[0]);
        if (!done)
            return std::nullopt;
        return data;
    }

    static void onData(void *data, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *offer)
    {
        auto *self = static_cast<State *>(data);
        self->offers.emplace_back(offer, std::vector<std::string> {});
        zwlr_data_control_offer_v1_add_listener(offer, &offerListener, self);
    }
    static void onSelection(
        void *data, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *offer)
    {
        auto *self = static_cast<State *>(data);
        self->forgetSelection();
        self->selection = offer;
        self->selectionTypes = self->takeOffer(offer);
    }
    static void onPrimary(
        void *data, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *offer)
    {
        auto *self = static_cast<State *>(data);
        self->takeOffer(offer);
        if (offer)
            zwlr_data_control_offer_v1_destroy(offer);
    }
    static void onFinished(void *data, zwlr_data_control_device_v1 *)
    {
        static_cast<State *>(data)->finished = true;
    }
    std::vector<std::string> takeOffer(zwlr_data_control_offer_v1 *offer)
    {
        std::vector<std::string> types;
        auto it = std::find_if(
            offers.begin(), offers.end(), [&](const auto &o) { return o.first == offer; });
        if (it != offers.end()) {
            types = std::move(it->second);
            offers.erase(it);
        }
        return types;
    }
    static void onOffer(void *data, zwlr_data_control_offer_v1 *offer, const char *mimeType)
    {
        auto *self = static_cast<State *>(data);
        for (auto &[o, types] : self->offers) {
            if (o == offer)
                types.emplace_back(mimeType);
        }
    }
    static void onSend(void *data, zwlr_data_control_source_v1 *, const char *mimeType, int fd)
    {
        auto *s = static_cast<Source *>(data);
        const auto item = std::find_if(s->items.begin(), s->items.end(),
            [&](const Item &i) { return i.mimeType == mimeType; });
        writeAndClose(fd, item == s->items.end() ? std::string_view() : item->data);
        s->sent = true;
        ++s->sends;
    }
    static void onCancelled(void *data, zwlr_data_control_source_v1 *)
    {
        static_cast<Source *>(data)->cancelled = true;
    }

    static void onGlobal(void *data, wl_registry *registry, std::uint32_t name,
        const char *interface, std::uint32_t version)
    {
        auto *self = static_cast<State *>(data);
        const std::string_view i(interface);
        if (i == wl_seat_interface.name && !self->seat) {
            self->seat =
                static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        } else if (i == zwlr_data_control_manager_v1_interface.name && !self->manager) {
            self->manager = static_cast<zwlr_data_control_manager_v1 *>(wl_registry_bind(
                registry, name, &zwlr_data_control_manager_v1_interface, std::min(version, 2U)));
        }
    }
    static void onGlobalRemove(void *, wl_registry *, std::uint32_t) { }

    static constexpr wl_registry_listener registryListener { onGlobal, onGlobalRemove };
    static constexpr zwlr_data_control_device_v1_listener deviceListener { onData, onSelection,
        onFinished, onPrimary };
    static constexpr zwlr_data_control_offer_v1_listener offerListener { onOffer };
    static constexpr zwlr_data_control_source_v1_listener sourceListener { onSend, onCancelled };
};

DataControlClipboard::DataControlClipboard(
    const std::string &displayName, std::chrono::milliseconds readTimeout)
    : m_state(std::make_unique<State>())
{
    State &s = *m_state;
    s.readTimeout = readTimeout;
    s.display = wl_display_connect(displayName.empty() ? nullptr : displayName.c_str());
    if (!s.display)
        throw Error("Cannot reach the Wayland compositor for the clipboard.");
    s.registry = wl_display_get_registry(s.display);
    wl_registry_add_listener(s.registry, &State::registryListener, &s);
    s.roundtrip();
    if (!s.manager || !s.seat)
        throw Error("The compositor offers no clipboard access (zwlr_data_control_manager_v1): "
                    "characters the keyboard layout lacks cannot be typed.");
    s.device = zwlr_data_control_manager_v1_get_data_device(s.manager, s.seat);
    zwlr_data_control_device_v1_add_listener(s.device, &State::deviceListener, &s);
    // The first selection event comes on binding.
    s.roundtrip();
}

DataControlClipboard::~DataControlClipboard() = default;

const std::vector<std::string> &DataControlClipboard::textMimeTypes()
{
    static const std::vector<std::string> types { "text/plain;charset=utf-8", "UTF8_STRING",
        "text/plain", "TEXT", "STRING" };
    return types;
}

int DataControlClipboard::fileDescriptor() const
{
    return wl_display_get_fd(m_state->display);
}

void DataControlClipboard::processEvents()
{
    State &s = *m_state;
    while (wl_display_prepare_read(s.display) != 0) {
        if (wl_display_dispatch_pending(s.display) < 0)
            s.fail();
    }
    wl_display_flush(s.display);
    pollfd p { wl_display_get_fd(s.display), POLLIN, 0 };
    if (::poll(&p, 1, 0) > 0) {
        if (wl_display_read_events(s.display) < 0)
            s.fail();
    } else {
        wl_display_cancel_read(s.display);
    }
    if (wl_display_dispatch_pending(s.display) < 0)
        s.fail();
    if (s.restored && s.restored->cancelled)
        State::dropSource(s.restored);
}

void DataControlClipboard::roundtrip()
{
    m_state->roundtrip();
}

std::vector<DataControlClipboard::Item> DataControlClipboard::read()
{
    State &s = *m_state;
    processEvents();
    // While we hold the user's clipboard, it is what we keep: asking ourselves would only wait.
    if (s.restored)
        return s.restored->items;
    std::vector<Item> items;
    if (!s.selection)
        return items;
    const std::vector<std::string> types = s.selectionTypes;
    for (const std::string &type : types) {
        if (!s.selection)
            break;
        if (auto data = s.receive(type))
            items.push_back({ type, std::move(*data) });
    }
    return items;
}

void DataControlClipboard::paste(std::string_view text, const std::function<void()> &pressPasteKey,
    std::chrono::milliseconds insertWait)
{
    State &s = *m_state;
    if (s.finished)
        throw Error("The compositor ended Quorvel's clipboard access.");
    std::vector<Item> saved = read();
    std::vector<Item> ours;
    for (const std::string &type : textMimeTypes())
        ours.push_back({ type, std::string(text) });
    State::dropSource(s.text);
    s.text = s.makeSource(std::move(ours));
    zwlr_data_control_device_v1_set_selection(s.device, s.text->source);
    // The program with the focus is told of the new clipboard before the paste key comes.
    s.roundtrip();
    bool read = false;
    Clock::time_point readAt;
    std::exception_ptr failure;
    try {
        pressPasteKey();
        const auto pressed = Clock::now();
        read = s.waitUntil([&] { return s.text->sent || s.text->cancelled; }, s.readTimeout)
            && s.text->sent;
        // A program may take the text after it has read it all (GTK does, in a later turn of
        // its loop, and drops it if the clipboard has changed meanwhile), and may ask again
        // for another type: the clipboard stays until it has been quiet for a while, the
        // longer the slower the program was to ask.
        const auto settle = std::clamp(
            std::chrono::duration_cast<std::chrono::milliseconds>(2 * (Clock::now() - pressed)),
            insertWait.count() == 0 ? kLeastSettleInserting : kLeastSettle, kMostSettle);
        for (int sends = 0; read && sends != s.text->sends;) {
            sends = s.text->sends;
            s.waitUntil([&] { return s.text->sends != sends || s.text->cancelled; }, settle);
        }
        readAt = Clock::now();
    } catch (...) {
        failure = std::current_exception();
    }
    // Back to the user's clipboard, held by us from now on.
    State::dropSource(s.restored);
    if (saved.empty()) {
        zwlr_data_control_device_v1_set_selection(s.device, nullptr);
    } else {
        s.restored = s.makeSource(std::move(saved));
        zwlr_data_control_device_v1_set_selection(s.device, s.restored->source);
    }
    State::dropSource(s.text);
    s.roundtrip();
    if (failure)
        std::rethrow_exception(failure);
    if (!read) {
        const std::size_t cut = text::wholeUtf8Length(text.substr(0, 40));
        throw Error("The program with the focus did not take the pasted text \""
            + std::string(text.substr(0, cut)) + (cut < text.size() ? "...\"." : "\"."));
    }
    std::this_thread::sleep_until(readAt + insertWait);
}

} // namespace quorvel::portal
