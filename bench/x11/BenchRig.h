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
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace quorvel::bench {

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
