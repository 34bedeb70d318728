// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace quorvel {

// The platform's one-line input box: a caption, a prompt, one edit, OK and Cancel.
class TInputQuery : public QDialog
{
    Q_OBJECT

public:
    explicit TInputQuery(QWidget *parent = nullptr);

    // Shown modally with value in the edit; the edit's text on OK, nothing on Cancel.
    std::optional<std::string> ask(
        const std::string &caption, const std::string &prompt, const std::string &value);

protected:
    void showEvent(QShowEvent *event) override;

private:
    QLabel *lblPrompt = nullptr;
    QLineEdit *edtAnswer = nullptr;
    QPushButton *cmdOK = nullptr, *cmdCancel = nullptr;
};

} // namespace quorvel
