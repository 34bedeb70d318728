// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Application.h"

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
#include "platform/posix/PosixLauncher.h"
#include "playback/MacroRunner.h"
#include "shell/ShellLink.h"
#include "shell/TrayModel.h"
#include "shell/forms/THelpWindow.h"
#include "triggers/HotKeyBindings.h"
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
                           ValuePrompt
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
    }

    // MainWindowServices
    void ProcessHotKey(int n) override { runner->ProcessHotKey(n); }
    void BindHotKeys() override
    {
        if (hotKeys)
            hotKeys->BindHotKeys(catalogue);
        else
            mainModel.LoadMacroList();
    }
    // Every way out lets go of what we hold: Exit, the close boxes, a /CLOSE run.
    void endProgram() override { endAll(); }
    void endAll();
    void setEditing(bool editing) override
    {
        if (runner)
            runner->setEditing(editing);
    }
    bool hotKeyRefused(int n) const override { return hotKeys && hotKeys->refused(n); }

    // ApplicationFormServices
    std::string lastRunStatus() override { return runner->lastRunStatus(); }

    // TrayServices
    void restorePlacement() override { mainModel.SetPosition(); }
    void savePlacement() override { mainModel.SavePosition(); }
    void showMainWindow() override { frmMain->showWindow(); }
    void raiseMainWindow() override { frmMain->raise(); }
    void activateMainWindow() override
    {
        frmMain->raise();
        frmMain->activateWindow();
    }
    int mainWindowLeft() const override { return frmMain->windowGeometry().left; }

    // WizardServices
    void setStopHotKeyEnabled(bool enabled) override
    {
        if (EPHotkeyStopRecord)
            EPHotkeyStopRecord->SetEnabled(enabled);
    }
    void addListRow(const MacroListRow &row) override { frmMain->appendRow(row); }
    void setMainWindowVisible(bool visible) override
    {
        if (visible)
            frmMain->showWindow();
        else
            frmMain->hideWindow();
    }
    void RecordFinished() override { runner->journalFinished(); }
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
    // program in the tray holds only the main window.
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
    TfrmWizard &wizard();
    TfrmProperties &properties();

    Paths paths;
    Backend backend;
    ProfileStore store;
    Catalogue catalogue;
    MessageBoxErrorDisplay errors;
    PosixLauncher launcher;
    QtEventPump pump;
    QtDateTimeFormatter dateTime;
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
    std::unique_ptr<HotKeyBindings> hotKeys;
    std::unique_ptr<StopRecordHotKey> EPHotkeyStopRecord;
    std::unique_ptr<TriggerScan> scan;
    QMetaObject::Connection beforeBlocking;
    bool ended = false;
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
    sweepStaleDataTemporaries(p.paths.programFolder);
    p.mainModel.setDataFolder(p.paths.programFolder);
    p.mainModel.setFileRemover(p.files);
    p.mainModel.setHelpViewer(p);
    p.mainModel.setListPrinter(p.listPrinting);
    p.shortcuts = std::make_unique<DesktopShortcutMaker>(p.catalogue,
        ShellFolders::fromEnvironment(p.paths.programFolder), runningProgram(),
        productIconSvg().toStdString());
    p.mainModel.setShortcutMaker(*p.shortcuts);
    p.frmMain = std::make_unique<TfrmMain>(p.mainModel);

    PlaybackServices services {
        *p.backend.keys,
        *p.backend.keyboard,
        p.pump,
        *p.backend.windows,
        p.launcher,
        *p.backend.journal,
        p,
        p.dateTime,
        p.timers,
        p.catalogue,
        p.paths.programFolder,
    };
    p.runner = std::make_unique<MacroRunner>(services);
    p.hintModel = std::make_unique<HintModel>(p.store, p);
    p.hintModel->onShowHintsChanged = [&p](bool on) {
        if (p.trayModel)
            p.trayModel->hintWindowClosed(on);
    };
    const EditorDeps editorDeps { p.catalogue, *p.backend.journal, p.errors, p.paths.programFolder,
        &p, p.backend.hotKeys, p.backend.keyName };
    p.wizardModel = std::make_unique<WizardModel>(editorDeps, p, p, p.pump, p.shortcuts.get());
    p.frmMain->openWizard = [&p] { p.wizard().showModal(); };
    p.propertiesModel = std::make_unique<PropertiesModel>(editorDeps, p, *p.wizardModel);
    p.frmMain->openProperties = [&p](int n) { p.properties().showModal(n); };
    // The end of a replay goes to the window that started it; with no editor built yet it
    // was the runner's.
    p.backend.journal->OnFinished = [&p](bool) {
        if (p.frmProperties && p.propertiesModel->isOpen() && !p.wizardModel->editMode())
            p.propertiesModel->RecorderFinished();
        else if (p.frmWizard)
            p.wizardModel->RecorderFinished();
        else
            p.RecordFinished();
    };
    p.scan = std::make_unique<TriggerScan>(
        p.catalogue, *p.backend.windows, p.pump, [&p](int n) { p.runner->ProcessHotKey(n); });
    if (p.backend.hotKeys) {
        p.hotKeys = std::make_unique<HotKeyBindings>(
            *p.backend.hotKeys, &p.errors,
            [&p](int slot) {
                p.runner->EPHotKey0HotKey(slot,
                    static_cast<KeyCode>(p.hotKeys->EPHotKey(slot).HotKey() & hotkey::KeyMask));
            },
            [&p] { p.mainModel.LoadMacroList(); });
        p.EPHotkeyStopRecord = std::make_unique<StopRecordHotKey>(*p.backend.hotKeys, &p.errors);
        // Bound from the start, though nothing records until an editor is built.
        p.EPHotkeyStopRecord->OnHotKey = [&p](TEPHotKey &, unsigned &, unsigned) {
            if (p.frmWizard)
                p.wizardModel->stopRecordHotKey();
        };
    }

    p.mainModel.FormCreate();
    p.timers.setScanInterval(TriggerScan::searchInterval(p.catalogue));
    p.timers.setScanTimerEnabled(true);
    p.timers.setWaitTimer(Timers::WaitTimerDesignInterval, true);
    p.autostart = std::make_unique<AutostartEntry>(
        ShellFolders::fromEnvironment(p.paths.programFolder).path(ShellFolder::sfStartup),
        runningProgram());
    p.trayModel = std::make_unique<TrayModel>(TrayDependencies {
        p.store, p.errors, p.pump, p.launcher, &p, &p.listPrinting, p, p.autostart.get() });
    p.quorvelForm = std::make_unique<TQuorvel>(p.quorvelModel, *p.trayModel);
    p.quorvelModel.FormCreate();
    p.trayModel->FormCreate();
    p.quorvelModel.DoCommandLine(arguments);
    // Ended while a run's error box was open: the box's loop is gone, and so are we.
    if (p.ended)
        return;
    // Even after a failed run: without it the main window could never be reached again.
    p.trayModel->enableOpen();
    p.quorvelModel.showOnFirstRun();
    // A hidden start with no tray to click would leave nothing to reach the program by.
    if (!QSystemTrayIcon::isSystemTrayAvailable() && !p.frmMain->windowVisible())
        p.quorvelModel.showWithoutTray();
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
    checkModel = std::make_unique<MacroCheckModel>(
        MacroCheckModel::Deps { catalogue, paths.programFolder, dateTime });
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
    m_impl->endAll();
}

