// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mainwindow/MainWindowModel.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QStatusBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace quorvel {

// The main window: the macro list and its commands. Its rules live in the model; the form
// shows and forwards.
class TfrmMain : public QWidget, public MainWindowView
{
    Q_OBJECT

public:
    explicit TfrmMain(MainWindowModel &model);
    ~TfrmMain() override;

    // MainWindowView
    void loadRows(const std::vector<MacroListRow> &rows) override;
    int rowCount() const override;
    int selectedRow() const override;
    int focusedRow() const override;
    void removeRow(int row) override;
    void setStatusText(const std::string &text) override;
    void setCommandEnabled(SelectionCommand command, bool enabled) override;
    int outerHeight() const override;
    void applyLayout(const MainWindowLayout &layout) override;
    bool isForegroundWindow() const override;
    bool confirmWarning(const std::string &text) override;
    void showWizard() override;
    // One row added at the end, until the next reload.
    void appendRow(const MacroListRow &row);
    // Opens the wizard modally; set by the application.
    std::function<void()> openWizard;
    void showProperties(int n) override;
    // Opens the properties dialog for record n modally; set by the application.
    std::function<void(int)> openProperties;
    void showWindow() override;
    void hideWindow() override;
    bool windowVisible() const override;
    Rect windowGeometry() const override;
    void setWindowGeometry(const Rect &geometry) override;
    Rect screenArea() const override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    // Key preview and the list's mouse events.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void keyReleased(QObject *watched, QEvent *event);
    void createMenu();
    QTreeWidgetItem *makeItem(const MacroListRow &row);

    // The controls, reached from outside by their object names.
    QLabel *EPImage1 = nullptr;
    QTreeWidget *lvMacro = nullptr;
    QPushButton *cmdHelp = nullptr;
    QPushButton *cmdNew = nullptr;
    QPushButton *cmdProperties = nullptr;
    QPushButton *cmdDeleteMacro = nullptr;
    QPushButton *cmdClose = nullptr;
    QStatusBar *Stat1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QAction *mnuNew = nullptr;
    QAction *mnuDelete = nullptr;
    QMenu *mnuCreateShortcut = nullptr;
    QAction *mnuDesktop = nullptr;
    QAction *mnuStartMenu = nullptr;
    QAction *mnuProgramsMenu = nullptr;
    QAction *mnuStartUpFolder = nullptr;
    QAction *mnuFavorites = nullptr;
    QAction *mnuPersonal = nullptr;
    QAction *mnuPrint = nullptr;
    QAction *mnuProperties = nullptr;

    MainWindowModel &m_model;
    // A key release the window has handled, while Qt passes it on to the parents.
    const QEvent *m_lastKeyUp = nullptr;
    QPointer<QWidget> m_lastKeyUpTarget;
};

} // namespace quorvel
