// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording/JournalFile.h"

#include "catalogue/MacroFiles.h"
#include "common/Error.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

namespace {

constexpr std::string_view kMagic = "QUORVEL-JOURNAL";
constexpr int kVersion = 1;

const char *opName(JournalEventType type)
{
    switch (type) {
    case JournalEventType::KeyPress:
        return "K+";
    case JournalEventType::KeyRelease:
        return "K-";
    case JournalEventType::ButtonPress:
        return "B+";
    case JournalEventType::ButtonRelease:
        return "B-";
    case JournalEventType::Motion:
        return "M";
    }
    return "?";
}

std::vector<std::string_view> fields(std::string_view line)
{
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            out.push_back(line.substr(start, i - start));
    }
    return out;
}

template <typename T> bool parseDecimal(std::string_view s, T &out, long long lo, long long hi)
{
    long long value = 0;
    if (s.empty() || s.size() > 12)
        return false;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, 10);
    if (ec != std::errc() || end != s.data() + s.size() || value < lo || value > hi)
        return false;
    out = static_cast<T>(value);
    return true;
}

bool parseKeysym(std::string_view s, std::uint32_t &out)
{
    if (s.size() < 3 || s.size() > 10 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X'))
        return false;
    const auto [end, ec] = std::from_chars(s.data() + 2, s.data() + s.size(), out, 16);
    return ec == std::errc() && end == s.data() + s.size();
}

bool parseEvent(const std::vector<std::string_view> &f, JournalEvent &event)
{
    if (f.size() < 2 || !parseDecimal(f[0], event.delayMs, 0, kMaxJournalDelayMs))
        return false;
    const std::string_view op = f[1];
    if (op == "K+" || op == "K-") {
        event.type = op == "K+" ? JournalEventType::KeyPress : JournalEventType::KeyRelease;
        return f.size() == 4 && parseDecimal(f[2], event.code, 8, 255)
            && parseKeysym(f[3], event.keysym);
    }
    if (op == "B+" || op == "B-") {
        event.type = op == "B+" ? JournalEventType::ButtonPress : JournalEventType::ButtonRelease;
        return f.size() == 5 && parseDecimal(f[2], event.code, 1, 255)
            && parseDecimal(f[3], event.x, -32768, 32767)
            && parseDecimal(f[4], event.y, -32768, 32767);
    }
    if (op == "M") {
        event.type = JournalEventType::Motion;
        return f.size() == 4 && parseDecimal(f[2], event.x, -32768, 32767)
            && parseDecimal(f[3], event.y, -32768, 32767);
    }
    return false;
}

JournalParseResult failure(std::size_t lineNumber, const std::string &what)
{
    JournalParseResult result;
    result.error = "line " + std::to_string(lineNumber) + ": " + what;
    return result;
}

std::string systemError(const std::string &path, int error)
{
    return "Cannot write the recording " + path + ": " + std::strerror(error);
}

} // namespace

std::string formatJournal(const JournalRecording &recording)
{
    std::string out;
    out.reserve(32 + recording.events.size() * 20);
    out += kMagic;
    out += "\nversion " + std::to_string(kVersion) + "\nkeys-only ";
    out += recording.keysOnly ? "1\n" : "0\n";
    char line[96];
    for (const JournalEvent &e : recording.events) {
        int n = 0;
        if (e.isKey())
            n = std::snprintf(line, sizeof line, "%u %s %u 0x%x\n", e.delayMs, opName(e.type),
                unsigned(e.code), unsigned(e.keysym));
        else if (e.isButton())
            n = std::snprintf(line, sizeof line, "%u %s %u %d %d\n", e.delayMs, opName(e.type),
                unsigned(e.code), int(e.x), int(e.y));
        else
            n = std::snprintf(line, sizeof line, "%u M %d %d\n", e.delayMs, int(e.x), int(e.y));
        out.append(line, std::size_t(n));
    }
    out += "end " + std::to_string(recording.events.size()) + "\n";
    return out;
}

