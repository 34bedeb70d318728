// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editing/InsertionModel.h"

#include <QDialog>
#include <string>

class QAbstractButton;
class QHBoxLayout;
class QRadioButton;
class QLineEdit;
class QPushButton;

namespace quorvel {

// What the command dialogs share: a modal window centred on the screen, filled from the
// model on every showing, with a hidden carrier edit that takes a token on its way into the
// advanced text. Esc and the close box go to the model's Cancel.
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
    virtual void loadFields() = 0;
    // Hides the dialog and ends its modal showing.
    void closeDialog();

protected:
    virtual QLineEdit *initialFocus() = 0;
    QPushButton *makeButton(const QString &caption, const char *name);
    QRadioButton *makeChoice(const QString &caption, const char *name);
    // The time field and its unit choices, made and laid out as the waits show them.
    QHBoxLayout *makeTimeRow(QLineEdit *&time, QRadioButton *&seconds, QRadioButton *&minutes);
    // OK and Cancel, right-aligned.
    static QHBoxLayout *buttonRow(QPushButton *ok, QPushButton *cancel);
    // A fixed width, and the height its word-wrapped texts need at that width.
    void setFixedWidthAndHeight(int width);
    // Without a cancel button Esc does nothing, as on the platform's own dialogs.
    void setEscapeCancels(bool on) { m_escapeCancels = on; }
    // Field changes are written to the model except while the fields are being loaded.
    bool loading() const { return m_loading; }
    // The user's changes to the control go to field, a member of the model that outlives us.
    void bindText(QLineEdit *edit, std::string &field);
    void bindChoice(QAbstractButton *button, bool &field);
    void beginLoading() { m_loading = true; }
    void endLoading() { m_loading = false; }

    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void reject() override;

    InsertionModel &m_model;

private:
    insertion::Window m_which;
    QLineEdit *m_carrier = nullptr;
    bool m_escapeCancels = true;
    bool m_loading = false;
};

// A masked edit for up to three digits, blanks shown as "_".
QLineEdit *numberEdit(QWidget *parent, const char *name, const char *accessibleName);

} // namespace quorvel