void Application::Impl::endAll()
{
    auto &p = *this;
    if (p.ended)
        return;
    p.ended = true;
    // Nothing may start a run any more: no scan, no wait ticks, no hot key, no /CLOSE check.
    p.timers.setScanTimerEnabled(false);
    p.timers.setWaitTimer(Timers::WaitTimerDesignInterval, false);
    if (p.quorvelForm)
        p.quorvelForm->setPlaybackTimer(false);
    if (p.hotKeys) {
        for (int slot = 0; slot < HotKeyBindings::SlotCount; ++slot)
            p.hotKeys->EPHotKey(slot).SetEnabled(false);
    }
    if (p.EPHotkeyStopRecord)
        p.EPHotkeyStopRecord->SetEnabled(false);
    // Keys pressed by a replay or a run would otherwise stay down on the server after us.
    if (p.backend.cancelPlayBacks)
        p.backend.cancelPlayBacks();
    p.backend.keys->releaseAll();

    // Inside a run (a pump or a modal prompt of it) the run cannot be unwound from here, and
    // would go on typing; with everything let go the process ends at once instead.
    if (p.pump.depth() > 0 || QThread::currentThread()->loopLevel() > 1)
        std::_Exit(0);
    QCoreApplication::exit(0);
}

bool Application::ended() const
{
    return m_impl->ended;
}

} // namespace quorvel
