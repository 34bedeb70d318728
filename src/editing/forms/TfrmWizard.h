// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "components/forms/THotKeyEdit.h"
#include "editing/InsertionModel.h"
#include "editing/MacroCheckModel.h"
#include "editing/WizardModel.h"

#include <QDialog>
#include <map>
#include <memory>

class QComboBox;
class QEventLoop;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTimer;

namespace quorvel {

class InsertionDialogs;
class MacroHighlighter;
class TEPMenuButton;

// "Macro Assistant": shows the model's page and forwards every event to it.
class TfrmWizard : public QDialog, public WizardView
{
    Q_OBJECT

public:
    explicit TfrmWizard(WizardModel &model, QWidget *parent = nullptr);
    ~TfrmWizard() override;

    // The advanced page's menus and command dialogs work once this is set; the dialogs are
    // made here, once.
    void setInsertionModel(InsertionModel &model);
    InsertionDialogs *insertionDialogs() const { return m_insertionDialogs.get(); }
    // The advanced page's findings and dry run work once this is set.
    void setCheckModel(MacroCheckModel &model);
    // How long the typing must pause before the text is checked.
    static constexpr int CheckDelayMs = 300;

    // Shown modally over the application; returns when the wizard closes. Hiding it for a
    // recording does not end the showing.
    void showModal();
    // The platform's key table and names for the hot-key box.
    void setHotKeyLookups(THotKeyEdit::KeycodeLookup virtualKeyOfKeycode, KeyNameLookup keyName)
    {
        HotKey1->setKeyLookups(std::move(virtualKeyOfKeycode), std::move(keyName));
    }

    // WizardView
    void showPage(wizard::Page page) override;
    void setButtonEnabled(wizard::Button button, bool enabled) override;
    void setButtonVisible(wizard::Button button, bool visible) override;
    void setFocus(wizard::Focus focus) override;
    void loadFields(const WizardFields &fields) override;
    void showSummary(const WizardSummary &summary) override;
    void showHotKeyStatus(const std::string &text) override;
    void setEditPictureVisible(bool visible) override;
    void showError(const std::string &text) override;
    void showMessage(const std::string &text) override;
    bool askYesNo(const std::string &text) override;
    std::string chooseFile(const std::string &filter) override;
    std::string chooseFolder(const std::string &prompt) override;
    void hideWindow() override;
    void showWindow() override;
    void closeWindow() override;

    QStackedWidget *pages = nullptr;
    std::map<wizard::Page, QWidget *> pnl;
    std::map<wizard::Button, QPushButton *> buttons;
    QRadioButton *optRecKeys = nullptr, *optRecMouse = nullptr, *optStartApp = nullptr;
    QRadioButton *optCapture = nullptr, *optManual = nullptr;
    QRadioButton *optNormalSpeed = nullptr, *optHighSpeed = nullptr;
    QLineEdit *edtMacroName = nullptr;
    // Stands in for the hot-key box until it is built: shows the value's text only.
    THotKeyEdit *HotKey1 = nullptr;
    QLineEdit *edtTrigger = nullptr;
    QComboBox *cbShortCuts = nullptr;
    QLineEdit *edtCommandLine = nullptr, *edtParameters = nullptr, *edtStartIn = nullptr;
    QPushButton *cmdBrowse = nullptr, *cmdBrowseFolder = nullptr;
    QPushButton *cmdHotKeyHelp = nullptr, *cmdTriggerHelp = nullptr;
    QPlainTextEdit *mmoKeys = nullptr, *mmoManKeys = nullptr;
    // The picture beside the button row while the advanced text of a macro is edited.
    QLabel *imgEdit = nullptr;
    QLabel *lblHotKeyStatus = nullptr;
    // The advanced page's menu buttons by the model's names.
    std::map<insertion::Menu, TEPMenuButton *> menus;
    QPushButton *cmdDelay = nullptr;
    // Carries a menu's token on its way into mmoManKeys; never shown.
    QLineEdit *edtSpecialKeys = nullptr;
    // Under mmoManKeys: the checker's findings, and the dry run with its button.
    QPlainTextEdit *mmoCheck = nullptr, *mmoDryRun = nullptr;
    QPushButton *cmdDryRun = nullptr;
    MacroHighlighter *highlighter = nullptr;
    QTimer *checkTimer = nullptr;
    QLabel *lblMacroName = nullptr, *lblMacroType = nullptr, *lblShortcutKeys = nullptr,
           *lblWTrigger = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void reject() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *makePage(wizard::Page page, const QString &title);
    QPushButton *makeButton(wizard::Button button, const QString &caption, QWidget *parent);
    void connectFields();
    void endShowing();
    void checkText();
    void dryRunText();

    WizardModel &m_model;
    InsertionModel *m_insertion = nullptr;
    MacroCheckModel *m_check = nullptr;
    std::unique_ptr<InsertionDialogs> m_insertionDialogs;
    QEventLoop *m_loop = nullptr;
    bool m_loading = false;
};

} // namespace quorvel
