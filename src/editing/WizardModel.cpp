// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/WizardModel.h"

#include "catalogue/Catalogue.h"
#include "catalogue/MacroFiles.h"
#include "common/Error.h"
#include "editing/HintShower.h"
#include "platform/Dialogs.h"
#include "platform/EventPump.h"
#include "platform/Journal.h"

namespace quorvel {

using wizard::Button;
using wizard::Choice;
using wizard::Focus;
using wizard::Page;

WizardModel::WizardModel(EditorDeps deps, WizardServices &services, HintShower &hints,
    EventPump &pump, ShortcutMaker *shortcuts)
    : EditorModel(std::move(deps), services)
    , m_services(services)
    , m_hints(hints)
    , m_pump(pump)
    , m_shortcuts(shortcuts)
{
}

WizardView &WizardModel::view()
{
    return *m_view;
}

int WizardModel::kind() const
{
    switch (m_fields.choice) {
    case Choice::optStartApp:
        return macrokind::Launch;
    case Choice::optRecMouse:
        return m_fields.captureKeysOnly ? macrokind::Keystrokes : macrokind::MouseAndKeys;
    case Choice::optRecKeys:
        break;
    }
    return macrokind::Advanced;
}

void WizardModel::setHotKey(unsigned value)
{
    m_fields.hotKey = value & 0xFFFF;
    view().showHotKeyStatus(hotKeyStatus());
}

std::string WizardModel::hotKeyStatus() const
{
    return hotKeyHolder(m_fields.hotKey, 0);
}

void WizardModel::show(Page page)
{
    m_page = page;
    view().showPage(page);
}

void WizardModel::FormShow()
{
    m_services.setStopHotKeyEnabled(true);
    if (m_recording)
        return;
    if (m_editMode) {
        view().setFocus(Focus::mmoManKeys);
        return;
    }
    m_services.setEditing(true);
    resetToFresh();
}

void WizardModel::resetToFresh()
{
    show(Page::pnlStart);
    m_fields.name.clear();
    m_fields.commandLine.clear();
    m_fields.trigger.clear();
    m_fields.advancedText.clear();
    m_fields.hotKey = 0;
    view().loadFields(m_fields);
    view().showHotKeyStatus(hotKeyStatus());
    view().setButtonEnabled(Button::cmdPlayKeys, false);
    view().setButtonEnabled(Button::cmdPlayMouse, false);
    // Where recording is not possible the pages say why, and nothing starts one.
    view().setButtonEnabled(Button::cmdStartKeys, recordingUnavailable().empty());
    view().setButtonEnabled(Button::cmdRecordMouse, recordingUnavailable().empty());
    showDesktopLimits();
    view().setEditPictureVisible(false);
    view().setButtonVisible(Button::cmdSave, false);
    view().setButtonVisible(Button::cmdFinished, false);
    view().setButtonVisible(Button::cmdNext, true);
    view().setButtonVisible(Button::cmdStepBack, true);
    // A fresh wizard starts with Back disabled and Next enabled, whatever the last use left.
    view().setButtonEnabled(Button::cmdStepBack, false);
    view().setButtonEnabled(Button::cmdNext, true);
}

void WizardModel::FormClose()
{
    m_session.discard();
    // In edit mode the properties dialog is still open and keeps both for itself.
    if (!m_editMode) {
        m_services.setEditing(false);
        m_services.setStopHotKeyEnabled(false);
    }
    m_recording = false;
}

void WizardModel::openForEdit(const std::string &text, EditSaver save, int record)
{
    m_editRecord = record;
    show(Page::pnlManualKeys);
    view().setEditPictureVisible(true);
    view().setButtonVisible(Button::cmdNext, false);
    view().setButtonVisible(Button::cmdStepBack, false);
    view().setButtonVisible(Button::cmdFinished, false);
    view().setButtonVisible(Button::cmdSave, true);
    m_editMode = true;
    m_editSaver = std::move(save);
    m_fields.advancedText = text;
    view().loadFields(m_fields);
}

void WizardModel::editLoadFailed()
{
    resetToFresh();
    m_editMode = false;
    m_editSaver = nullptr;
}

void WizardModel::leaveEditButtons()
{
    view().setEditPictureVisible(false);
    view().setButtonVisible(Button::cmdNext, true);
    view().setButtonVisible(Button::cmdStepBack, true);
    view().setButtonVisible(Button::cmdSave, false);
    view().setButtonVisible(Button::cmdFinished, false);
}

void WizardModel::cmdSaveClick()
{
    if (!m_editMode || !m_editSaver)
        return;
    // A failed write leaves the wizard open with the text, so nothing typed is lost.
    if (!runGuarded(m_d.errors, [this] { m_editSaver(m_fields.advancedText); }))
        return;
    leaveEditButtons();
    FormClose();
    view().closeWindow();
}

bool WizardModel::isUsableName(std::string_view name)
{
    const auto trimmed = storedMacroName(name);
    if (trimmed == "." || trimmed == "..")
        return false;
    for (const char c : trimmed) {
        if (static_cast<unsigned char>(c) < 32 || c == 127 || c == '/' || c == '\\')
            return false;
    }
    return trimmed.empty() || isSafeDataFileName(dataFileName(trimmed, ".dat"));
}

bool WizardModel::validateName()
{
    m_fields.shortcut = 0;
    view().loadFields(m_fields);
    // The catalogue, not the list: the list may be behind another copy's or an editor's change.
    if (!m_d.catalogue.findByName(storedMacroName(m_fields.name)).empty()) {
        view().showError(wizard::NameTaken);
        view().setFocus(Focus::edtMacroName);
        return false;
    }
    const char *problem = nullptr;
    if (m_fields.name.empty())
        problem = wizard::NameMissing;
    // Data files are named after the macro and must stay in the data folder.
    else if (!isUsableName(m_fields.name) || storedMacroName(m_fields.name).empty())
        problem = wizard::NameUnsafe;
    if (problem) {
        view().showError(problem);
        view().setFocus(Focus::edtMacroName);
        return false;
    }
    return true;
}

void WizardModel::cmdNextClick()
{
    switch (m_page) {
    case Page::pnlStart:
        show(Page::pnlName);
        view().setFocus(Focus::edtMacroName);
        break;
    case Page::pnlName:
        if (!validateName())
            return;
        show(Page::pnlHotKey);
        view().setFocus(Focus::HotKey1);
        break;
    case Page::pnlHotKey:
        switch (m_fields.choice) {
        case Choice::optRecKeys:
            show(Page::pnlManualKeys);
            view().setFocus(Focus::mmoManKeys);
            break;
        case Choice::optRecMouse:
            show(Page::pnlKeystype);
            break;
        case Choice::optStartApp:
            show(Page::pnlStartApp);
            view().setFocus(Focus::cmdBrowse);
            break;
        }
        break;
    case Page::pnlStartApp:
        if (m_fields.commandLine.empty()) {
            view().showError(wizard::CommandLineMissing);
            view().setFocus(Focus::cmdBrowse);
            return;
        }
        goToSummary();
        return;
    case Page::pnlKeystype:
        show(m_fields.captureKeysOnly ? Page::pnlRecordKeys : Page::pnlRecordMouse);
        view().setButtonEnabled(Button::cmdNext, false);
        break;
    case Page::pnlRecordKeys:
    case Page::pnlRecordMouse:
    case Page::pnlManualKeys:
        goToSummary();
        return;
    case Page::pnlFinished:
        return;
    }
    view().setButtonEnabled(Button::cmdStepBack, true);
}

std::string WizardModel::typeText(int kind)
{
    switch (kind) {
    case macrokind::Launch:
        return "Start an Application";
    case macrokind::Keystrokes:
        return "Playback keyboard";
    case macrokind::MouseAndKeys:
        return "Playback mouse and keyboard";
    default:
        return "Playback advanced macro";
    }
}

WizardSummary WizardModel::summary() const
{
    WizardSummary s;
    s.macroName = m_fields.name;
    s.macroType = typeText(kind());
    s.shortcutKeys = m_fields.hotKey == 0 ? "None" : hotKeyText(m_fields.hotKey, m_d.keyName);
    s.windowTrigger = m_fields.trigger.empty() ? "None" : m_fields.trigger;
    return s;
}

void WizardModel::goToSummary()
{
    show(Page::pnlFinished);
    view().setButtonVisible(Button::cmdFinished, true);
    view().setButtonVisible(Button::cmdNext, false);
    view().setButtonEnabled(Button::cmdStepBack, true);
    view().showSummary(summary());
}

void WizardModel::cmdStepBackClick()
{
    view().setButtonEnabled(Button::cmdNext, true);
    switch (m_page) {
    case Page::pnlStart:
        return;
    case Page::pnlName:
        show(Page::pnlStart);
        view().setButtonEnabled(Button::cmdStepBack, false);
        return;
    case Page::pnlStartApp:
        show(Page::pnlHotKey);
        view().setFocus(Focus::HotKey1);
        return;
    case Page::pnlManualKeys:
    case Page::pnlKeystype:
        show(Page::pnlHotKey);
        return;
    case Page::pnlRecordKeys:
    case Page::pnlRecordMouse:
        show(Page::pnlKeystype);
        return;
    case Page::pnlHotKey:
        show(Page::pnlName);
        view().setFocus(Focus::edtMacroName);
        return;
    case Page::pnlFinished:
        view().setButtonVisible(Button::cmdFinished, false);
        view().setButtonVisible(Button::cmdNext, true);
        switch (kind()) {
        case macrokind::Launch:
            show(Page::pnlStartApp);
            view().setFocus(Focus::cmdBrowse);
            break;
        case macrokind::Keystrokes:
            show(Page::pnlRecordKeys);
            break;
        case macrokind::MouseAndKeys:
            show(Page::pnlRecordMouse);
            break;
        default:
            show(Page::pnlManualKeys);
            view().setFocus(Focus::mmoManKeys);
            break;
        }
        return;
    }
}

void WizardModel::cmdCancelClick()
{
    if (m_editMode) {
        leaveEditButtons();
        FormClose();
        view().closeWindow();
        return;
    }
    if (!view().askYesNo(wizard::CancelQuestion))
        return;
    FormClose();
    view().closeWindow();
}

void WizardModel::cmdBrowseClick()
{
    if (browse(Browse::File, m_fields.commandLine))
        view().loadFields(m_fields);
}

void WizardModel::cmdBrowseFolderClick()
{
    if (browse(Browse::Folder, m_fields.startIn))
        view().loadFields(m_fields);
}

void WizardModel::cmdHotKeyHelpClick()
{
    view().showMessage(std::string(wizard::HotKeyHelpText) + wizard::SupportAddress);
}

void WizardModel::cmdTriggerHelpClick()
{
    view().showMessage(wizard::TriggerHelpText);
}

std::string WizardModel::dataFile() const
{
    return dataFileName(m_fields.name, ".dat");
}

void WizardModel::cmdStartKeysClick()
{
    startRecording(true);
}

void WizardModel::cmdRecordMouseClick()
{
    startRecording(false);
}

void WizardModel::startRecording(bool keysOnly)
{
    if (m_session.capturing() || !recordingUnavailable().empty())
        return;
    // The switch's write may fail; the user was told a recording starts, so it does.
    runGuarded(m_d.errors,
        [this, keysOnly] { m_hints.ShowHint(keysOnly ? wizard::KeysHint : wizard::MouseHint); });
    const Button start = keysOnly ? Button::cmdStartKeys : Button::cmdRecordMouse;
    const Button stop = keysOnly ? Button::cmdStopKeys : Button::cmdStopMouse;
    m_recording = true;
    if (keysOnly)
        view().setFocus(Focus::mmoKeys);
    view().setButtonEnabled(start, false);
    view().setButtonEnabled(stop, true);
    if (m_session.start(m_d.dataFolder + dataFile(), keysOnly))
        return;
    m_recording = false;
    view().setButtonEnabled(start, true);
    view().setButtonEnabled(stop, false);
}

void WizardModel::stopRecording(bool raise)
{
    if (!m_session.capturing())
        return;
    const bool keysOnly = m_session.keysOnly();
    const bool saved = m_session.stop(raise);
    view().setButtonEnabled(Button::cmdNext, saved);
    view().setButtonEnabled(keysOnly ? Button::cmdStopKeys : Button::cmdStopMouse, false);
    view().setButtonEnabled(keysOnly ? Button::cmdStartKeys : Button::cmdRecordMouse, true);
    if (saved)
        view().setButtonEnabled(keysOnly ? Button::cmdPlayKeys : Button::cmdPlayMouse, true);
}

void WizardModel::cmdStopKeysClick()
{
    stopRecording(false);
}

void WizardModel::cmdStopMouseClick()
{
    stopRecording(false);
    m_recording = false;
}

void WizardModel::playRecording(Button play, bool highSpeed)
{
    view().setButtonEnabled(play, false);
    if (!m_session.play(m_d.journal.RecordFileName, play == Button::cmdPlayKeys, highSpeed))
        view().setButtonEnabled(play, true);
}

void WizardModel::cmdPlayKeysClick()
{
    // The replayed keys land in the practice box.
    view().setFocus(Focus::mmoKeys);
    playRecording(Button::cmdPlayKeys, true);
}

void WizardModel::cmdPlayMouseClick()
{
    playRecording(Button::cmdPlayMouse, m_fields.highSpeed);
}

void WizardModel::RecorderFinished()
{
    view().setButtonEnabled(Button::cmdPlayKeys, true);
    view().setButtonEnabled(Button::cmdPlayMouse, true);
    m_session.finished();
}

void WizardModel::stopRecordHotKey()
{
    // Only the stop of a running recording counts: the key alone enables nothing.
    if (!m_session.capturing()) {
        m_services.stopPropertiesRecording();
        return;
    }
    stopRecording(true);
}

std::string WizardModel::keyFileText(std::string_view text)
{
    std::string out;
    while (!text.empty()) {
        const auto end = text.find('\n');
        auto line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        out.append(line).append("\r\n");
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return out;
}

MacroRecord WizardModel::record() const
{
    MacroRecord r;
    r.name = storedMacroName(m_fields.name);
    r.type = kind();
    r.hotKey = m_fields.hotKey & 0xFFFF;
    r.trigger = m_fields.trigger;
    switch (r.type) {
    case macrokind::Launch:
        r.fileName = m_fields.commandLine + "~~" + m_fields.parameters + "~~" + m_fields.startIn;
        break;
    case macrokind::Advanced:
        r.fileName = dataFileName(m_fields.name, ".key");
        break;
    default:
        r.fileName = dataFile();
        r.speed = m_fields.highSpeed ? 2 : 1;
        break;
    }
    return r;
}

void WizardModel::cmdFinishedClick()
{
    runGuarded(m_d.errors, [this] { store(); });
}

void WizardModel::store()
{
    const auto rec = record();
    // The text file first: when it cannot be written the catalogue is left as it was.
    if (rec.type == macrokind::Advanced) {
        const auto path = dataFilePath(m_d.dataFolder, rec.fileName);
        if (!path)
            throw Error(formatMessage("Unable to write to %s", m_d.dataFolder + rec.fileName));
        writeFileAtomically(*path, keyFileText(m_fields.advancedText));
    }
    const int n = m_d.catalogue.append(rec);
    const auto sum = summary();
    m_services.addListRow(MacroListRow {
        imageIndexForType(rec.type), m_fields.name, sum.shortcutKeys, {}, false, {} });
    view().setButtonVisible(Button::cmdFinished, false);
    view().setButtonVisible(Button::cmdNext, true);
    FormClose();
    view().closeWindow();
    const int shortcut = m_fields.shortcut;
    if (shortcut > 0 && shortcut < int(wizard::ShortcutFolders.size()) && m_shortcuts)
        m_shortcuts->Shortcut_Create(wizard::ShortcutFolders[std::size_t(shortcut)], n);
    m_pump.processMessages();
    m_services.BindHotKeys();
}

} // namespace quorvel
