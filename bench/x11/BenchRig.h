// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the X11 benchmarks share: child processes, scratch folders, counting what a target
// lost, and Quorvel's real runner over the X11 backend on a connection of its own.

#include "catalogue/Catalogue.h"
#include "catalogue/ProfileStore.h"
#include "common/Text.h"
#include "platform/NullPlatform.h"
#include "platform/x11/X11Backend.h"
#include "playback/MacroRunner.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace quorvel::bench {

// Starts a program in a group of its own; its standard output goes to outFd (or nowhere).
inline pid_t spawn(
    std::vector<std::string> argv, const std::vector<std::string> &extraEnv = {}, int outFd = -1)
{
    std::vector<char *> args;
    for (auto &a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        if (std::strncmp(*e, "LC_ALL=", 7) != 0)
            env.emplace_back(*e);
    }
    env.emplace_back("LC_ALL=C.UTF-8");
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char *> envp;
    for (auto &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, &attr, args.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return pid;
}

// Its exit status, -1 when it did not end normally.
inline int runToEnd(std::vector<std::string> argv)
{
    const pid_t pid = spawn(std::move(argv));
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) < 0)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline void stop(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(-pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
}

inline std::string readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline std::string tempFolder()
{
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quorvel-bench-XXXXXX").string();
    return mkdtemp(pattern.data());
}

// Lost, extra and wrong characters between what was sent and what arrived.
inline std::size_t errors(const std::string &sent, const std::string &arrived)
{
    const std::u32string a = text::decode(sent), b = text::decode(arrived);
    std::vector<std::size_t> row(b.size() + 1), next(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        next[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j)
            next[j] =
                std::min({ row[j] + 1, next[j - 1] + 1, row[j - 1] + (a[i - 1] != b[j - 1]) });
        std::swap(row, next);
    }
    return row[b.size()];
}

class Pump : public EventPump
{
public:
    explicit Pump(x11::X11Backend &backend)
        : m_backend(backend)
    {
    }
    void processMessages() override { m_backend.processEvents(); }
    void sleep(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

private:
    x11::X11Backend &m_backend;
};

// Quorvel on a connection of its own: the real runner over the X11 backend.
struct Quorvel
{
    std::string folder = tempFolder();
    ProfileStore store { folder + "/macros.ini" };
    Catalogue catalogue { store };
    x11::X11Backend backend;
    Pump pump { backend };
    NullLauncher launcher;
    NullJournal journal;
    NullValuePrompt prompt;
    NullDateTimeFormatter dateTime;
    NullTimers timers;
    MacroRunner runner { PlaybackServices { backend.keySink(), backend.keyboardState(), pump,
        backend.windowSystem(), launcher, journal, prompt, dateTime, timers, catalogue,
        folder + "/" } };

    ~Quorvel() { std::filesystem::remove_all(folder); }
    void type(const std::string &text)
    {
        runner.SendKeys(text);
        backend.keySink().releaseAll();
    }
};

} // namespace quorvel::bench
