#include "Application.h"
#include "DesktopBackend.h"
#include "common/Error.h"

#include <QApplication>
#include <QSessionManager>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

using namespace quorvel;

namespace {

// Log-off and shutdown end the process at once; the placement is not saved, and the X server
// releases our grabs when the connection closes.
void endAtOnce(int)
{
    _exit(0);
}

bool displayAvailable()
{
    const char *platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && std::string(platform) != "xcb")
        return true;
    const char *display = std::getenv("DISPLAY");
    return display && *display;
}

} // namespace

int main(int argc, char **argv)
{
    std::signal(SIGTERM, endAtOnce);
    std::signal(SIGHUP, endAtOnce);

    if (!displayAvailable()) {
        std::fputs("quorvel: no X display to run on (DISPLAY is not set)\n", stderr);
        return 1;
    }

    // Before Qt, which would abort on a display it cannot reach.
    std::unique_ptr<DesktopBackend> desktop;
    try {
        desktop = std::make_unique<DesktopBackend>();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "quorvel: cannot use the X display: %s\n", e.what());
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(
        &app, &QGuiApplication::commitDataRequest, [](QSessionManager &) { _exit(0); });

    Application quorvel(Paths::fromEnvironment(), desktop->backend());
    quorvel.start(std::vector<std::string>(argv + 1, argv + argc));
    return app.exec();
}
