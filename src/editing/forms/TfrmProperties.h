// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editing/PropertiesModel.h"
#include "editing/forms/EditorDialog.h"

#include <map>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace quorvel {

// "Macro Properties": shows one macro's controls by its kind and forwards every event to the
// model.
class TfrmProperties : public EditorDialog, public PropertiesView
{
    Q_OBJECT

public:
    explicit TfrmProperties(PropertiesModel &model, QWidget *parent = nullptr);

    // Opens record n and shows the dialog modally; returns when it closes. Hiding it for a
    // recording does not end the showing.
    void showModal(int n);

    // PropertiesView
    void setTypeText(const std::string &text) override;
    void setControlVisible(properties::Control control, bool visible) override;
    void loadFields(const PropertiesFields &fields) override;
    void setButtonEnabled(properties::Button button, bool enabled) override;
    void setFocus(properties::Focus focus) override;
    void clearPracticeKeys() override;

protected:
    void hideEvent(QHideEvent *event) override;

private:
    void connectFields();

    PropertiesModel &m_model;
    bool m_loading = false;

    std::map<properties::Control, QList<QWidget *>> m_controls;
    std::map<properties::Button, QPushButton *> m_buttons;
    QLabel *lblType = nullptr;
    QLineEdit *edtMacroName = nullptr;
    QLineEdit *edtFileName = nullptr, *edtParameters = nullptr, *edtStartIn = nullptr;
    QPushButton *cmdBrowse = nullptr, *cmdBrowseFolder = nullptr, *cmdEditManKeys = nullptr;
    QRadioButton *optNormalSpeed = nullptr, *optHighSpeed = nullptr;
    QLineEdit *edtTrigger = nullptr;
    QPlainTextEdit *mmoKeys = nullptr;
};

} // namespace quorvel
