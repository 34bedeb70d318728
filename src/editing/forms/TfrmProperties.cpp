// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/forms/TfrmProperties.h"

#include "components/forms/Artwork.h"
#include "components/forms/FormWidgets.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quorvel {

using properties::Button;
using properties::Control;

TfrmProperties::TfrmProperties(PropertiesModel &model, QWidget *parent)
    : EditorDialog(model, "frmProperties", QStringLiteral("Macro Properties"), parent)
    , m_model(model)
{
    auto *layout = new QVBoxLayout(this);

    // One picture per kind; the model shows the one that fits.
    auto *top = new QHBoxLayout;
    const std::pair<Control, int> pictures[] = {
        { Control::imgStart, 0 },
        { Control::imgKeys, 1 },
        { Control::imgRecorder, 2 },
        { Control::imgAdvanced, 1 },
    };
    const char *pictureNames[] = { "imgStart", "imgKeys", "imgRecorder", "imgAdvanced" };
    for (const auto &[control, image] : pictures) {
        auto *picture = new QLabel(this);
        picture->setObjectName(QLatin1String(pictureNames[int(control)]));
        picture->setPixmap(kindPicture(image, 48));
        top->addWidget(picture);
        m_controls[control] = { picture };
    }
    auto *intro = new QLabel(
        QStringLiteral("Use the options below to modify the properties of this macro."), this);
    intro->setWordWrap(true);
    top->addWidget(intro, 1);
    layout->addLayout(top);

    auto *grid = new QGridLayout;
    int row = 0;
    auto label = [this, grid](const char *text, int at) {
        auto *l = new QLabel(QLatin1String(text), this);
        grid->addWidget(l, at, 0);
        return l;
    };
    label("Type:", row);
    lblType = named(new QLabel(this), "lblType", "Type Summary");
    grid->addWidget(lblType, row++, 1, 1, 2);

    auto *nameLabel = label("Name:", row);
    edtMacroName = named(new QLineEdit(this), "edtMacroName", "Name");
    edtMacroName->setMaxLength(properties::MaxNameLength);
    nameLabel->setBuddy(edtMacroName);
    grid->addWidget(edtMacroName, row++, 1);

    auto *fileLabel = label("FileName:", row);
    edtFileName = named(new QLineEdit(this), "edtFileName", "FileName");
    cmdBrowse = pushButton("cmdBrowse", QStringLiteral("&Browse"), this);
    grid->addWidget(edtFileName, row, 1);
    grid->addWidget(cmdBrowse, row++, 2);
    m_controls[Control::edtFileName] = { edtFileName, fileLabel };
    m_controls[Control::cmdBrowse] = { cmdBrowse };

    auto *speed = new QWidget(this);
    speed->setObjectName(QStringLiteral("SpeedChoice"));
    auto *speedLayout = new QVBoxLayout(speed);
    speedLayout->setContentsMargins(0, 0, 0, 0);
    optNormalSpeed = choice(
        "optNormalSpeed", QStringLiteral("Play this macro back at its recorded speed."), speed);
    optHighSpeed =
        choice("optHighSpeed", QStringLiteral("Play this macro back at high speed"), speed);
    speedLayout->addWidget(optNormalSpeed);
    speedLayout->addWidget(optHighSpeed);
    optNormalSpeed->setChecked(true);
    grid->addWidget(speed, row++, 0, 1, 3);
    m_controls[Control::SpeedChoice] = { speed };

    cmdEditManKeys = pushButton("cmdEditManKeys", QStringLiteral("&Edit Macro"), this);
    grid->addWidget(cmdEditManKeys, row++, 1, Qt::AlignLeft);
    m_controls[Control::cmdEditManKeys] = { cmdEditManKeys };

    auto *parametersLabel = label("Parameters:", row);
    edtParameters = named(new QLineEdit(this), "edtParameters", "Parameters");
    grid->addWidget(edtParameters, row++, 1);
    m_controls[Control::edtParameters] = { edtParameters, parametersLabel };

    auto *startInLabel = label("Start In:", row);
    edtStartIn = named(new QLineEdit(this), "edtStartIn", "Start In");
    cmdBrowseFolder = pushButton("cmdBrowseFolder", QStringLiteral(".."), this);
    grid->addWidget(edtStartIn, row, 1);
    grid->addWidget(cmdBrowseFolder, row++, 2);
    m_controls[Control::edtStartIn] = { edtStartIn, startInLabel };
    m_controls[Control::cmdBrowseFolder] = { cmdBrowseFolder };

    auto *triggers = new QLabel(QStringLiteral("Triggers..."), this);
    triggers->setObjectName(QStringLiteral("lblTriggers"));
    grid->addWidget(triggers, row++, 0, 1, 3);
    m_controls[Control::lblTriggers] = { triggers };

    auto *hotKeyLabel = label("HotKey:", row);
    makeHotKeyBox(this, "HotKey");
    hotKeyLabel->setBuddy(hotKeyEdit());
    grid->addWidget(hotKeyEdit(), row, 1);
    grid->addWidget(desktopsHelp(), row++, 2);
    grid->addWidget(hotKeyStatus(), row++, 1, 1, 2);

    auto *windowLabel = label("Window:", row);
    edtTrigger = named(new QLineEdit(this), "edtTrigger", "Window");
    windowLabel->setBuddy(edtTrigger);
    grid->addWidget(edtTrigger, row++, 1);
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);

    auto *record = new QWidget(this);
    record->setObjectName(QStringLiteral("pnlRecord"));
    auto *recordLayout = new QVBoxLayout(record);
    recordLayout->setContentsMargins(0, 0, 0, 0);
    recordLayout->addWidget(makeRecordingNote(record));
    auto *recordButtons = new QHBoxLayout;
    const std::tuple<Button, const char *, QString> recordCaptions[] = {
        { Button::cmdRecord, "cmdRecord", QStringLiteral("&Start Recording") },
        { Button::cmdStop, "cmdStop", QStringLiteral("Stop &Recording") },
        { Button::cmdPlay, "cmdPlay", QStringLiteral("&Playback") },
    };
    for (const auto &[button, name, caption] : recordCaptions) {
        m_buttons[button] = pushButton(name, caption, record);
        recordButtons->addWidget(m_buttons[button]);
    }
    m_buttons[Button::cmdStop]->setEnabled(false);
    recordButtons->addWidget(new QLabel(QStringLiteral("Shift+Ctrl+F12"), record));
    recordLayout->addLayout(recordButtons);
    mmoKeys = named(new QPlainTextEdit(record), "mmoKeys", "Practice Keys");
    mmoKeys->setFixedHeight(60);
    recordLayout->addWidget(mmoKeys);
    layout->addWidget(record);
    m_controls[Control::RecordPanel] = { record };

    layout->addStretch();
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    m_buttons[Button::cmdOK] = pushButton("cmdOK", QStringLiteral("&OK"), this);
    m_buttons[Button::cmdCancel] = pushButton("cmdCancel", QStringLiteral("&Cancel"), this);
    m_buttons[Button::cmdOK]->setDefault(true);
    buttonRow->addWidget(m_buttons[Button::cmdOK]);
    buttonRow->addWidget(m_buttons[Button::cmdCancel]);
    layout->addLayout(buttonRow);

    connectFields();
    setFixedSize(460, 500);
    m_model.setView(*this);
}

