// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Application.h"

#include "app/AppController.h"
#include "app/ApplicationFormModel.h"
#include "app/forms/TQuorvel.h"
#include "app/qt/QtPlatform.h"
#include "app/qt/QtTimers.h"
#include "catalogue/MacroFiles.h"
#include "components/forms/Artwork.h"
#include "editing/HintModel.h"
#include "editing/HintShower.h"
#include "editing/InsertionModel.h"
#include "editing/MacroCheckModel.h"
#include "editing/PropertiesModel.h"
#include "editing/WizardModel.h"
#include "editing/forms/TfrmGetVar.h"
#include "editing/forms/TfrmHint.h"
#include "editing/forms/TfrmProperties.h"
#include "editing/forms/TfrmWizard.h"
#include "mainwindow/MainWindowModel.h"
#include "mainwindow/forms/MacroListPrinting.h"
#include "mainwindow/forms/TfrmMain.h"
#include "platform/FileRemover.h"
#include "platform/NullPlatform.h"
#include "platform/posix/PosixDateTime.h"
#include "platform/posix/PosixLauncher.h"
#include "playback/MacroRunner.h"
#include "shell/ShellLink.h"
#include "shell/TrayModel.h"
#include "shell/forms/THelpWindow.h"
#include "triggers/TriggerScan.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace quorvel {

namespace {
// Shortcuts start the binary that made them, wherever it was started from.
std::string runningProgram()
{
    std::error_code error;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return QCoreApplication::applicationFilePath().toStdString();
    return exe.string();
}
} // namespace

struct Application::Impl : MainWindowServices,
                           ApplicationFormServices,
                           TrayServices,
                           WizardServices,
                           PropertiesServices,
                           HintShower,
                           HelpViewer,
                           HintView,
                           ValuePrompt,
                           ControlledParts
{
    Impl(const Paths &p, Backend b)
        : paths(p)
        , backend(std::move(b))
        , store(paths.catalogueFile)
        , catalogue(store)
    {
        if (!backend.keys)
            backend.keys = &nullKeys;
        if (!backend.keyboard)
            backend.keyboard = &nullKeys;
        if (!backend.windows)
            backend.windows = &nullWindows;
        if (!backend.journal) {
            nullJournal.setUnavailable(backend.journalUnavailable);
            backend.journal = &nullJournal;
        }
        // Built first: an end may come from a signal at any point of the start.
        runner = std::make_unique<MacroRunner>(
            PlaybackServices { *backend.keys, *backend.keyboard, pump, *backend.windows, launcher,
                *backend.journal, *this, dateTime, timers, catalogue, paths.dataFolder });
        controller = std::make_unique<AppController>(AppController::Deps { *runner, catalogue,
            timers, *backend.keys, errors, *this, backend.hotKeys, backend.cancelPlayBacks });
    }

    // MainWindowServices
    void ProcessHotKey(int n) override { runner->ProcessHotKey(n); }
    void BindHotKeys() override { controller->BindHotKeys(); }
    void endProgram() override { controller->end(); }
    void setEditing(bool editing) override { controller->setEditing(editing); }
    bool hotKeyRefused(int n) const override { return controller->hotKeyRefused(n); }

    // ApplicationFormServices
    std::string lastRunStatus() override { return runner->lastRunStatus(); }

    // TrayServices
    void restorePlacement() override { mainModel.SetPosition(); }
    void savePlacement() override { mainModel.SavePosition(); }
    void showMainWindow() override { mainWindow().showWindow(); }
    void raiseMainWindow() override { mainWindow().raise(); }
    void activateMainWindow() override
    {
        mainWindow().raise();
        mainWindow().activateWindow();
    }
    // A window never built was never placed: there is nothing of it to save.
    int mainWindowLeft() const override
    {
        return frmMain ? frmMain->windowGeometry().left : tray::ParkedLeft;
    }

    // WizardServices
    void setStopHotKeyEnabled(bool enabled) override { controller->setStopHotKeyEnabled(enabled); }
    void addListRow(const MacroListRow &row) override { mainWindow().appendRow(row); }
    void setMainWindowVisible(bool visible) override
    {
        if (visible)
            mainWindow().showWindow();
        else if (frmMain)
            frmMain->hideWindow();
    }
    void journalFinished() override { runner->journalFinished(); }
    void stopPropertiesRecording() override
    {
        if (propertiesModel)
            propertiesModel->stopRecordHotKey();
    }

    // PropertiesServices
    void LoadMacroList() override { mainModel.LoadMacroList(); }
    void showWizard() override { wizard().showModal(); }

    // HintShower
    void ShowHint(const std::string &text) override { hintModel->ShowHint(text); }

    // Windows are built when first shown and then kept, hidden between showings, so an idle
    // program in the tray holds none of them.
    void showHelp(std::string_view topic) override
    {
        if (!helpWindow)
            helpWindow = std::make_unique<THelpWindow>();
        helpWindow->showHelp(topic);
    }
    bool showHintModal(const std::string &text) override
    {
        if (!frmHint)
            frmHint = std::make_unique<TfrmHint>();
        return frmHint->showHintModal(text);
    }
    std::string ask(const std::string &prompt) override
    {
        if (!frmGetVar)
            frmGetVar = std::make_unique<TfrmGetVar>();
        return frmGetVar->ask(prompt);
    }
    TfrmMain &mainWindow();
    TfrmWizard &wizard();
    TfrmProperties &properties();

    // ControlledParts
    bool wizardBuilt() const override { return frmWizard != nullptr; }
    bool propertiesBuilt() const override { return frmProperties != nullptr; }
    bool propertiesOpen() const override { return propertiesModel->isOpen(); }
    bool wizardInEditMode() const override { return wizardModel->editMode(); }
    void wizardRecorderFinished() override { wizardModel->RecorderFinished(); }
    void propertiesRecorderFinished() override { propertiesModel->RecorderFinished(); }
    void wizardStopRecordHotKey() override { wizardModel->stopRecordHotKey(); }
    void stopPlaybackTimer() override
    {
        if (quorvelForm)
            quorvelForm->setPlaybackTimer(false);
    }
    bool insideRun() const override
    {
        return pump.depth() > 0 || QThread::currentThread()->loopLevel() > 1;
    }
    void quit(bool atOnce) override
    {
        if (atOnce)
            std::_Exit(0);
        QCoreApplication::exit(0);
    }

    Paths paths;
    Backend backend;
    ProfileStore store;
    Catalogue catalogue;
    MessageBoxErrorDisplay errors;
    PosixLauncher launcher;
    QtEventPump pump;
    PosixDateTimeFormatter dateTime;
    NullKeySink nullKeys;
    NullWindowSystem nullWindows;
    StdFileRemover files;
    // Raised from the event loop, as a real replay's end would be.
    NullJournal nullJournal { [](std::function<void()> raise) {
        QTimer::singleShot(0, std::move(raise));
    } };
    std::vector<std::unique_ptr<QSocketNotifier>> notifiers;
    QtTimers timers { errors, [this] { scan->Timer1Timer(); }, [this] { runner->tmr1Timer(); } };

    MainWindowModel mainModel { catalogue, errors, *this, backend.keyName };
    ApplicationFormModel quorvelModel { mainModel, catalogue, errors, pump, *this };
    std::unique_ptr<AutostartEntry> autostart;
    std::unique_ptr<TrayModel> trayModel;
    std::unique_ptr<TfrmMain> frmMain;
    std::unique_ptr<THelpWindow> helpWindow;
    // Serves the main window's and the tray's print item alike.
    MacroListPrinting listPrinting { [this] { return mainModel.listRows(); }, errors };
    std::unique_ptr<DesktopShortcutMaker> shortcuts;
    std::unique_ptr<TQuorvel> quorvelForm;
    std::unique_ptr<TfrmGetVar> frmGetVar;
    std::unique_ptr<TfrmHint> frmHint;
    std::unique_ptr<HintModel> hintModel;
    std::unique_ptr<WizardModel> wizardModel;
    // Before the wizard, whose dialogs refer to it.
    std::unique_ptr<InsertionModel> insertionModel;
    std::unique_ptr<TfrmWizard> frmWizard;
    std::unique_ptr<MacroCheckModel> checkModel;
    std::unique_ptr<PropertiesModel> propertiesModel;
    std::unique_ptr<TfrmProperties> frmProperties;
    std::unique_ptr<MacroRunner> runner;
    std::unique_ptr<AppController> controller;
    std::unique_ptr<TriggerScan> scan;
    QMetaObject::Connection beforeBlocking;
};

