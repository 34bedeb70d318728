#include "forms/TfrmMain.h"

#include "app/frame/Placement.h"
#include "catalogue/MacroList.h"
#include "qt/QtPlatform.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quorvel {

TfrmMain::TfrmMain(Catalogue &catalogue, ErrorDisplay &errors, Hooks hooks)
    : m_catalogue(catalogue)
    , m_errors(errors)
    , m_hooks(std::move(hooks))
{
    setWindowTitle(QStringLiteral("Ostrin Quorvel"));
    setObjectName(QStringLiteral("frmMain"));
    resize(kDefaultWidth, kDefaultHeight);

    lvMacro = new QTreeWidget(this);
    lvMacro->setObjectName(QStringLiteral("lvMacro"));
    lvMacro->setRootIsDecorated(false);
    lvMacro->setSelectionMode(QAbstractItemView::SingleSelection);
    lvMacro->setHeaderLabels({ QStringLiteral("Macro Name"), QStringLiteral("Shortcut Keys"),
        QStringLiteral("Window Trigger") });
    lvMacro->header()->setSectionsClickable(false);
    lvMacro->setColumnWidth(0, 200);
    lvMacro->setColumnWidth(1, 90);
    lvMacro->setColumnWidth(2, 105);

    cmdClose = new QPushButton(QStringLiteral("Hide"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lvMacro);
    layout->addLayout(buttons);

    connect(cmdClose, &QPushButton::clicked, this, &TfrmMain::cmdCloseClick);
    // Qt holds back a timer's next timeout while the slot of the last one still runs, so a
    // trigger whose run pumps for seconds would keep every other trigger waiting. The tick
    // runs from a queued call instead: the timer is free again, and its later timeouts reach
    // the scan inside the pumps of that run.
    connect(&Timer1, &QTimer::timeout, this, [this] {
        if (m_scanQueued)
            return;
        m_scanQueued = true;
        QMetaObject::invokeMethod(this, &TfrmMain::Timer1Timer, Qt::QueuedConnection);
    });
    connect(&tmr1, &QTimer::timeout, this, &TfrmMain::tmr1Timer);
}

void TfrmMain::FormCreate()
{
    LoadMacroList();
    if (m_hooks.bindHotKeys)
        runGuarded(m_errors, m_hooks.bindHotKeys);
    const int interval = m_catalogue.store().readInteger(
        settings::Main, settings::SearchInterval, settings::SearchIntervalDefault);
    // An interval of 0 (or less) leaves the scan without a period: no trigger ever fires.
    if (interval > 0) {
        Timer1.setInterval(interval);
        Timer1.start();
    }
    tmr1.setInterval(10000);
    tmr1.start();
    runGuarded(m_errors, [this] { m_catalogue.resetTriggerMemory(); });
}

void TfrmMain::LoadMacroList()
{
    lvMacro->clear();
    for (const auto &row : quorvel::LoadMacroList(m_catalogue, m_hooks.keyName)) {
        auto *item = new QTreeWidgetItem(lvMacro);
        item->setText(0, QString::fromStdString(row.caption));
        item->setText(1, QString::fromStdString(row.hotKeyText));
        item->setText(2, QString::fromStdString(row.trigger));
        item->setData(0, Qt::UserRole, row.imageIndex);
    }
}

void TfrmMain::ProcessHotKey(int n)
{
    if (m_hooks.processHotKey)
        m_hooks.processHotKey(n);
}

void TfrmMain::SetPosition()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const Rect screenRect { area.left(), area.top(), area.width(), area.height() };
    if (const auto placed = storedPlacement(m_catalogue.store(), screenRect)) {
        resize(placed->width, placed->height);
        move(placed->left, placed->top);
    } else {
        const auto middle = centred(width(), height(), screenRect);
        move(middle.left, middle.top);
    }
}

void TfrmMain::SavePosition()
{
    runGuarded(m_errors, [this] {
        savePlacement(m_catalogue.store(), Rect { x(), y(), width(), height() });
    });
}

void TfrmMain::setScanTimerEnabled(bool enabled)
{
    if (enabled && Timer1.interval() > 0)
        Timer1.start();
    else
        Timer1.stop();
}

void TfrmMain::setWaitTimer(int intervalMs, bool enabled)
{
    tmr1.setInterval(intervalMs);
    if (enabled)
        tmr1.start();
    else
        tmr1.stop();
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    if (isVisible())
        SavePosition();
    event->accept();
    // The main window is the application's main window: closing it ends the program.
    QCoreApplication::quit();
}

void TfrmMain::cmdCloseClick()
{
    hide();
    SavePosition();
}

void TfrmMain::Timer1Timer()
{
    m_scanQueued = false;
    // A timed wait may have switched the scan off since the tick was queued.
    if (!Timer1.isActive())
        return;
    if (m_hooks.timer1Tick)
        runGuarded(m_errors, m_hooks.timer1Tick);
}

void TfrmMain::tmr1Timer()
{
    if (m_hooks.tmr1Tick)
        m_hooks.tmr1Tick();
}

} // namespace quorvel
