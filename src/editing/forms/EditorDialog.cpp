// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/forms/EditorDialog.h"

#include "common/ScopeGuard.h"
#include "components/forms/FileFilter.h"
#include "components/forms/FormWidgets.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

namespace quorvel {

EditorDialog::EditorDialog(
    EditorModel &model, const char *name, const QString &title, QWidget *parent)
    : QDialog(parent)
    , m_editor(model)
{
    setObjectName(QLatin1String(name));
    setWindowTitle(title);
    setWindowModality(Qt::ApplicationModal);
}

EditorDialog::~EditorDialog() = default;

void EditorDialog::setHotKeyLookups(
    THotKeyEdit::KeycodeLookup virtualKeyOfKeycode, KeyNameLookup keyName)
{
    m_hotKey->setKeyLookups(std::move(virtualKeyOfKeycode), std::move(keyName));
}

void EditorDialog::makeHotKeyBox(QWidget *parent, const char *accessibleName)
{
    m_hotKey = named(new THotKeyEdit(parent), "HotKey1", accessibleName);
    m_hotKeyStatus = named(new QLabel(parent), "lblHotKeyStatus", "Hot Key Status");
    m_hotKeyStatus->setWordWrap(true);
    m_desktopsHelp = pushButton("cmdDesktopsHelp", QStringLiteral("Where Quorvel works"), parent);
    m_desktopsHelp->setVisible(false);
    connect(
        m_desktopsHelp, &QPushButton::clicked, this, [this] { m_editor.cmdDesktopsHelpClick(); });
}

QLabel *EditorDialog::makeRecordingNote(QWidget *parent)
{
    auto *note = named(new QLabel(parent), "lblRecordingNote", "Recording Status");
    note->setWordWrap(true);
    note->setVisible(false);
    m_recordingNotes.push_back(note);
    return note;
}

void EditorDialog::runModal()
{
    QEventLoop loop;
    m_loop = &loop;
    const ScopeGuard forget([this] { m_loop = nullptr; });
    show();
    // Closed while it was being shown: nothing to wait for.
    if (isVisible())
        loop.exec();
}

void EditorDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void EditorDialog::closeEvent(QCloseEvent *event)
{
    m_editor.FormClose();
    event->accept();
    if (m_loop)
        m_loop->quit();
}

void EditorDialog::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F1)
        m_editor.FormKeyUp(editor::KeyF1);
    QDialog::keyReleaseEvent(event);
}

void EditorDialog::reject()
{
    m_editor.cmdCancelClick();
}

void EditorDialog::showHotKeyStatus(const std::string &text)
{
    showValue(m_hotKeyStatus, text);
}

void EditorDialog::showRecordingNote(const std::string &text)
{
    for (QLabel *note : m_recordingNotes) {
        showValue(note, text);
        note->setVisible(!text.empty());
    }
}

void EditorDialog::setDesktopsHelpVisible(bool visible)
{
    m_desktopsHelp->setVisible(visible);
}

void EditorDialog::showError(const std::string &text)
{
    QMessageBox::critical(this, windowTitle(), qs(text));
}

std::string EditorDialog::chooseFile(const std::string &filter)
{
    return QFileDialog::getOpenFileName(this, QString(), QString(), qtFilter(filter)).toStdString();
}

std::string EditorDialog::chooseFolder(const std::string &prompt)
{
    return QFileDialog::getExistingDirectory(this, qs(prompt)).toStdString();
}

void EditorDialog::hideWindow()
{
    hide();
}

void EditorDialog::showWindow()
{
    show();
    raise();
    activateWindow();
}

void EditorDialog::closeWindow()
{
    hide();
    if (m_loop)
        m_loop->quit();
}

} // namespace quorvel
