#pragma once

#include "mainwindow/MainWindowModel.h"

#include <QTimer>
#include <QWidget>

class QPushButton;
class QTreeWidget;

namespace quorvel {

// The main window: the macro list, the trigger-scan timer Timer1 and the wait timer tmr1.
// Its rules live in the model.
class TfrmMain : public QWidget, public MainWindowView
{
    Q_OBJECT

public:
    explicit TfrmMain(MainWindowModel &model);

    QTreeWidget *lvMacro = nullptr;
    QPushButton *cmdClose = nullptr;
    QTimer Timer1;
    QTimer tmr1;

    // MainWindowView
    void loadRows(const std::vector<MacroListRow> &rows) override;
    void showWindow() override;
    void hideWindow() override;
    bool windowVisible() const override;
    Rect windowGeometry() const override;
    void setWindowGeometry(const Rect &geometry) override;
    Rect screenArea() const override;
    void setScanTimer(int intervalMs, bool running) override;
    void setWaitTimer(int intervalMs, bool running) override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    MainWindowModel &m_model;
    bool m_scanQueued = false;
};

} // namespace quorvel