JournalParseResult parseJournal(std::string_view text)
{
    if (text.size() > kMaxJournalFileBytes)
        return failure(0, "file too large");
    JournalRecording recording;
    std::size_t pos = 0;
    std::size_t lineNumber = 0;
    bool ended = false;
    while (pos < text.size()) {
        const std::size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos)
            return failure(lineNumber + 1, "line not ended (file truncated)");
        std::string_view line = text.substr(pos, nl - pos);
        pos = nl + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (ended)
            return failure(lineNumber, "text after the end line");
        if (line.find('\0') != std::string_view::npos)
            return failure(lineNumber, "binary data");
        if (lineNumber == 1) {
            if (line != kMagic)
                return failure(1, "not a recording (no QUORVEL-JOURNAL line)");
            continue;
        }
        const auto f = fields(line);
        if (lineNumber == 2) {
            int version = 0;
            if (f.size() != 2 || f[0] != "version" || !parseDecimal(f[1], version, 0, 1 << 30))
                return failure(2, "no version line");
            if (version != kVersion)
                return failure(2, "unsupported version " + std::string(f[1]));
            continue;
        }
        if (lineNumber == 3) {
            if (f.size() != 2 || f[0] != "keys-only" || (f[1] != "0" && f[1] != "1"))
                return failure(3, "no keys-only line");
            recording.keysOnly = f[1] == "1";
            continue;
        }
        if (f.size() == 2 && f[0] == "end") {
            std::size_t count = 0;
            if (!parseDecimal(f[1], count, 0, 1LL << 40) || count != recording.events.size())
                return failure(lineNumber, "event count does not match");
            ended = true;
            continue;
        }
        JournalEvent event;
        if (!parseEvent(f, event))
            return failure(lineNumber, "malformed event");
        recording.events.push_back(event);
    }
    if (lineNumber < 3)
        return failure(lineNumber + 1, "header missing (file truncated)");
    if (!ended)
        return failure(lineNumber + 1, "no end line (file truncated)");
    JournalParseResult result;
    result.recording = std::move(recording);
    return result;
}

JournalParseResult loadJournal(const std::string &path)
{
    JournalParseResult result;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        result.error = "cannot open " + path + ": " + std::strerror(errno);
        return result;
    }
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        result.error = path + " is not a regular file";
        return result;
    }
    if (std::size_t(st.st_size) > kMaxJournalFileBytes) {
        ::close(fd);
        result.error = path + " is too large";
        return result;
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            result.error = "cannot read " + path + ": " + std::strerror(errno);
            ::close(fd);
            return result;
        }
        if (n == 0)
            break;
        text.append(buffer, std::size_t(n));
        if (text.size() > kMaxJournalFileBytes) {
            ::close(fd);
            result.error = path + " is too large";
            return result;
        }
    }
    ::close(fd);
    result = parseJournal(text);
    if (!result.recording)
        result.error = path + ": " + result.error;
    return result;
}

void saveJournal(const std::string &path, const JournalRecording &recording)
{
    if (path.empty())
        throw Error("No file name for the recording");
    if (const int error = writeDataFile(path, formatJournal(recording)))
        throw Error(systemError(path, error));
}

void appendReleases(const std::bitset<256> &keysDown, const std::array<std::uint32_t, 256> &keysyms,
    const std::bitset<256> &buttonsDown, std::int16_t x, std::int16_t y,
    std::vector<JournalEvent> &out)
{
    for (std::size_t code = 0; code < 256; ++code) {
        if (keysDown[code]) {
            JournalEvent e;
            e.type = JournalEventType::KeyRelease;
            e.code = std::uint8_t(code);
            e.keysym = keysyms[code];
            out.push_back(e);
        }
    }
    for (std::size_t button = 0; button < 256; ++button) {
        if (buttonsDown[button]) {
            JournalEvent e;
            e.type = JournalEventType::ButtonRelease;
            e.code = std::uint8_t(button);
            e.x = x;
            e.y = y;
            out.push_back(e);
        }
    }
}

} // namespace quorvel