Application::Application(const Paths &paths, Backend backend)
    : m_impl(std::make_unique<Impl>(paths, std::move(backend)))
{
}

Application::~Application()
{
    // The backend outlives us: nothing of it may call back into what is going away.
    QObject::disconnect(m_impl->beforeBlocking);
    m_impl->backend.journal->OnFinished = nullptr;
    if (m_impl->backend.setApplicationActiveQuery)
        m_impl->backend.setApplicationActiveQuery({});
    if (m_impl->backend.setTitleChangeHandler)
        m_impl->backend.setTitleChangeHandler({});
}

void Application::start(const std::vector<std::string> &arguments)
{
    auto &p = *m_impl;

    // X events are handled inside the same loop, so every pump of a run sees them too.
    for (const auto &source : p.backend.eventSources) {
        auto notifier = std::make_unique<QSocketNotifier>(source.fd, QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, source.process);
        p.notifiers.push_back(std::move(notifier));
    }
    if (p.backend.processPending) {
        p.pump.processPending = p.backend.processPending;
        p.beforeBlocking = QObject::connect(QAbstractEventDispatcher::instance(),
            &QAbstractEventDispatcher::aboutToBlock, p.backend.processPending);
    }
    if (p.backend.setApplicationActiveQuery)
        p.backend.setApplicationActiveQuery([] { return QApplication::activeWindow() != nullptr; });

    // Copies a writer killed mid-write left behind may hold recorded keystrokes.
    sweepStaleDataTemporaries(p.paths.dataFolder);
    p.mainModel.setDataFolder(p.paths.dataFolder);
    p.mainModel.setFileRemover(p.files);
    p.mainModel.setHelpViewer(p);
    p.mainModel.setListPrinter(p.listPrinting);
    p.shortcuts = std::make_unique<DesktopShortcutMaker>(p.catalogue,
        ShellFolders::fromEnvironment(p.paths.dataFolder), runningProgram(),
        productIconSvg().toStdString());
    p.mainModel.setShortcutMaker(*p.shortcuts);
    p.mainModel.setViewMaker([&p]() -> MainWindowView & { return p.mainWindow(); });

    p.hintModel = std::make_unique<HintModel>(p.store, p);
    p.hintModel->onShowHintsChanged = [&p](bool on) {
        if (p.trayModel)
            p.trayModel->hintWindowClosed(on);
    };
    DesktopLimits limits = p.backend.limits;
    limits.recording = p.backend.journalUnavailable;
    p.mainModel.setDesktopLimits(limits);
    const EditorDeps editorDeps { p.catalogue, *p.backend.journal, p.errors, p.paths.dataFolder, &p,
        p.backend.hotKeys, p.backend.keyName, limits };
    p.wizardModel = std::make_unique<WizardModel>(editorDeps, p, p, p.pump, p.shortcuts.get());
    p.propertiesModel = std::make_unique<PropertiesModel>(editorDeps, p, *p.wizardModel);
    p.backend.journal->OnFinished = [&p](bool) { p.controller->journalFinished(); };
    // Where no window is seen, triggers never fire; window commands of a macro say why.
    WindowSystem &scanned =
        limits.why(feature::WindowTriggers).empty() ? *p.backend.windows : p.nullWindows;
    p.scan = std::make_unique<TriggerScan>(
        p.catalogue, scanned, p.pump, [&p](int n) { p.runner->ProcessHotKey(n); });
    // A new or retitled window is scanned for at once rather than at the next period.
    if (p.backend.setTitleChangeHandler)
        p.backend.setTitleChangeHandler([&p] { p.timers.scanSoon(); });

    p.mainModel.FormCreate();
    p.timers.setScanInterval(TriggerScan::searchInterval(p.catalogue));
    p.timers.setScanTimerEnabled(true);
    p.timers.setWaitTimer(Timers::WaitTimerDesignInterval, true);
    p.autostart = std::make_unique<AutostartEntry>(
        ShellFolders::fromEnvironment(p.paths.dataFolder).path(ShellFolder::sfStartup),
        runningProgram());
    p.trayModel = std::make_unique<TrayModel>(TrayDependencies {
        p.store, p.errors, p.pump, p.launcher, &p, &p.listPrinting, p, p.autostart.get() });
    p.quorvelForm = std::make_unique<TQuorvel>(p.quorvelModel, *p.trayModel);
    p.quorvelModel.FormCreate();
    p.trayModel->FormCreate();
    p.quorvelModel.DoCommandLine(arguments);
    // Ended while a run's error box was open: the box's loop is gone, and so are we.
    if (p.controller->ended())
        return;
    // Even after a failed run: without it the main window could never be reached again.
    p.trayModel->enableOpen();
    p.quorvelModel.showOnFirstRun();
    // A hidden start with no tray to click would leave nothing to reach the program by.
    if (!QSystemTrayIcon::isSystemTrayAvailable() && !(p.frmMain && p.frmMain->windowVisible()))
        p.quorvelModel.showWithoutTray();
}

