// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::wayland {

// The i3-ipc message types we use; an event's type has the high bit set.
namespace swaymsg {
constexpr std::uint32_t RunCommand = 0, Subscribe = 2, GetVersion = 7, GetConfig = 9;
constexpr std::uint32_t Event = 0x80000000u, WorkspaceEvent = Event | 0, BindingEvent = Event | 5;
} // namespace swaymsg

struct SwayMessage
{
    std::uint32_t type = 0;
    std::string payload;
};

// "i3-ipc", the payload's length and the type, both in the host's byte order, then the payload.
std::string encodeSwayMessage(std::uint32_t type, std::string_view payload);

// Cuts a byte stream into messages. Throws Error on a stream that is not i3-ipc.
class SwayFrameReader
{
public:
    void feed(std::string_view bytes);
    std::optional<SwayMessage> next();

private:
    std::string m_buffer;
    std::size_t m_taken = 0; // the bytes at the front already handed out
};

struct SwayCommandResult
{
    bool success = false;
    std::string error;
};

struct SwayVersion
{
    std::string humanReadable; // "1.7"
    std::string configFile; // the config file sway loaded, when it says
};

// The replies and events we read. Each throws Error on text that is not the JSON sway sends.
std::vector<SwayCommandResult> parseCommandResults(std::string_view json);
SwayVersion parseVersion(std::string_view json);
std::string parseConfig(std::string_view json);
// The command of a binding event that ran a binding; nothing for other changes.
std::optional<std::string> parseBindingCommand(std::string_view json);
// The change of a workspace event ("reload" after sway reread its config).
std::string parseWorkspaceChange(std::string_view json);

// A connection to sway's IPC socket. Requests block until their reply (with a deadline);
// events of a subscription are read as they come, without blocking.
class SwayIpc
{
public:
    explicit SwayIpc(int fd); // adopts a connected socket
    ~SwayIpc();
    SwayIpc(const SwayIpc &) = delete;
    SwayIpc &operator=(const SwayIpc &) = delete;

    // Throws Error when nothing answers at path.
    static std::unique_ptr<SwayIpc> connect(const std::string &path);
    // SWAYSOCK, or empty when it is not set.
    static std::string socketPath();

    int fileDescriptor() const { return m_fd; }

    // Events that arrive before the reply are kept for readEvents.
    SwayMessage request(std::uint32_t type, std::string_view payload = {});
    std::vector<SwayCommandResult> runCommand(std::string_view command);
    SwayVersion version();
    std::string config();
    void subscribe(std::string_view eventsJson);

    // The events that have arrived, without waiting, as many as one read takes: more may wait,
    // and the descriptor stays readable then. Throws Error once sway has gone and every event
    // before is read.
    std::vector<SwayMessage> readEvents();

    // A descriptor whose readability breaks off every wait for a reply (an Error): the end
    // signals' pipe, so that a slow or hostile peer cannot keep the process from ending. -1
    // for none.
    static void setInterruption(int fd);
    // Whether that descriptor is readable now.
    static bool interrupted();

private:
    bool receive(int timeoutMs);

    int m_fd = -1;
    bool m_closed = false;
    SwayFrameReader m_reader;
    std::vector<SwayMessage> m_events;
};

} // namespace quorvel::wayland
