// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/ApplicationFormModel.h"
#include "shell/TrayModel.h"

#include <QSystemTrayIcon>
#include <QWidget>

class QAction;
class QMenu;
class QTimer;

namespace quorvel {

// The hidden application window: the tray icon TrayIcon1 with its menu PopupMenu1, and the
// PlaybackTimer. Its rules live in the models.
class TQuorvel : public QWidget, public ApplicationFormView, public TrayView
{
    Q_OBJECT

public:
    TQuorvel(ApplicationFormModel &model, TrayModel &tray);
    ~TQuorvel() override;

    // The menu's item by its name (Open1, mnuShowHints, ...); null for an unknown name.
    QAction *menuItem(const QString &name) const;

    // Which protocol Qt speaks with the desktop's tray: a registered StatusNotifier watcher
    // makes it use D-Bus, else XEmbed.
    static TrayHost detectTrayHost();

    // ApplicationFormView
    void hideOffScreen() override;
    void setPlaybackTimer(bool running) override;
    // TrayView
    void setOpenEnabled(bool enabled) override;
    void setShowHintsChecked(bool checked) override;
    void setStartWithDesktopChecked(bool checked) override;
    void showAbout() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void fillMenu(QMenu *menu, const std::vector<TrayMenuItem> &items);

    // The controls, reached from outside by their object names; PopupMenu1 is the icon's
    // context menu.
    QTimer *PlaybackTimer = nullptr;
    QSystemTrayIcon *TrayIcon1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    ApplicationFormModel &m_model;
    TrayModel &m_tray;
};

} // namespace quorvel
