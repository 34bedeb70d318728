#include "Application.h"

#include "app/frame/Placement.h"
#include "editing/forms/TfrmGetVar.h"
#include "forms/TQuorvel.h"
#include "forms/TfrmMain.h"
#include "platform/posix/PosixLauncher.h"
#include "playback/MacroRunner.h"
#include "qt/Fallbacks.h"
#include "qt/QtPlatform.h"
#include "triggers/HotKeyBindings.h"
#include "triggers/TriggerScan.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QSocketNotifier>

namespace quorvel {

struct Application::Parts
{
    Parts(const Paths &p, Backend b)
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
        if (!backend.journal)
            backend.journal = &nullJournal;
    }

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
    NullJournal nullJournal;
    std::vector<std::unique_ptr<QSocketNotifier>> notifiers;

    std::unique_ptr<TfrmMain> frmMain;
    std::unique_ptr<TQuorvel> quorvelForm;
    std::unique_ptr<TfrmGetVar> frmGetVar;
    std::unique_ptr<MacroRunner> runner;
    std::unique_ptr<HotKeyBindings> hotKeys;
    std::unique_ptr<StopRecordHotKey> EPHotkeyStopRecord;
    std::unique_ptr<TriggerScan> scan;
    QMetaObject::Connection beforeBlocking;
};

Application::Application(const Paths &paths, Backend backend)
    : m_parts(std::make_unique<Parts>(paths, std::move(backend)))
{
}

Application::~Application()
{
    // The backend outlives us: nothing of it may call back into what is going away.
    QObject::disconnect(m_parts->beforeBlocking);
    m_parts->backend.journal->OnFinished = nullptr;
    if (m_parts->backend.setApplicationActiveQuery)
        m_parts->backend.setApplicationActiveQuery({});
}

void Application::start(const std::vector<std::string> &arguments)
{
    auto &p = *m_parts;

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

    TfrmMain::Hooks hooks;
    hooks.processHotKey = [&p](int n) { p.runner->ProcessHotKey(n); };
    hooks.tmr1Tick = [&p] { p.runner->tmr1Timer(); };
    hooks.timer1Tick = [&p] { p.scan->Timer1Timer(); };
    hooks.bindHotKeys = [&p] {
        if (p.hotKeys)
            p.hotKeys->BindHotKeys(p.catalogue);
        else
            p.frmMain->LoadMacroList();
    };
    hooks.keyName = p.backend.keyName;
    p.frmMain = std::make_unique<TfrmMain>(p.catalogue, p.errors, hooks);
    p.frmGetVar = std::make_unique<TfrmGetVar>();

    PlaybackServices services {
        *p.backend.keys,
        *p.backend.keyboard,
        p.pump,
        *p.backend.windows,
        p.launcher,
        *p.backend.journal,
        *p.frmGetVar,
        p.dateTime,
        *p.frmMain,
        p.catalogue,
        p.paths.programFolder,
    };
    p.runner = std::make_unique<MacroRunner>(services);
    p.backend.journal->OnFinished = [&p](bool) { p.runner->journalFinished(); };
    p.scan = std::make_unique<TriggerScan>(
        p.catalogue, *p.backend.windows, p.pump, [&p](int n) { p.runner->ProcessHotKey(n); });
    if (p.backend.hotKeys) {
        p.hotKeys = std::make_unique<HotKeyBindings>(
            *p.backend.hotKeys, &p.errors,
            [&p](int slot) {
                p.runner->EPHotKey0HotKey(slot,
                    static_cast<KeyCode>(p.hotKeys->EPHotKey(slot).HotKey() & hotkey::KeyMask));
            },
            [&p] { p.frmMain->LoadMacroList(); });
        p.EPHotkeyStopRecord = std::make_unique<StopRecordHotKey>(*p.backend.hotKeys, &p.errors);
    }

    p.frmMain->FormCreate();
    p.quorvelForm = std::make_unique<TQuorvel>(
        *p.frmMain, p.catalogue, p.errors, [&p] { return p.runner->lastRunStatus(); });
    p.quorvelForm->FormCreate();

    p.quorvelForm->DoCommandLine(arguments);

    if (p.store.readBool(settings::Main, settings::FirstRun, true)) {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        const auto middle = centred(p.frmMain->width(), p.frmMain->height(),
            Rect { area.left(), area.top(), area.width(), area.height() });
        p.frmMain->move(middle.left, middle.top);
        p.frmMain->show();
        runGuarded(
            p.errors, [&p] { p.store.writeString(settings::Main, settings::FirstRun, "0"); });
    }
}

} // namespace quorvel
