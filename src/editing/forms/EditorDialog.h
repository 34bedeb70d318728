// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "components/forms/THotKeyEdit.h"
#include "editing/EditorModel.h"

#include <QDialog>
#include <vector>

class QEventLoop;
class QLabel;
class QPushButton;

namespace quorvel {

// What the wizard and the properties dialog share as windows: a modal showing that hiding for
// a recording does not end, centred on the screen; F1, Esc and the close box to the model;
// the hot-key box with its line; and the boxes and file dialogs their models ask for.
class EditorDialog : public QDialog, public virtual EditorWindowView
{
    Q_OBJECT

public:
    EditorDialog(EditorModel &model, const char *name, const QString &title, QWidget *parent);
    ~EditorDialog() override;

    // The platform's key table and names for the hot-key box.
    void setHotKeyLookups(THotKeyEdit::KeycodeLookup virtualKeyOfKeycode, KeyNameLookup keyName);

    // EditorWindowView
    void showError(const std::string &text) override;
    std::string chooseFile(const std::string &filter) override;
    std::string chooseFolder(const std::string &prompt) override;
    void hideWindow() override;
    void showWindow() override;
    void closeWindow() override;
    void showHotKeyStatus(const std::string &text) override;
    void showRecordingNote(const std::string &text) override;
    void setDesktopsHelpVisible(bool visible) override;

protected:
    // Shows the window and returns when it closes.
    void runModal();
    // HotKey1 and the line under it, read out as accessibleName, and the button to the help
    // page on where Quorvel works, hidden until the desktop cannot bind hot keys.
    void makeHotKeyBox(QWidget *parent, const char *accessibleName);
    THotKeyEdit *hotKeyEdit() const { return m_hotKey; }
    QLabel *hotKeyStatus() const { return m_hotKeyStatus; }
    QPushButton *desktopsHelp() const { return m_desktopsHelp; }
    // A line that says why recording is not possible, hidden where it is.
    QLabel *makeRecordingNote(QWidget *parent);

    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void reject() override;

private:
    EditorModel &m_editor;
    QEventLoop *m_loop = nullptr;
    THotKeyEdit *m_hotKey = nullptr;
    QLabel *m_hotKeyStatus = nullptr;
    QPushButton *m_desktopsHelp = nullptr;
    std::vector<QLabel *> m_recordingNotes;
};

} // namespace quorvel
