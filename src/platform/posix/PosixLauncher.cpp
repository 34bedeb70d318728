// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/PosixLauncher.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quorvel {

namespace {
bool isExecutableFile(const std::string &path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)
        && ::access(path.c_str(), X_OK) == 0;
}

std::string expandHome(const std::string &path)
{
    if (path == "~" || path.rfind("~/", 0) == 0) {
        if (const char *home = std::getenv("HOME"))
            return std::string(home) + path.substr(1);
    }
    return path;
}

std::string findOnPath(const std::string &name)
{
    const char *path = std::getenv("PATH");
    std::string all = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= all.size()) {
        auto end = all.find(':', start);
        if (end == std::string::npos)
            end = all.size();
        std::string dir = all.substr(start, end - start);
        if (dir.empty())
            dir = ".";
        std::string candidate = std::move(dir);
        candidate += '/';
        candidate += name;
        if (isExecutableFile(candidate))
            return candidate;
        start = end + 1;
    }
    return {};
}

bool looksLikeUri(const std::string &file)
{
    const auto colon = file.find(':');
    if (colon == std::string::npos || colon < 2)
        return false; // "C:" is a drive letter, not a scheme
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = file[i];
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.'))
            return false;
    }
    return true;
}
} // namespace

std::vector<std::string> splitArguments(const std::string &parameters)
{
    std::vector<std::string> args;
    std::string current;
    bool inArg = false;
    char quote = 0;
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const char c = parameters[i];
        if (quote == '\'') {
            if (c == '\'')
                quote = 0;
            else
                current.push_back(c);
            continue;
        }
        if (c == '\\' && i + 1 < parameters.size()) {
            const char next = parameters[i + 1];
            const bool escapable = next == '"' || next == '\\'
                || (!quote && (next == '\'' || next == ' ' || next == '\t'));
            if (escapable) {
                current.push_back(next);
                inArg = true;
                ++i;
                continue;
            }
        }
        if (quote == '"') {
            if (c == '"')
                quote = 0;
            else
                current.push_back(c);
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
            inArg = true;
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (inArg) {
                args.push_back(std::move(current));
                current.clear();
                inArg = false;
            }
        } else {
            current.push_back(c);
            inArg = true;
        }
    }
    if (inArg)
        args.push_back(std::move(current));
    return args;
}

LaunchPlan planLaunch(
    const std::string &file, const std::string &parameters, const std::string &folder)
{
    LaunchPlan plan;
    plan.folder = expandHome(folder);
    const std::string target = expandHome(file);
    if (target.empty())
        return plan;

    std::string program;
    if (target.find('/') != std::string::npos) {
        std::string path = target;
        if (path.front() != '/' && !plan.folder.empty())
            path = plan.folder + "/" + path;
        if (isExecutableFile(path))
            program = path;
    } else if (!looksLikeUri(target)) {
        if (!plan.folder.empty() && isExecutableFile(plan.folder + "/" + target))
            program = plan.folder + "/" + target;
        else
            program = findOnPath(target);
    }

    if (!program.empty()) {
        plan.argv.push_back(program);
        for (auto &arg : splitArguments(parameters))
            plan.argv.push_back(std::move(arg));
        return plan;
    }

    // A document, a folder or a URL: the desktop's own opener decides.
    std::string document = target;
    if (!looksLikeUri(target) && target.front() != '/' && !plan.folder.empty()) {
        struct stat st
        {
        };
        if (::stat((plan.folder + "/" + target).c_str(), &st) == 0)
            document = plan.folder + "/" + target;
    }
    plan.argv = { "xdg-open", document };
    return plan;
}

bool spawnDetached(const std::vector<std::string> &argv, const std::string &folder)
{
    if (argv.empty())
        return false;
    // Everything the children touch is prepared before fork: only async-signal-safe calls after.
    std::vector<char *> args;
    args.reserve(argv.size() + 1);
    for (const auto &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    const std::string xdgOpen = argv[0] == "xdg-open" ? findOnPath("xdg-open") : argv[0];
    if (xdgOpen.empty())
        return false;
    const char *program = xdgOpen.c_str();
    const char *dir = folder.empty() ? nullptr : folder.c_str();

    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        // The intermediate child exits at once, so the program is adopted by init and never
        // becomes our zombie.
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild != 0)
            ::_exit(0);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        ::signal(SIGCHLD, SIG_DFL);
        const int devNull = ::open("/dev/null", O_RDONLY);
        if (devNull >= 0) {
            ::dup2(devNull, 0);
            if (devNull > 2)
                ::close(devNull);
        }
        ::close_range(3, ~0U, 0);
        if (dir)
            (void)!::chdir(dir);
        ::execv(program, args.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) { }
    return true;
}

void PosixLauncher::open(
    const std::string &file, const std::string &parameters, const std::string &folder)
{
    const auto plan = planLaunch(file, parameters, folder);
    if (!plan.argv.empty())
        spawnDetached(plan.argv, plan.folder);
}

} // namespace quorvel
