// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/PropertiesModel.h"

#include "catalogue/LaunchDescription.h"
#include "catalogue/MacroFiles.h"
#include "catalogue/MacroList.h"
#include "common/Error.h"
#include "common/Text.h"
#include "editing/WizardModel.h"
#include "platform/Dialogs.h"
#include "platform/Journal.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>

namespace quorvel {

using properties::Button;
using properties::Control;
using properties::Focus;

namespace fs = std::filesystem;

namespace {

bool holdsDataFile(int kind)
{
    return kind == macrokind::Keystrokes || kind == macrokind::MouseAndKeys
        || kind == macrokind::Advanced;
}

bool isRecording(int kind)
{
    return kind == macrokind::Keystrokes || kind == macrokind::MouseAndKeys;
}

bool fileExists(const std::string &path)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

// The lines of a text file joined by '\n', or nothing when it cannot be read.
std::optional<std::string> readLines(const std::string &path)
{
    const auto content = readWholeFile(path);
    if (!content)
        return std::nullopt;
    std::string text;
    for (const char c : *content) {
        if (c == '\n' && !text.empty() && text.back() == '\r')
            text.back() = '\n';
        else
            text.push_back(c);
    }
    return text::toUtf8(text);
}

} // namespace

namespace properties {

KindLayout kindLayout(int kind)
{
    const auto with = [](std::string_view text, std::initializer_list<Control> shown) {
        KindLayout layout { text, {} };
        for (const Control c : shown)
            layout.shown[std::size_t(c)] = true;
        return layout;
    };
    switch (kind) {
    case macrokind::Launch:
        return with("Start an Application or Launch a Document",
            { Control::imgStart, Control::edtFileName, Control::cmdBrowse, Control::edtParameters,
                Control::edtStartIn, Control::cmdBrowseFolder });
    case macrokind::Keystrokes:
        return with("Playback Keystrokes",
            { Control::imgKeys, Control::RecordPanel, Control::lblTriggers });
    case macrokind::MouseAndKeys:
        return with("Playback Mouse and Keyboard",
            { Control::imgRecorder, Control::RecordPanel, Control::SpeedChoice,
                Control::lblTriggers });
    case macrokind::Advanced:
        return with("Playback Manually Created Keystrokes",
            { Control::imgAdvanced, Control::cmdEditManKeys, Control::lblTriggers });
    default:
        return {};
    }
}

} // namespace properties

bool renameWithoutReplacing(const std::string &from, const std::string &to)
{
    if (!fileExists(from))
        return false;
    std::error_code ec;
    if (fileExists(to)) {
        // A change of letter case on a folder that ignores case names the same file.
        if (!fs::equivalent(from, to, ec) || ec)
            return false;
        fs::rename(from, to, ec);
        return !ec;
    }
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the no-replace rename; the check above has to do.
    fs::rename(from, to, ec);
    return !ec;
}

PropertiesModel::PropertiesModel(EditorDeps deps, PropertiesServices &services, WizardModel &wizard)
    : EditorModel(std::move(deps), services)
    , m_services(services)
    , m_wizard(wizard)
{
}

PropertiesView &PropertiesModel::view()
{
    return *m_view;
}

std::optional<std::string> PropertiesModel::storedDataPath() const
{
    if (!holdsDataFile(m_kind))
        return std::nullopt;
    return dataFilePath(m_d.dataFolder, m_storedFileName);
}

std::string PropertiesModel::tempPath() const
{
    return m_d.dataFolder + properties::TempFile;
}

void PropertiesModel::setJournalForKind()
{
    const bool keys = m_kind == macrokind::Keystrokes;
    m_d.journal.RecordFileName = tempPath();
    m_d.journal.HiSpeedPlayBack = keys;
    m_d.journal.KeyStrokesOnly = keys;
}

void PropertiesModel::open(int n)
{
    m_open = true;
    m_number = n;
    m_reRecorded = false;
    m_session.discard();
    m_services.setStopHotKeyEnabled(true);
    m_services.setEditing(true);
    view().setFocus(Focus::edtMacroName);
    view().clearPracticeKeys();

    const auto record = m_d.catalogue.record(n);
    m_kind = record.type;
    const auto layout = properties::kindLayout(m_kind);
    view().setTypeText(std::string(layout.typeText));
    for (std::size_t c = 0; c < properties::ControlCount; ++c)
        view().setControlVisible(Control(c), layout.shown[c]);

    m_fields = PropertiesFields {};
    m_storedFileName = record.fileName;
    if (m_kind == macrokind::Launch) {
        auto launch = LaunchDescription::split(m_storedFileName);
        m_fields.fileName = std::move(launch.program);
        m_fields.parameters = std::move(launch.parameters);
        m_fields.startIn = std::move(launch.folder);
    }
    if (isRecording(m_kind)) {
        const auto stored = storedDataPath();
        m_d.journal.PlayBackFileName = stored ? *stored : std::string();
        setJournalForKind();
        m_fields.highSpeed = record.speed != 1;
    }
    m_storedName = record.name;
    m_fields.name = m_storedName;
    m_fields.hotKey = record.hotKey;
    m_fields.trigger = record.trigger;
    view().loadFields(m_fields);
    view().showHotKeyStatus(hotKeyStatus());
    showDesktopLimits();
    setRecordingButtons(false);
    view().setButtonEnabled(Button::cmdPlay, true);
}

void PropertiesModel::setHotKey(unsigned value)
{
    m_fields.hotKey = value & 0xFFFF;
    view().showHotKeyStatus(hotKeyStatus());
}

std::string PropertiesModel::hotKeyStatus() const
{
    return hotKeyHolder(m_fields.hotKey, m_number);
}

void PropertiesModel::FormHide()
{
    if (!m_session.hidden())
        m_services.setStopHotKeyEnabled(false);
}

void PropertiesModel::FormClose()
{
    if (!m_open)
        return;
    // Cancel and the close box end a running recording without keeping it.
    m_session.discard();
    m_services.setEditing(false);
    m_reRecorded = false;
    m_services.setStopHotKeyEnabled(false);
    m_open = false;
}

void PropertiesModel::setRecordingButtons(bool recording)
{
    view().setButtonEnabled(Button::cmdRecord, !recording && recordingUnavailable().empty());
    view().setButtonEnabled(Button::cmdStop, recording);
    view().setButtonEnabled(Button::cmdOK, !recording);
    view().setButtonEnabled(Button::cmdCancel, !recording);
}

void PropertiesModel::cmdRecordClick()
{
    if (!isRecording(m_kind) || m_session.capturing() || !recordingUnavailable().empty())
        return;
    m_reRecorded = true;
    setRecordingButtons(true);
    view().setFocus(Focus::mmoKeys);
    // A run since the opening may have changed the shared control.
    setJournalForKind();
    if (!m_session.start(tempPath(), m_kind == macrokind::Keystrokes))
        setRecordingButtons(false);
}

void PropertiesModel::cmdStopClick()
{
    stopRecordHotKey();
}

void PropertiesModel::stopRecordHotKey()
{
    // Pressed while nothing of ours records, the key brings back nothing.
    if (!m_open || !m_session.capturing())
        return;
    m_session.stop(true);
    setRecordingButtons(false);
}

void PropertiesModel::cmdPlayClick()
{
    if (!isRecording(m_kind))
        return;
    const auto stored = storedDataPath();
    const std::string file = m_reRecorded ? tempPath() : stored.value_or(std::string());
    view().setFocus(Focus::mmoKeys);
    const bool keys = m_kind == macrokind::Keystrokes;
    m_session.play(file, keys, keys || m_fields.highSpeed);
}

void PropertiesModel::RecorderFinished()
{
    m_session.finished();
}

void PropertiesModel::cmdEditManKeysClick()
{
    if (m_kind != macrokind::Advanced)
        return;
    // Save writes to the file the catalogue names now; a new name moves it only on OK, so a
    // cancelled dialog never leaves the catalogue naming a file that is gone.
    const auto path = storedDataPath();
    const auto text = path ? readLines(*path) : std::nullopt;
    if (!text) {
        view().showError(properties::LoadFailed);
        m_wizard.editLoadFailed();
        return;
    }
    m_wizard.openForEdit(
        std::string(text::trimControl(*text)),
        [file = *path](const std::string &edited) {
            writeFileAtomically(file, WizardModel::keyFileText(edited));
        },
        m_number);
    // Edit mode ends with the wizard, however it ends.
    runGuarded(m_d.errors, [this] { m_services.showWizard(); });
    m_wizard.setEditMode(false);
}

void PropertiesModel::cmdBrowseClick()
{
    if (browse(Browse::File, m_fields.fileName))
        view().loadFields(m_fields);
}

void PropertiesModel::cmdBrowseFolderClick()
{
    if (browse(Browse::Folder, m_fields.startIn))
        view().loadFields(m_fields);
}

void PropertiesModel::cmdCancelClick()
{
    FormClose();
    view().closeWindow();
}

void PropertiesModel::cmdOKClick()
{
    if (m_session.capturing())
        return;
    runGuarded(m_d.errors, [this] { confirm(); });
}

bool PropertiesModel::dataFileTaken(const std::string &file) const
{
    if (file == properties::TempFile)
        return true;
    const auto doc = m_d.catalogue.store().document();
    const int count = Catalogue::recordCount(*doc);
    for (int m = 1; m <= count; ++m) {
        const auto other = Catalogue::record(*doc, m);
        if (m != m_number && holdsDataFile(other.type) && other.fileName == file)
            return true;
    }
    const auto path = m_d.dataFolder + file;
    if (!fileExists(path))
        return false;
    const auto stored = storedDataPath();
    std::error_code ec;
    return !(stored && fileExists(*stored) && fs::equivalent(*stored, path, ec) && !ec);
}

bool PropertiesModel::stillHolds(const IniDocument &doc) const
{
    const auto stored = Catalogue::record(doc, m_number);
    return m_number <= Catalogue::recordCount(doc) && stored.name == m_storedName
        && stored.type == m_kind && stored.fileName == m_storedFileName;
}

void PropertiesModel::recordChanged()
{
    view().showError(RecordChangedMessage);
    m_services.LoadMacroList();
    FormClose();
    view().closeWindow();
}

void PropertiesModel::confirm()
{
    if (m_fields.name.empty()) {
        view().showError(properties::NameMissing);
        view().setFocus(Focus::edtMacroName);
        return;
    }
    if (m_kind == macrokind::Launch && m_fields.fileName.empty()) {
        view().showError(properties::CommandLineMissing);
        view().setFocus(Focus::cmdBrowse);
        return;
    }
    if (!stillHolds(*m_d.catalogue.store().document())) {
        recordChanged();
        return;
    }
    const std::string trimmed = storedMacroName(m_fields.name);
    std::string fileName = m_storedFileName;
    std::string moveFrom, moveTo, replaceFrom, superseded;
    if (holdsDataFile(m_kind)) {
        // The data file is named after the macro and must stay inside the data folder.
        if (trimmed.empty() || !WizardModel::isUsableName(m_fields.name)) {
            view().showError(wizard::NameUnsafe);
            view().setFocus(Focus::edtMacroName);
            return;
        }
        const auto wanted = dataFileName(trimmed, m_kind == macrokind::Advanced ? ".key" : ".dat");
        const auto stored = storedDataPath();
        const bool newRecording = m_reRecorded && isRecording(m_kind) && fileExists(tempPath());
        if (wanted != m_storedFileName) {
            if (dataFileTaken(wanted)) {
                view().showError(formatMessage(properties::NameTakesFile, wanted));
                view().setFocus(Focus::edtMacroName);
                return;
            }
            moveFrom = newRecording ? tempPath() : stored.value_or(std::string());
            moveTo = m_d.dataFolder + wanted;
            if (newRecording && stored)
                superseded = *stored;
            // The entry follows the data: a file that exists but would not move keeps its name.
            if (moveFrom.empty() || !fileExists(moveFrom))
                fileName = wanted;
        } else if (newRecording) {
            replaceFrom = tempPath();
        }
    }

    const bool moved = !moveFrom.empty() && renameWithoutReplacing(moveFrom, moveTo);
    if (moved)
        fileName = moveTo.substr(m_d.dataFolder.size());
    else
        superseded.clear();

    bool changed = false;
    try {
        m_d.catalogue.store().edit([&](IniDocument &doc) {
            // Checked again under the lock: another write may have come since the check above.
            changed = !stillHolds(doc);
            if (changed)
                return;
            const auto section = Catalogue::sectionName(m_number);
            doc.setValue(section, macrokey::HotKey, std::to_string(m_fields.hotKey & 0xFFFF));
            doc.setValue(section, macrokey::Name, trimmed);
            if (m_kind == macrokind::Launch) {
                doc.setValue(section, macrokey::FileName,
                    std::string(text::trimRight(m_fields.fileName)) + "~~" + m_fields.parameters
                        + "~~" + m_fields.startIn);
            } else if (holdsDataFile(m_kind)) {
                doc.setValue(section, macrokey::FileName, fileName);
            }
            if (m_kind == macrokind::MouseAndKeys)
                doc.setValue(section, macrokey::Speed, m_fields.highSpeed ? "2" : "1");
            doc.setValue(section, macrokey::Trigger, m_fields.trigger);
        });
    } catch (...) {
        // The entry still names the file under its old name: put it back there.
        if (moved)
            renameWithoutReplacing(moveTo, moveFrom);
        throw;
    }
    if (changed) {
        if (moved)
            renameWithoutReplacing(moveTo, moveFrom);
        recordChanged();
        return;
    }

    std::error_code ec;
    if (!replaceFrom.empty()) {
        // The same name: the new recording takes the old one's place in one step.
        if (const auto stored = storedDataPath())
            fs::rename(replaceFrom, *stored, ec);
    }
    if (!superseded.empty())
        fs::remove(superseded, ec);

    m_services.LoadMacroList();
    m_services.BindHotKeys();
    FormClose();
    view().closeWindow();
}

} // namespace quorvel