// Hidden in the tray, the program may never need it.
TfrmMain &Application::Impl::mainWindow()
{
    if (frmMain)
        return *frmMain;
    frmMain = std::make_unique<TfrmMain>(mainModel);
    frmMain->loadRows(mainModel.listRows());
    frmMain->openWizard = [this] { wizard().showModal(); };
    frmMain->openProperties = [this](int n) { properties().showModal(n); };
    return *frmMain;
}

// The properties dialog edits an advanced macro in the wizard's page, so the wizard comes
// first.
TfrmWizard &Application::Impl::wizard()
{
    if (frmWizard)
        return *frmWizard;
    frmWizard = std::make_unique<TfrmWizard>(*wizardModel);
    frmWizard->setHotKeyLookups(backend.virtualKeyOfKeycode, backend.keyName);
    insertionModel = std::make_unique<InsertionModel>(*this, catalogue);
    frmWizard->setInsertionModel(*insertionModel);
    checkModel =
        std::make_unique<MacroCheckModel>(MacroCheckModel::Deps { catalogue, paths.dataFolder,
            dateTime, [keys = backend.keys](char32_t c) { return keys->routeOf(c); } });
    frmWizard->setCheckModel(*checkModel);
    return *frmWizard;
}

TfrmProperties &Application::Impl::properties()
{
    if (frmProperties)
        return *frmProperties;
    wizard();
    frmProperties = std::make_unique<TfrmProperties>(*propertiesModel);
    frmProperties->setHotKeyLookups(backend.virtualKeyOfKeycode, backend.keyName);
    return *frmProperties;
}

void Application::end()
{
    m_impl->controller->end();
}

bool Application::ended() const
{
    return m_impl->controller->ended();
}

} // namespace quorvel
