#include "app/frame/Placement.h"
#include "catalogue/Catalogue.h"
#include "catalogue/LaunchDescription.h"
#include "catalogue/Paths.h"
#include "catalogue/ProfileStore.h"
#include "forms/TQuorvel.h"
#include "forms/TfrmMain.h"
#include "platform/posix/PosixLauncher.h"
#include "qt/QtPlatform.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QSessionManager>
#include <csignal>
#include <cstdio>
#include <cstdlib>
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

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(
        &app, &QGuiApplication::commitDataRequest, [](QSessionManager &) { _exit(0); });

    const Paths paths = Paths::fromEnvironment();
    ProfileStore store(paths.catalogueFile);
    Catalogue catalogue(store);
    MessageBoxErrorDisplay errors;
    PosixLauncher launcher;
    std::string lastRunStatus;

    TfrmMain::Hooks hooks;
    hooks.processHotKey = [&](int n) {
        const auto section = Catalogue::sectionName(n);
        if (store.readInteger(section, "Type", 0) != macrokind::Launch)
            return;
        const auto d = LaunchDescription::split(store.readString(section, "Filename", ""));
        launcher.open(d.program, d.parameters, d.folder);
        lastRunStatus = "NoRecord";
    };

    TfrmMain frmMain(catalogue, errors, hooks);
    frmMain.FormCreate();
    TQuorvel quorvelForm(frmMain, catalogue, errors, [&] { return lastRunStatus; });
    quorvelForm.FormCreate();

    std::vector<std::string> arguments(argv + 1, argv + argc);
    quorvelForm.DoCommandLine(arguments);

    if (store.readBool(settings::Main, settings::FirstRun, true)) {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        const auto middle = centred(frmMain.width(), frmMain.height(),
            Rect { area.left(), area.top(), area.width(), area.height() });
        frmMain.move(middle.left, middle.top);
        frmMain.show();
        runGuarded(errors, [&] { store.writeString(settings::Main, settings::FirstRun, "0"); });
    }
    return app.exec();
}