void TfrmProperties::connectFields()
{
    auto text = [this](QLineEdit *edit, std::string PropertiesFields::*field) {
        connect(edit, &QLineEdit::textChanged, this, [this, field](const QString &value) {
            if (!m_loading)
                m_model.fields().*field = value.toStdString();
        });
    };
    text(edtMacroName, &PropertiesFields::name);
    text(edtFileName, &PropertiesFields::fileName);
    text(edtParameters, &PropertiesFields::parameters);
    text(edtStartIn, &PropertiesFields::startIn);
    text(edtTrigger, &PropertiesFields::trigger);
    connect(hotKeyEdit(), &THotKeyEdit::hotKeyChanged, this, [this](unsigned value) {
        if (!m_loading)
            m_model.setHotKey(value);
    });
    connect(optHighSpeed, &QRadioButton::toggled, this, [this](bool on) {
        if (!m_loading)
            m_model.fields().highSpeed = on;
    });

    auto &m = m_model;
    const std::pair<Button, void (PropertiesModel::*)()> handlers[] = {
        { Button::cmdRecord, &PropertiesModel::cmdRecordClick },
        { Button::cmdStop, &PropertiesModel::cmdStopClick },
        { Button::cmdPlay, &PropertiesModel::cmdPlayClick },
        { Button::cmdOK, &PropertiesModel::cmdOKClick },
        { Button::cmdCancel, &PropertiesModel::cmdCancelClick },
    };
    for (const auto &[button, handler] : handlers)
        connect(m_buttons[button], &QPushButton::clicked, this, [&m, h = handler] { (m.*h)(); });
    connect(cmdBrowse, &QPushButton::clicked, this, [&m] { m.cmdBrowseClick(); });
    connect(cmdBrowseFolder, &QPushButton::clicked, this, [&m] { m.cmdBrowseFolderClick(); });
    connect(cmdEditManKeys, &QPushButton::clicked, this, [&m] { m.cmdEditManKeysClick(); });
}

void TfrmProperties::showModal(int n)
{
    m_model.open(n);
    runModal();
}

void TfrmProperties::hideEvent(QHideEvent *event)
{
    EditorDialog::hideEvent(event);
    m_model.FormHide();
}

void TfrmProperties::setTypeText(const std::string &text)
{
    showValue(lblType, text);
}

void TfrmProperties::setControlVisible(Control control, bool visible)
{
    for (QWidget *widget : m_controls[control])
        widget->setVisible(visible);
}

void TfrmProperties::loadFields(const PropertiesFields &f)
{
    m_loading = true;
    // A longer name from the catalogue is shown whole, so OK does not cut it short.
    edtMacroName->setMaxLength(std::max<int>(properties::MaxNameLength, int(qs(f.name).size())));
    edtMacroName->setText(qs(f.name));
    edtFileName->setText(qs(f.fileName));
    edtParameters->setText(qs(f.parameters));
    edtStartIn->setText(qs(f.startIn));
    hotKeyEdit()->SetHotKey(f.hotKey);
    edtTrigger->setText(qs(f.trigger));
    (f.highSpeed ? optHighSpeed : optNormalSpeed)->setChecked(true);
    m_loading = false;
}

void TfrmProperties::setButtonEnabled(Button button, bool enabled)
{
    m_buttons[button]->setEnabled(enabled);
}

void TfrmProperties::setFocus(properties::Focus focus)
{
    QWidget *widgets[] = { edtMacroName, cmdBrowse, mmoKeys };
    widgets[int(focus)]->setFocus();
}

void TfrmProperties::clearPracticeKeys()
{
    mmoKeys->clear();
}

} // namespace quorvel
