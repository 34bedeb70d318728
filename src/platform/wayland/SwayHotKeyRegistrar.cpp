// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/SwayHotKeyRegistrar.h"

#include "common/Error.h"
#include "platform/wayland/SwayIpc.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel::wayland {

namespace {

constexpr std::string_view kStatePrefix = "sway-hotkeys.";
constexpr std::string_view kTemporarySuffix = ".new";
// A state file holds a socket path and a few combinations; anything larger is not ours.
constexpr std::size_t kMaxStateFileBytes = 64 << 10;
std::atomic<int> g_instances { 0 };

struct StateFile
{
    std::string path;
    pid_t pid = 0;
    bool temporary = false; // written but not yet renamed into place
    bool readable = false;
    std::string socketPath;
    std::vector<std::string> combinations;
};

bool alive(pid_t pid)
{
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

bool allDigits(std::string_view s)
{
    return !s.empty()
        && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "PID.N" or "PID.N.new" after the prefix; the pid, or 0 for any other name.
pid_t stateFilePid(std::string_view name, bool &temporary)
{
    if (name.substr(0, kStatePrefix.size()) != kStatePrefix)
        return 0;
    name.remove_prefix(kStatePrefix.size());
    temporary = name.size() > kTemporarySuffix.size()
        && name.substr(name.size() - kTemporarySuffix.size()) == kTemporarySuffix;
    if (temporary)
        name.remove_suffix(kTemporarySuffix.size());
    const auto dot = name.find('.');
    if (dot == std::string_view::npos || !allDigits(name.substr(0, dot))
        || !allDigits(name.substr(dot + 1)) || dot > 9)
        return 0;
    return static_cast<pid_t>(std::atol(std::string(name.substr(0, dot)).c_str()));
}

// The binding files of every Quorvel that used this folder, our own left out. They are read
// as data: only regular files, each bounded.
std::vector<StateFile> stateFiles(const std::string &folder)
{
    std::vector<StateFile> files;
    std::error_code error;
    if (folder.empty())
        return files;
    for (const auto &entry : std::filesystem::directory_iterator(folder, error)) {
        StateFile f;
        f.path = entry.path().string();
        f.pid = stateFilePid(entry.path().filename().string(), f.temporary);
        if (f.pid <= 0 || f.pid == ::getpid())
            continue;
        if (const auto text = readRegularFile(f.path, kMaxStateFileBytes)) {
            f.readable = true;
            std::istringstream in(*text);
            std::getline(in, f.socketPath);
            for (std::string line; std::getline(in, line);) {
                if (!line.empty())
                    f.combinations.push_back(line);
            }
        }
        files.push_back(std::move(f));
    }
    return files;
}

std::string troubleOf(const Error &e)
{
    return std::string("sway did not send its config (") + e.what()
        + "), so combinations it binds may be taken over";
}

bool contains(const std::vector<SwayCombo> &combos, const SwayCombo &combo)
{
    return std::find(combos.begin(), combos.end(), combo) != combos.end();
}

} // namespace

SwayHotKeyRegistrar::SwayHotKeyRegistrar(const std::string &socketPath, std::string stateFolder)
    : m_commands(SwayIpc::connect(socketPath))
    , m_events(SwayIpc::connect(socketPath))
    , m_socketPath(socketPath)
    , m_stateFolder(std::move(stateFolder))
    , m_instance(std::to_string(::getpid()) + "." + std::to_string(++g_instances))
{
    m_configFile = m_commands->version().configFile;
    m_events->subscribe(R"(["binding","workspace"])");
    // The first binding round's reading of the config, so that what failed is known at once.
    configured();
    removeStaleBindings();
}

SwayHotKeyRegistrar::~SwayHotKeyRegistrar()
{
    for (auto &[id, r] : m_registrations)
        unbind(r);
    if (!m_stateFolder.empty())
        std::remove(statePath().c_str());
}

std::string SwayHotKeyRegistrar::defaultStateFolder()
{
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime && *runtime ? std::string(runtime) + "/quorvel" : std::string();
}

std::string SwayHotKeyRegistrar::tagPrefix() const
{
    return "quorvel:" + m_instance + ":";
}

std::string SwayHotKeyRegistrar::statePath() const
{
    return m_stateFolder + "/" + std::string(kStatePrefix) + m_instance;
}

bool SwayHotKeyRegistrar::ours(const SwayCombo &combo) const
{
    return std::any_of(m_registrations.begin(), m_registrations.end(),
        [&](const auto &entry) { return entry.second.bound && entry.second.combo == combo; });
}

const std::vector<SwayCombo> &SwayHotKeyRegistrar::configured()
{
    if (m_configRead)
        return m_configured;
    m_configRead = true;
    m_configured.clear();
    m_configTrouble.clear();
    // Included files are read on the thread that must answer an end signal: a signal stops
    // the reading between two files.
    const auto read = [](const std::string &path) {
        if (SwayIpc::interrupted())
            throw Error("interrupted");
        return readConfigFile(path);
    };
    try {
        m_configured = configuredCombos(m_commands->config(), m_configFile, read);
    } catch (const Error &e) {
        // sway drops a client its reply is too large for; the commands go on over a new
        // connection, and the keys its config binds are not known.
        m_configTrouble = troubleOf(e);
        try {
            m_commands = SwayIpc::connect(m_socketPath);
        } catch (const Error &) {
            // sway has gone: every command fails from here on, as it should.
        }
    }
    return m_configured;
}

std::vector<SwayCombo> SwayHotKeyRegistrar::heldByOthers(const std::vector<SwayCombo> &configured)
{
    std::vector<SwayCombo> held = configured;
    for (const auto &f : stateFiles(m_stateFolder)) {
        if (f.temporary || f.socketPath != m_socketPath || !alive(f.pid))
            continue;
        for (const auto &c : f.combinations) {
            if (auto combo = parseSwayCombination(c))
                held.push_back(*combo);
        }
    }
    return held;
}

bool SwayHotKeyRegistrar::bind(int id, Registration &r)
{
    const auto results = m_commands->runCommand(
        "bindsym --no-repeat " + r.combination + " nop " + tagPrefix() + std::to_string(id));
    r.bound = !results.empty() && results.front().success;
    return r.bound;
}

void SwayHotKeyRegistrar::unbind(Registration &r)
{
    if (!r.bound)
        return;
    r.bound = false;
    try {
        m_commands->runCommand("unbindsym " + r.combination);
    } catch (const Error &) {
        // sway has gone, and its bindings with it.
    }
}

int SwayHotKeyRegistrar::registerHotKey(unsigned modifiers, KeyCode key, HotKeyPress onPress)
{
    Registration r;
    r.modifiers = modifiers;
    r.key = key;
    r.combination = swayCombination(modifiers, key);
    const auto combo = parseSwayCombination(r.combination);
    if (!combo || ours(*combo))
        return 0;
    r.combo = *combo;
    r.onPress = std::move(onPress);
    try {
        if (contains(heldByOthers(configured()), r.combo) || !bind(m_nextId, r))
            return 0;
    } catch (const Error &) {
        return 0;
    }
    const int id = m_nextId++;
    m_registrations.emplace(id, std::move(r));
    saveState();
    return id;
}

void SwayHotKeyRegistrar::unregisterHotKey(int id)
{
    const auto it = m_registrations.find(id);
    if (it == m_registrations.end())
        return;
    unbind(it->second);
    m_registrations.erase(it);
    saveState();
}

bool SwayHotKeyRegistrar::heldElsewhere(unsigned modifiers, KeyCode key)
{
    const auto combo = parseSwayCombination(swayCombination(modifiers, key));
    if (!combo || ours(*combo))
        return false;
    try {
        return contains(heldByOthers(configured()), *combo);
    } catch (const Error &) {
        return false;
    }
}

int SwayHotKeyRegistrar::fileDescriptor() const
{
    return m_events->fileDescriptor();
}

void SwayHotKeyRegistrar::processEvents()
{
    if (!m_events)
        return;
    std::vector<SwayMessage> events;
    try {
        events = m_events->readEvents();
    } catch (const Error &) {
        lostSway();
        return;
    }
    const std::string prefix = "nop " + tagPrefix();
    // However many reloads came, the bindings are made again once.
    bool reloaded = false;
    for (const auto &event : events) {
        try {
            if (event.type == swaymsg::WorkspaceEvent) {
                reloaded = reloaded || parseWorkspaceChange(event.payload) == "reload";
                continue;
            }
            if (event.type != swaymsg::BindingEvent)
                continue;
            const auto command = parseBindingCommand(event.payload);
            if (!command || command->rfind(prefix, 0) != 0)
                continue;
            const auto it = m_registrations.find(std::atoi(command->c_str() + prefix.size()));
            if (it == m_registrations.end() || !it->second.bound)
                continue;
            // The handler may unregister this very key.
            const auto onPress = it->second.onPress;
            if (onPress)
                onPress(it->second.modifiers, it->second.key);
        } catch (const Error &) {
            // One garbled event; the stream goes on.
        }
    }
    if (reloaded)
        rebindAfterReload();
}

void SwayHotKeyRegistrar::lostSway()
{
    // The socket stays readable at its end; an idle descriptor in its place keeps the event
    // loop from spinning on it.
    const int idle = ::eventfd(0, EFD_CLOEXEC);
    if (idle >= 0) {
        ::dup2(idle, m_events->fileDescriptor());
        ::close(idle);
    }
    for (auto &[id, r] : m_registrations)
        r.bound = false;
}

void SwayHotKeyRegistrar::rebindAfterReload()
{
    // A reload drops every runtime binding, and the config may say something new.
    m_configRead = false;
    const auto held = heldByOthers(configured());
    for (auto &[id, r] : m_registrations) {
        r.bound = false;
        try {
            if (!contains(held, r.combo))
                bind(id, r);
        } catch (const Error &) {
            // Left unbound, as a refused key is.
        }
    }
    saveState();
}

std::vector<std::string> SwayHotKeyRegistrar::staleBindings(
    const std::string &socketPath, const std::string &stateFolder)
{
    std::vector<std::string> stale;
    for (const auto &f : stateFiles(stateFolder)) {
        if (f.socketPath == socketPath && !alive(f.pid))
            stale.insert(stale.end(), f.combinations.begin(), f.combinations.end());
    }
    std::sort(stale.begin(), stale.end());
    stale.erase(std::unique(stale.begin(), stale.end()), stale.end());
    return stale;
}

std::string SwayHotKeyRegistrar::configTroubleAt(const std::string &socketPath)
{
    try {
        const auto ipc = SwayIpc::connect(socketPath);
        const std::string file = ipc->version().configFile;
        configuredCombos(ipc->config(), file, readConfigFile);
    } catch (const Error &e) {
        return troubleOf(e);
    }
    return {};
}

void SwayHotKeyRegistrar::removeStaleBindings()
{
    for (const auto &f : stateFiles(m_stateFolder)) {
        // Kept: a file we cannot read may still name keys that someone must unbind.
        if (!f.readable || alive(f.pid))
            continue;
        if (f.socketPath == m_socketPath) {
            // Without the config, a combination might be the user's own: left for a start that
            // can tell.
            if (!m_configTrouble.empty())
                continue;
            try {
                for (const auto &c : f.combinations) {
                    // A combination the config binds now is the user's, not the dead process's.
                    const auto combo = parseSwayCombination(c);
                    if (combo && !contains(m_configured, *combo))
                        m_commands->runCommand("unbindsym " + c);
                }
            } catch (const Error &) {
                continue; // not unbound: the file stays for the next try
            }
        } else if (::access(f.socketPath.c_str(), F_OK) == 0) {
            continue; // another sway that still runs: its own Quorvel will clean up there
        }
        std::remove(f.path.c_str());
    }
}

void SwayHotKeyRegistrar::saveState()
{
    if (m_stateFolder.empty())
        return;
    ::mkdir(m_stateFolder.c_str(), 0700);
    const std::string path = statePath();
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << m_socketPath << '\n';
        for (const auto &[id, r] : m_registrations) {
            if (r.bound)
                out << r.combination << '\n';
        }
        if (!out)
            return;
    }
    std::rename(temporary.c_str(), path.c_str());
}

} // namespace quorvel::wayland
