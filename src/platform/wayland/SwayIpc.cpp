// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/SwayIpc.h"

#include "common/Error.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace quorvel::wayland {

namespace {

constexpr std::string_view kMagic = "i3-ipc";
constexpr std::size_t kHeaderSize = kMagic.size() + 2 * sizeof(std::uint32_t);
// Above any reply sway sends (it drops a client whose reply passes about 4 MB); a larger
// length means the stream is out of step, or a peer that is not sway.
constexpr std::uint32_t kMaxPayload = 8u << 20;
constexpr int kReplyTimeoutMs = 5000;
// What one readEvents takes from the socket, so that a flood of events cannot hold the
// thread; the rest waits in the socket, which stays readable.
constexpr std::size_t kChunkBytes = 64 << 10;
constexpr std::size_t kMaxChunksPerWake = 4;
// Events kept while a request waits for its reply; beyond, a flood is dropped.
constexpr std::size_t kMaxKeptEvents = 4096;
// sway's replies nest a few levels.
constexpr int kMaxJsonDepth = 64;

int g_interruption = -1;

// Whether text nests arrays and objects deeper than kMaxJsonDepth, looked at before parsing.
bool nestedTooDeep(std::string_view text)
{
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxJsonDepth)
                return true;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

nlohmann::json parseJson(std::string_view text)
{
    if (nestedTooDeep(text))
        throw Error("sway sent a reply nested too deeply");
    auto json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded())
        throw Error("sway sent a reply that is not JSON");
    return json;
}

std::string stringField(const nlohmann::json &object, const char *name)
{
    const auto it = object.find(name);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

} // namespace

std::string encodeSwayMessage(std::uint32_t type, std::string_view payload)
{
    const auto length = static_cast<std::uint32_t>(payload.size());
    std::string frame(kMagic);
    frame.append(reinterpret_cast<const char *>(&length), sizeof length);
    frame.append(reinterpret_cast<const char *>(&type), sizeof type);
    frame.append(payload);
    return frame;
}

void SwayFrameReader::feed(std::string_view bytes)
{
    // What was taken goes only now: erasing each message as it is taken would make a
    // buffer of many small ones quadratic.
    m_buffer.erase(0, m_taken);
    m_taken = 0;
    m_buffer.append(bytes);
}

std::optional<SwayMessage> SwayFrameReader::next()
{
    const std::string_view rest = std::string_view(m_buffer).substr(m_taken);
    const std::size_t start = std::min(rest.size(), kMagic.size());
    if (rest.substr(0, start) != kMagic.substr(0, start))
        throw Error("sway's IPC socket sent something that is not an i3-ipc message");
    if (rest.size() < kHeaderSize)
        return std::nullopt;
    std::uint32_t length = 0;
    SwayMessage message;
    std::memcpy(&length, rest.data() + kMagic.size(), sizeof length);
    std::memcpy(&message.type, rest.data() + kMagic.size() + sizeof length, sizeof message.type);
    if (length > kMaxPayload)
        throw Error("sway's IPC socket sent an oversized message");
    if (rest.size() < kHeaderSize + length)
        return std::nullopt;
    message.payload = rest.substr(kHeaderSize, length);
    m_taken += kHeaderSize + length;
    return message;
}

std::vector<SwayCommandResult> parseCommandResults(std::string_view json)
{
    const auto results = parseJson(json);
    if (!results.is_array())
        throw Error("sway's reply to a command is not a list");
    std::vector<SwayCommandResult> out;
    for (const auto &r : results) {
        if (!r.is_object())
            throw Error("sway's reply to a command is not a list of results");
        const auto success = r.find("success");
        out.push_back({ success != r.end() && success->is_boolean() && success->get<bool>(),
            stringField(r, "error") });
    }
    return out;
}

SwayVersion parseVersion(std::string_view json)
{
    const auto version = parseJson(json);
    if (!version.is_object())
        throw Error("sway's version reply is not an object");
    return { stringField(version, "human_readable"),
        stringField(version, "loaded_config_file_name") };
}

std::string parseConfig(std::string_view json)
{
    const auto config = parseJson(json);
    if (!config.is_object())
        throw Error("sway's config reply is not an object");
    return stringField(config, "config");
}

std::optional<std::string> parseBindingCommand(std::string_view json)
{
    const auto event = parseJson(json);
    if (!event.is_object() || stringField(event, "change") != "run")
        return std::nullopt;
    const auto binding = event.find("binding");
    if (binding == event.end() || !binding->is_object())
        return std::nullopt;
    return stringField(*binding, "command");
}

