// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editing/InsertionModel.h"
#include "editing/MacroCheckModel.h"
#include "editing/WizardModel.h"
#include "editing/forms/EditorDialog.h"

#include <map>
#include <memory>

class QComboBox;
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
class TfrmWizard : public EditorDialog, public WizardView
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

    // Shown modally over the application; returns when the wizard closes. Hiding it for a
    // recording does not end the showing.
    void showModal() { runModal(); }

    // WizardView
    void showPage(wizard::Page page) override;
    void setButtonEnabled(wizard::Button button, bool enabled) override;
    void setButtonVisible(wizard::Button button, bool visible) override;
    void setFocus(wizard::Focus focus) override;
    void loadFields(const WizardFields &fields) override;
    void showSummary(const WizardSummary &summary) override;
    void setEditPictureVisible(bool visible) override;
    void showMessage(const std::string &text) override;
    bool askYesNo(const std::string &text) override;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *makePage(wizard::Page page, const QString &title);
    QPushButton *makeButton(wizard::Button button, const QString &caption, QWidget *parent);
    void buildStartPage();
    void buildNamePage();
    void buildTriggersPage();
    void buildStartAppPage();
    void buildKeysTypePage();
    void buildRecordKeysPage();
    void buildRecordMousePage();
    void buildManualKeysPage();
    void buildFinishedPage();
    void buildButtonRow();
    void connectFields();
    // The advanced text's findings and dry run as the checker has them now.
    void showCheck();
    void checkNow();

    WizardModel &m_model;
    InsertionModel *m_insertion = nullptr;
    MacroCheckModel *m_check = nullptr;
    std::unique_ptr<InsertionDialogs> m_insertionDialogs;
    bool m_loading = false;

    QStackedWidget *m_pages = nullptr;
    std::map<wizard::Page, QWidget *> m_pnl;
    std::map<wizard::Button, QPushButton *> m_buttons;
    QRadioButton *optRecKeys = nullptr, *optRecMouse = nullptr, *optStartApp = nullptr;
    QRadioButton *optCapture = nullptr, *optManual = nullptr;
    QRadioButton *optNormalSpeed = nullptr, *optHighSpeed = nullptr;
    QLineEdit *edtMacroName = nullptr;
    QLineEdit *edtTrigger = nullptr;
    QComboBox *cbShortCuts = nullptr;
    QLineEdit *edtCommandLine = nullptr, *edtParameters = nullptr, *edtStartIn = nullptr;
    QPushButton *cmdBrowse = nullptr, *cmdBrowseFolder = nullptr;
    QPushButton *cmdHotKeyHelp = nullptr, *cmdTriggerHelp = nullptr;
    QPlainTextEdit *mmoKeys = nullptr, *mmoManKeys = nullptr;
    // The picture beside the button row while the advanced text of a macro is edited.
    QLabel *imgEdit = nullptr;
    // Carries a menu's token on its way into mmoManKeys; never shown.
    QLineEdit *edtSpecialKeys = nullptr;
    // Under mmoManKeys: the checker's findings, and the dry run with its button.
    QPlainTextEdit *mmoCheck = nullptr, *mmoDryRun = nullptr;
    QPushButton *cmdDryRun = nullptr;
    MacroHighlighter *m_highlighter = nullptr;
    QTimer *m_checkTimer = nullptr;
    QLabel *lblMacroName = nullptr, *lblMacroType = nullptr, *lblShortcutKeys = nullptr,
           *lblWTrigger = nullptr;
};

} // namespace quorvel
