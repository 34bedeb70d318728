// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/forms/TQuorvel.h"

#include "components/forms/Artwork.h"
#include "shell/forms/TAboutBox.h"

#include <QCloseEvent>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QMenu>
#include <QTimer>

namespace quorvel {

namespace {

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString withoutAmpersand(QString caption)
{
    return caption.remove(QLatin1Char('&'));
}

} // namespace

TQuorvel::TQuorvel(ApplicationFormModel &model, TrayModel &tray)
    : QWidget(nullptr, Qt::Tool)
    , m_model(model)
    , m_tray(tray)
{
    setObjectName(QStringLiteral("Quorvel"));
    PlaybackTimer = new QTimer(this);
    PlaybackTimer->setObjectName(QStringLiteral("PlaybackTimer"));
    PlaybackTimer->setInterval(ApplicationFormModel::PlaybackTimerInterval);
    connect(PlaybackTimer, &QTimer::timeout, this, [this] { m_model.PlaybackTimerTimer(); });

    // No parent: a menu owned by a hidden window would not be announced to assistive tools.
    PopupMenu1 = new QMenu;
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    fillMenu(PopupMenu1, trayMenu());
    connect(PopupMenu1, &QMenu::aboutToShow, this, [this] { m_tray.refreshStartWithDesktop(); });

    TrayIcon1 = new QSystemTrayIcon(productIcon(), this);
    TrayIcon1->setObjectName(QStringLiteral("TrayIcon1"));
    TrayIcon1->setToolTip(qs(cutTip(tray::Tip)));
    TrayIcon1->setContextMenu(PopupMenu1);
    connect(TrayIcon1, &QSystemTrayIcon::activated, this,
        [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::DoubleClick)
                m_tray.TrayIcon1DblClick();
            else if (reason == QSystemTrayIcon::Trigger)
                m_tray.TrayIcon1Click();
        });

    m_model.setView(*this);
    m_tray.setView(*this);
    m_tray.setHost(detectTrayHost());
    TrayIcon1->show();
}

TQuorvel::~TQuorvel()
{
    delete TrayIcon1;
    delete PopupMenu1;
}

void TQuorvel::fillMenu(QMenu *menu, const std::vector<TrayMenuItem> &items)
{
    for (const auto &item : items) {
        const QString name = qs(item.name);
        if (item.separator()) {
            menu->addSeparator()->setObjectName(name);
            continue;
        }
        const QString caption = qs(item.caption);
        if (item.submenu()) {
            QMenu *sub = menu->addMenu(caption);
            sub->setObjectName(name + QStringLiteral("Menu"));
            sub->menuAction()->setObjectName(name);
            sub->setAccessibleName(withoutAmpersand(caption));
            fillMenu(sub, item.items);
            continue;
        }
        QAction *action = menu->addAction(caption);
        action->setObjectName(name);
        action->setCheckable(item.checkable);
        connect(action, &QAction::triggered, this, [this, key = item.name](bool) {
            // Check marks follow the model, not Qt's own toggle.
            m_tray.choose(key);
            if (key == "mnuShowHints")
                setShowHintsChecked(m_tray.showHints());
            else if (key == "mnuStartWithDesktop")
                setStartWithDesktopChecked(m_tray.startWithDesktop());
        });
    }
}

QAction *TQuorvel::menuItem(const QString &name) const
{
    return PopupMenu1->findChild<QAction *>(name, Qt::FindChildrenRecursively);
}

TrayHost TQuorvel::detectTrayHost()
{
    // The same question Qt asks before it picks D-Bus: a watcher with a host behind it.
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(watcher))
        return TrayHost::XEmbed;
    QDBusInterface host(watcher, QStringLiteral("/StatusNotifierWatcher"), watcher, bus);
    return host.isValid() && host.property("IsStatusNotifierHostRegistered").toBool()
        ? TrayHost::StatusNotifier
        : TrayHost::XEmbed;
}

void TQuorvel::hideOffScreen()
{
    move(-5000, 0);
    hide();
}

void TQuorvel::setPlaybackTimer(bool running)
{
    if (running)
        PlaybackTimer->start();
    else
        PlaybackTimer->stop();
}

void TQuorvel::setOpenEnabled(bool enabled)
{
    if (QAction *open = menuItem(QStringLiteral("Open1")))
        open->setEnabled(enabled);
}

void TQuorvel::setShowHintsChecked(bool checked)
{
    if (QAction *hints = menuItem(QStringLiteral("mnuShowHints")))
        hints->setChecked(checked);
}

void TQuorvel::setStartWithDesktopChecked(bool checked)
{
    if (QAction *item = menuItem(QStringLiteral("mnuStartWithDesktop")))
        item->setChecked(checked);
}

void TQuorvel::showAbout()
{
    TAboutBox box(readAboutFigures());
    box.exec();
}

void TQuorvel::closeEvent(QCloseEvent *event)
{
    event->accept();
    m_model.FormClose();
}

} // namespace quorvel