std::string parseWorkspaceChange(std::string_view json)
{
    const auto event = parseJson(json);
    return event.is_object() ? stringField(event, "change") : std::string();
}

SwayIpc::SwayIpc(int fd)
    : m_fd(fd)
{
}

SwayIpc::~SwayIpc()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::string SwayIpc::socketPath()
{
    const char *path = std::getenv("SWAYSOCK");
    return path ? path : "";
}

std::unique_ptr<SwayIpc> SwayIpc::connect(const std::string &path)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        throw Error("no sway IPC socket (SWAYSOCK)");
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw Error(std::string("cannot make a socket: ") + std::strerror(errno));
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        const int error = errno;
        ::close(fd);
        throw Error("cannot connect to sway at " + path + ": " + std::strerror(error));
    }
    return std::make_unique<SwayIpc>(fd);
}

void SwayIpc::setInterruption(int fd)
{
    g_interruption = fd;
}

bool SwayIpc::interrupted()
{
    pollfd p { g_interruption, POLLIN, 0 };
    return g_interruption >= 0 && ::poll(&p, 1, 0) > 0;
}

bool SwayIpc::receive(int timeoutMs)
{
    if (m_closed)
        return false;
    // Only a wait is broken off: what has arrived is still read.
    const bool interruptible = timeoutMs != 0 && g_interruption >= 0;
    pollfd p[2] { { m_fd, POLLIN, 0 }, { g_interruption, POLLIN, 0 } };
    int ready = 0;
    do
        ready = ::poll(p, interruptible ? 2 : 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    if (interruptible && p[1].revents != 0)
        throw Error("interrupted while waiting for sway");
    if (ready <= 0)
        return false;
    char chunk[kChunkBytes];
    ssize_t got = 0;
    do
        got = ::recv(m_fd, chunk, sizeof chunk, MSG_DONTWAIT);
    while (got < 0 && errno == EINTR);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return false;
    if (got <= 0) {
        m_closed = true;
        return false;
    }
    m_reader.feed(std::string_view(chunk, static_cast<std::size_t>(got)));
    return true;
}

SwayMessage SwayIpc::request(std::uint32_t type, std::string_view payload)
{
    const std::string frame = encodeSwayMessage(type, payload);
    for (std::size_t sent = 0; sent < frame.size();) {
        const ssize_t n = ::send(m_fd, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw Error(std::string("cannot write to sway's IPC socket: ") + std::strerror(errno));
        sent += static_cast<std::size_t>(n);
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kReplyTimeoutMs);
    for (;;) {
        while (auto message = m_reader.next()) {
            if (message->type & swaymsg::Event) {
                if (m_events.size() < kMaxKeptEvents)
                    m_events.push_back(std::move(*message));
            } else if (message->type == type) {
                return std::move(*message);
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (m_closed)
            throw Error("sway closed its IPC connection");
        if (left.count() <= 0)
            throw Error("sway did not answer on its IPC socket");
        receive(static_cast<int>(left.count()));
    }
}

std::vector<SwayCommandResult> SwayIpc::runCommand(std::string_view command)
{
    return parseCommandResults(request(swaymsg::RunCommand, command).payload);
}

SwayVersion SwayIpc::version()
{
    return parseVersion(request(swaymsg::GetVersion).payload);
}

std::string SwayIpc::config()
{
    return parseConfig(request(swaymsg::GetConfig).payload);
}

void SwayIpc::subscribe(std::string_view eventsJson)
{
    const auto reply = parseJson(request(swaymsg::Subscribe, eventsJson).payload);
    const auto success = reply.is_object() ? reply.find("success") : reply.end();
    if (success == reply.end() || !success->is_boolean() || !success->get<bool>())
        throw Error("sway refused the subscription to its events");
}

std::vector<SwayMessage> SwayIpc::readEvents()
{
    for (std::size_t chunks = 0; chunks < kMaxChunksPerWake && receive(0); ++chunks) { }
    while (auto message = m_reader.next()) {
        if (message->type & swaymsg::Event)
            m_events.push_back(std::move(*message));
    }
    if (m_events.empty() && m_closed)
        throw Error("sway closed its IPC connection");
    return std::exchange(m_events, {});
}

} // namespace quorvel::wayland
