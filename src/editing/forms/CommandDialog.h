// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editing/InsertionModel.h"

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

class QAbstractButton;
class QHBoxLayout;
class QRadioButton;
class QLineEdit;
class QPushButton;

namespace quorvel {

// What the command dialogs share: a modal window centred on the screen, its controls bound
// to the model's fields and filled from them on every showing, OK and Cancel, and a hidden
// carrier edit that takes a token on its way into the advanced text. Esc and the close box go
// to the model's Cancel.
class CommandDialog : public QDialog
{
    Q_OBJECT

public:
    CommandDialog(InsertionModel &model, insertion::Window which, const QString &caption,
        const char *carrierName, Qt::WindowFlags flags, QWidget *parent);

    insertion::Window which() const { return m_which; }
    // edtText or edtTemp.
    QLineEdit *carrier() const { return m_carrier; }
    // The controls take the model's fields.
    void loadFields();
    // Hides the dialog and ends its modal showing.
    void closeDialog();
    // The edit of that name takes the focus with its text selected.
    void focusField(const char *name);

protected:
    QPushButton *makeButton(const QString &caption, const char *name);
    // The time field (edit) and its unit choices, made, bound to the fields and laid out as
    // the waits show them.
    QHBoxLayout *makeTimeRow(std::string &time, bool &minutes, QLineEdit *&edit);
    // OK, which runs ok, and Cancel, right-aligned.
    QHBoxLayout *okCancelRow(std::function<void()> ok, bool okIsDefault);
    // A fixed width, and the height its word-wrapped texts need at that width.
    void setFixedWidthAndHeight(int width);
    // Without a cancel button Esc does nothing, as on the platform's own dialogs.
    void setEscapeCancels(bool on) { m_escapeCancels = on; }
    // Focused, its text selected, on every showing.
    void setInitialFocus(QLineEdit *edit) { m_first = edit; }
    // The user's changes to the control go to field, a member of the model that outlives us,
    // and the field is shown on every showing.
    void bindText(QLineEdit *edit, std::string &field);
    // on is checked while field is set, otherwise off.
    void bindChoice(QAbstractButton *on, QAbstractButton *off, bool &field);

    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void reject() override;

    InsertionModel &m_model;

private:
    static void selectField(QLineEdit *edit);

    insertion::Window m_which;
    QLineEdit *m_carrier = nullptr;
    QLineEdit *m_first = nullptr;
    std::vector<std::function<void()>> m_loaders;
    bool m_escapeCancels = true;
    bool m_loading = false;
};

// A masked edit for up to three digits, blanks shown as "_".
QLineEdit *numberEdit(QWidget *parent, const char *name, const char *accessibleName);

} // namespace quorvel
