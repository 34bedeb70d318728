// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/SwayBindings.h"

#include "platform/HotKeyRegistrar.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sstream>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <wordexp.h>
#include <xkbcommon/xkbcommon.h>

namespace quorvel::wayland {

namespace {

struct NamedKey
{
    KeyCode key;
    const char *name;
};

// Keysym names of the virtual keys outside the letter, digit, keypad-digit and F-key runs,
// US positions for the punctuation keys.
constexpr NamedKey kNamedKeys[] = {
    { 0x03, "Cancel" },
    { 0x08, "BackSpace" },
    { 0x09, "Tab" },
    { 0x0C, "Clear" },
    { 0x0D, "Return" },
    { 0x10, "Shift_L" },
    { 0x11, "Control_L" },
    { 0x12, "Alt_L" },
    { 0x13, "Pause" },
    { 0x14, "Caps_Lock" },
    { 0x1B, "Escape" },
    { 0x20, "space" },
    { 0x21, "Prior" },
    { 0x22, "Next" },
    { 0x23, "End" },
    { 0x24, "Home" },
    { 0x25, "Left" },
    { 0x26, "Up" },
    { 0x27, "Right" },
    { 0x28, "Down" },
    { 0x29, "Select" },
    { 0x2A, "Print" },
    { 0x2B, "Execute" },
    { 0x2C, "Print" },
    { 0x2D, "Insert" },
    { 0x2E, "Delete" },
    { 0x2F, "Help" },
    { 0x5B, "Super_L" },
    { 0x5C, "Super_R" },
    { 0x5D, "Menu" },
    { 0x6A, "KP_Multiply" },
    { 0x6B, "KP_Add" },
    { 0x6C, "KP_Separator" },
    { 0x6D, "KP_Subtract" },
    { 0x6E, "KP_Decimal" },
    { 0x6F, "KP_Divide" },
    { 0x90, "Num_Lock" },
    { 0x91, "Scroll_Lock" },
    { 0xA0, "Shift_L" },
    { 0xA1, "Shift_R" },
    { 0xA2, "Control_L" },
    { 0xA3, "Control_R" },
    { 0xA4, "Alt_L" },
    { 0xA5, "Alt_R" },
    { 0xBA, "semicolon" },
    { 0xBB, "equal" },
    { 0xBC, "comma" },
    { 0xBD, "minus" },
    { 0xBE, "period" },
    { 0xBF, "slash" },
    { 0xC0, "grave" },
    { 0xDB, "bracketleft" },
    { 0xDC, "backslash" },
    { 0xDD, "bracketright" },
    { 0xDE, "apostrophe" },
    { 0xE2, "less" },
};

std::string keyName(KeyCode key)
{
    if (key >= '0' && key <= '9')
        return std::string(1, static_cast<char>(key));
    if (key >= 'A' && key <= 'Z')
        return std::string(1, static_cast<char>(key - 'A' + 'a'));
    if (key >= 0x60 && key <= 0x69)
        return "KP_" + std::to_string(key - 0x60);
    if (key >= 0x70 && key <= 0x87)
        return "F" + std::to_string(key - 0x70 + 1);
    const auto *it = std::find_if(std::begin(kNamedKeys), std::end(kNamedKeys),
        [key](const NamedKey &k) { return k.key == key; });
    return it != std::end(kNamedKeys) ? it->name : "";
}

struct ModifierName
{
    const char *name;
    unsigned mask;
};

constexpr std::array<ModifierName, 10> kModifiers { {
    { "Shift", 1 },
    { "Lock", 2 },
    { "Control", 4 },
    { "Ctrl", 4 },
    { "Mod1", 8 },
    { "Alt", 8 },
    { "Mod2", 16 },
    { "Mod3", 32 },
    { "Mod4", 64 },
    { "Mod5", 128 },
} };

std::string_view trimmed(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// The words of a config line; quotes group words and are dropped.
std::vector<std::string> words(std::string_view line)
{
    std::vector<std::string> out;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (const char c : line) {
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                word += c;
        } else if (c == '"' || c == '\'') {
            quote = c;
            inWord = true;
        } else if (c == ' ' || c == '\t') {
            if (inWord)
                out.push_back(std::exchange(word, {}));
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        out.push_back(word);
    return out;
}

// Bounds on what one reading of a config takes, far above any real config.
constexpr std::size_t kMaxConfigFileBytes = 1 << 20;
constexpr std::size_t kMaxIncludedBytes = 2 << 20;
constexpr int kMaxIncludedFiles = 256;
constexpr std::size_t kMaxLineBytes = 64 << 10;

class ConfigReader
{
public:
    ConfigReader(const ConfigFileReader &read, const std::string &configFile)
        : m_read(read)
    {
        m_seen.insert(identity(configFile));
    }

    void parse(std::string_view text, const std::string &file, int depth)
    {
        std::string pending;
        std::istringstream lines { std::string(text) };
        for (std::string raw; std::getline(lines, raw);) {
            std::string_view line = trimmed(raw);
            if (!line.empty() && line.back() == '\\') {
                pending.append(line.substr(0, line.size() - 1));
                continue;
            }
            pending.append(line);
            handle(trimmed(pending), file, depth);
            pending.clear();
        }
        handle(trimmed(pending), file, depth);
    }

    std::vector<SwayCombo> combos;

private:
    enum class Block { Bindsym, Other };

    static std::string identity(const std::string &path)
    {
        std::error_code error;
        const auto canonical = std::filesystem::weakly_canonical(path, error);
        return error ? path : canonical.string();
    }

    // As sway substitutes: left to right, the longest name that matches, never inside a value
    // just put in; "$$" is a "$" and "\$" stays. A line that would grow past the bound keeps
    // the rest as it is.
    std::string substituted(std::string_view line) const
    {
        std::string out(line);
        for (std::size_t at = out.find('$'); at != std::string::npos; at = out.find('$', at)) {
            if (at > 0 && out[at - 1] == '\\' && (at < 2 || out[at - 2] != '\\')) {
                ++at;
                continue;
            }
            if (at + 1 < out.size() && out[at + 1] == '$') {
                out.erase(at, 1);
                ++at;
                continue;
            }
            const auto it = std::find_if(m_variables.begin(), m_variables.end(),
                [&](const auto &v) { return out.compare(at, v.first.size(), v.first) == 0; });
            if (it == m_variables.end()) {
                ++at;
                continue;
            }
            if (out.size() - it->first.size() + it->second.size() > kMaxLineBytes)
                break;
            out.replace(at, it->first.size(), it->second);
            at += it->second.size();
        }
        return out;
    }

    void handle(std::string_view line, const std::string &file, int depth)
    {
        if (line.empty() || line.front() == '#')
            return;
        if (line == "}") {
            if (!m_blocks.empty())
                m_blocks.pop_back();
            return;
        }
        auto w = words(line.substr(0, 4) == "set " ? line : substituted(line));
        if (w.empty())
            return;
        if (w.back() == "{") {
            m_blocks.push_back(w.front() == "bindsym" ? Block::Bindsym : Block::Other);
            return;
        }
        if (m_blocks.empty()) {
            if (w.front() == "set" && w.size() >= 3 && w[1].size() > 1 && w[1].front() == '$')
                setVariable(w[1], substituted(line.substr(line.find(w[1]) + w[1].size())));
            else if (w.front() == "bindsym")
                addBinding(w, 1);
            else if (w.front() == "include" && w.size() >= 2 && depth < 16)
                include(w[1], file, depth);
        } else if (m_blocks.size() == 1 && m_blocks.front() == Block::Bindsym) {
            addBinding(w, 0);
        }
    }

    void setVariable(const std::string &name, std::string_view value)
    {
        auto trimmedValue = std::string(trimmed(value));
        const auto it = std::find_if(
            m_variables.begin(), m_variables.end(), [&](const auto &v) { return v.first == name; });
        if (it != m_variables.end())
            it->second = trimmedValue;
        else
            m_variables.emplace_back(name, trimmedValue);
        // A longer name first, so that $mod2 is not read as $mod followed by 2.
        std::stable_sort(m_variables.begin(), m_variables.end(),
            [](const auto &a, const auto &b) { return a.first.size() > b.first.size(); });
    }

    void addBinding(const std::vector<std::string> &w, std::size_t at)
    {
        while (at < w.size() && w[at].rfind("--", 0) == 0)
            ++at;
        if (at < w.size()) {
            if (auto combo = parseSwayCombination(w[at]))
                combos.push_back(*combo);
        }
    }

    void include(const std::string &path, const std::string &file, int depth)
    {
        std::string pattern = path;
        const auto slash = file.rfind('/');
        if (pattern.front() != '/' && pattern.front() != '~' && pattern.front() != '$'
            && slash != std::string::npos)
            pattern = file.substr(0, slash + 1) + pattern;
        wordexp_t expanded {};
        if (wordexp(pattern.c_str(), &expanded, WRDE_NOCMD) != 0)
            return;
        std::vector<std::string> paths(expanded.we_wordv, expanded.we_wordv + expanded.we_wordc);
        wordfree(&expanded);
        for (const auto &p : paths) {
            if (m_files >= kMaxIncludedFiles || m_bytes >= kMaxIncludedBytes)
                return;
            if (!m_seen.insert(identity(p)).second)
                continue;
            ++m_files;
            if (auto text = m_read(p)) {
                m_bytes += text->size();
                if (m_bytes <= kMaxIncludedBytes)
                    parse(*text, p, depth + 1);
            }
        }
    }

    const ConfigFileReader &m_read;
    std::set<std::string> m_seen;
    int m_files = 0;
    std::size_t m_bytes = 0;
    std::vector<std::pair<std::string, std::string>> m_variables;
    std::vector<Block> m_blocks;
};

} // namespace

std::string swayCombination(unsigned modifiers, KeyCode key)
{
    std::string name = keyName(key);
    if (name.empty())
        return {};
    std::string combination;
    if (modifiers & hotkeymod::Control)
        combination += "Ctrl+";
    if (modifiers & hotkeymod::Alt)
        combination += "Alt+";
    if (modifiers & hotkeymod::Shift)
        combination += "Shift+";
    return combination + name;
}

std::optional<SwayCombo> parseSwayCombination(std::string_view text)
{
    SwayCombo combo;
    bool haveKey = false;
    while (!text.empty()) {
        const auto plus = text.find('+');
        const std::string part(text.substr(0, plus));
        text = plus == std::string_view::npos ? std::string_view() : text.substr(plus + 1);
        if (part.empty())
            return std::nullopt;
        const auto modifier = std::find_if(kModifiers.begin(), kModifiers.end(),
            [&](const ModifierName &m) { return strcasecmp(m.name, part.c_str()) == 0; });
        if (modifier != kModifiers.end()) {
            combo.modifiers |= modifier->mask;
            continue;
        }
        const xkb_keysym_t keysym = xkb_keysym_from_name(part.c_str(), XKB_KEYSYM_CASE_INSENSITIVE);
        if (keysym == XKB_KEY_NoSymbol || haveKey)
            return std::nullopt;
        combo.keysym = keysym;
        haveKey = true;
    }
    if (!haveKey)
        return std::nullopt;
    return combo;
}

std::vector<SwayCombo> configuredCombos(
    std::string_view config, const std::string &configFile, const ConfigFileReader &read)
{
    ConfigReader reader(read, configFile);
    reader.parse(config, configFile, 0);
    return std::move(reader.combos);
}

std::optional<std::string> readRegularFile(const std::string &path, std::size_t maxBytes)
{
    // Not blocking on a FIFO's open; whatever is not a regular file is left alone.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    struct stat status
    {
    };
    std::optional<std::string> text;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)
        && static_cast<std::uintmax_t>(status.st_size) <= maxBytes) {
        text.emplace();
        char chunk[65536];
        for (;;) {
            const ssize_t got = ::read(fd, chunk, sizeof chunk);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0 || text->size() + static_cast<std::size_t>(got) > maxBytes) {
                text.reset(); // unreadable, or grown past the bound meanwhile
                break;
            }
            if (got == 0)
                break;
            text->append(chunk, static_cast<std::size_t>(got));
        }
    }
    ::close(fd);
    return text;
}

std::optional<std::string> readConfigFile(const std::string &path)
{
    return readRegularFile(path, kMaxConfigFileBytes);
}

} // namespace quorvel::wayland
