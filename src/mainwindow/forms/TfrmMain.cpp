#include "mainwindow/forms/TfrmMain.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quorvel {

namespace {
void setTimer(QTimer &timer, int intervalMs, bool running)
{
    timer.setInterval(intervalMs);
    if (running)
        timer.start();
    else
        timer.stop();
}
} // namespace

TfrmMain::TfrmMain(MainWindowModel &model)
    : m_model(model)
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

    connect(cmdClose, &QPushButton::clicked, this, [this] { m_model.cmdCloseClick(); });
    // Qt holds back a timer's next timeout while the slot of the last one still runs, so a
    // trigger whose run pumps for seconds would keep every other trigger waiting. The tick
    // runs from a queued call instead: the timer is free again, and its later timeouts reach
    // the scan inside the pumps of that run.
    connect(&Timer1, &QTimer::timeout, this, [this] {
        if (m_scanQueued)
            return;
        m_scanQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_scanQueued = false;
                // A timed wait may have switched the scan off since the tick was queued.
                if (Timer1.isActive())
                    m_model.Timer1Timer();
            },
            Qt::QueuedConnection);
    });
    connect(&tmr1, &QTimer::timeout, this, [this] { m_model.tmr1Timer(); });
    m_model.setView(*this);
}

void TfrmMain::loadRows(const std::vector<MacroListRow> &rows)
{
    lvMacro->clear();
    for (const auto &row : rows) {
        auto *item = new QTreeWidgetItem(lvMacro);
        item->setText(0, QString::fromStdString(row.caption));
        item->setText(1, QString::fromStdString(row.hotKeyText));
        item->setText(2, QString::fromStdString(row.trigger));
        item->setData(0, Qt::UserRole, row.imageIndex);
    }
}

void TfrmMain::showWindow()
{
    show();
}

void TfrmMain::hideWindow()
{
    hide();
}

bool TfrmMain::windowVisible() const
{
    return isVisible();
}

Rect TfrmMain::windowGeometry() const
{
    return Rect { x(), y(), width(), height() };
}

void TfrmMain::setWindowGeometry(const Rect &geometry)
{
    resize(geometry.width, geometry.height);
    move(geometry.left, geometry.top);
}

Rect TfrmMain::screenArea() const
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    return Rect { area.left(), area.top(), area.width(), area.height() };
}

void TfrmMain::setScanTimer(int intervalMs, bool running)
{
    setTimer(Timer1, intervalMs, running);
}

void TfrmMain::setWaitTimer(int intervalMs, bool running)
{
    setTimer(tmr1, intervalMs, running);
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    event->accept();
    m_model.FormClose();
}

} // namespace quorvel
