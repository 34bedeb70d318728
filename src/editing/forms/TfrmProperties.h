// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "components/forms/THotKeyEdit.h"
#include "editing/PropertiesModel.h"

#include <QDialog>
#include <map>

class QEventLoop;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace quorvel {

// "Macro Properties": shows one macro's controls by its kind and forwards every event to the
// model.
class TfrmProperties : public QDialog, public PropertiesView
{
    Q_OBJECT

public:
    explicit TfrmProperties(PropertiesModel &model, QWidget *parent = nullptr);

    // Opens record n and shows the dialog modally; returns when it closes. Hiding it for a
    // recording does not end the showing.
    void showModal(int n);
    void setHotKeyLookups(THotKeyEdit::KeycodeLookup virtualKeyOfKeycode, KeyNameLookup keyName)
    {
        HotKey1->setKeyLookups(std::move(virtualKeyOfKeycode), std::move(keyName));
    }

    // PropertiesView
    void setTypeText(const std::string &text) override;
    void showHotKeyStatus(const std::string &text) override;
    void setControlVisible(properties::Control control, bool visible) override;
    void loadFields(const PropertiesFields &fields) override;
    void setButtonEnabled(properties::Button button, bool enabled) override;
    void setFocus(properties::Focus focus) override;
    void clearPracticeKeys() override;
    void showError(const std::string &text) override;
    std::string chooseFile(const std::string &filter) override;
    std::string chooseFolder(const std::string &prompt) override;
    void hideWindow() override;
    void showWindow() override;
    void closeWindow() override;

    std::map<properties::Control, QList<QWidget *>> controls;
    std::map<properties::Button, QPushButton *> buttons;
    QLabel *lblType = nullptr;
    QLabel *lblHotKeyStatus = nullptr;
    QLineEdit *edtMacroName = nullptr;
    QLineEdit *edtFileName = nullptr, *edtParameters = nullptr, *edtStartIn = nullptr;
    QPushButton *cmdBrowse = nullptr, *cmdBrowseFolder = nullptr, *cmdEditManKeys = nullptr;
    QRadioButton *optNormalSpeed = nullptr, *optHighSpeed = nullptr;
    THotKeyEdit *HotKey1 = nullptr;
    QLineEdit *edtTrigger = nullptr;
    QPlainTextEdit *mmoKeys = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void reject() override;

private:
    void connectFields();

    PropertiesModel &m_model;
    QEventLoop *m_loop = nullptr;
    bool m_loading = false;
};

} // namespace quorvel
