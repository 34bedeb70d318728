// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/forms/TfrmWizard.h"

#include "components/forms/Artwork.h"
#include "components/forms/FormWidgets.h"
#include "components/forms/TEPMenuButton.h"
#include "editing/forms/InsertionDialogs.h"
#include "editing/forms/MacroHighlighter.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace quorvel {

using wizard::Button;
using wizard::Page;

namespace {

void add(QWidget *page, QWidget *widget)
{
    page->layout()->addWidget(widget);
}

void add(QWidget *page, QLayout *layout)
{
    static_cast<QVBoxLayout *>(page->layout())->addLayout(layout);
}

QPushButton *plainButton(const char *name, const QString &caption, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

} // namespace

TfrmWizard::TfrmWizard(WizardModel &model, QWidget *parent)
    : EditorDialog(model, "frmWizard", QStringLiteral("Macro Assistant"), parent)
    , m_model(model)
{
    m_pages = new QStackedWidget(this);
    buildStartPage();
    buildNamePage();
    buildTriggersPage();
    buildStartAppPage();
    buildKeysTypePage();
    buildRecordKeysPage();
    buildRecordMousePage();
    buildManualKeysPage();
    buildFinishedPage();
    buildButtonRow();

    optRecKeys->setChecked(true);
    optCapture->setChecked(true);
    optNormalSpeed->setChecked(true);
    connectFields();
    for (auto &[page, widget] : m_pnl)
        static_cast<QVBoxLayout *>(widget->layout())->addStretch();

    setFixedSize(560, 540);
    m_model.setView(*this);
}

TfrmWizard::~TfrmWizard() = default;

void TfrmWizard::buildStartPage()
{
    auto *start = makePage(Page::pnlStart, QStringLiteral("What would you like this macro to do?"));
    optRecKeys =
        choice("optRecKeys", QStringLiteral("&Create a macro using advanced options."), start);
    optRecMouse = choice(
        "optRecMouse", QStringLiteral("&Playback mouse movements, clicks, and keystrokes."), start);
    optStartApp =
        choice("optStartApp", QStringLiteral("&Start an Application or Launch a Document"), start);
    add(start, optRecKeys);
    add(start,
        wrapped(QStringLiteral("This option will allow you to construct a macro that consists of "
                               "various sophistacated options such as typing keys, repeating "
                               "sequences, working with specific windows, pausing, gathering and "
                               "typing user input, etc.."),
            start));
    add(start, optRecMouse);
    add(start,
        wrapped(QStringLiteral("Use this option to playback all mouse movements, clicks and "
                               "keystrokes that you record."),
            start));
    add(start, optStartApp);
    add(start,
        wrapped(QStringLiteral("This option will allow you to launch any application or document "
                               "on your system as well as instantly access web sites and send "
                               "eMail with just one keystroke."),
            start));
}

void TfrmWizard::buildNamePage()
{
    auto *name = makePage(Page::pnlName, QStringLiteral("Name Your Macro"));
    add(name,
        wrapped(QStringLiteral("Type a unique name for this macro in the space below and select "
                               "'Next'."),
            name));
    edtMacroName = named(new QLineEdit(name), "edtMacroName", "Macro Name");
    edtMacroName->setMaxLength(wizard::MaxNameLength);
    add(name, edtMacroName);
}

void TfrmWizard::buildTriggersPage()
{
    auto *triggers = makePage(Page::pnlHotKey, QStringLiteral("Select Triggers"));
    // A titled box per trigger: its explanation above, its controls in the rows below.
    auto group = [triggers](const QString &title, const QString &text) {
        auto *box = new QGroupBox(title, triggers);
        box->setAccessibleName(title);
        auto *layout = new QGridLayout(box);
        layout->addWidget(wrapped(text, box), 0, 0, 1, 2);
        add(triggers, box);
        return layout;
    };
    auto *hotKeyBox = group(
        QStringLiteral("Hot Key"), QStringLiteral("Run when a certain set of keys is pressed."));
    makeHotKeyBox(hotKeyBox->parentWidget(), "Hot Key");
    cmdHotKeyHelp = plainButton("cmdHotKeyHelp", QStringLiteral("Help"), hotKeyBox->parentWidget());
    hotKeyBox->addWidget(hotKeyEdit(), 1, 0);
    hotKeyBox->addWidget(cmdHotKeyHelp, 1, 1);
    hotKeyBox->addWidget(hotKeyStatus(), 2, 0, 1, 2);
    hotKeyBox->addWidget(desktopsHelp(), 3, 0, 1, 2, Qt::AlignLeft);
    auto *triggerBox =
        group(QStringLiteral("Window Title"), QStringLiteral("Run when a certain window appears."));
    edtTrigger = named(new QLineEdit(triggerBox->parentWidget()), "edtTrigger", "Window Title");
    cmdTriggerHelp =
        plainButton("cmdTriggerHelp", QStringLiteral("Help"), triggerBox->parentWidget());
    triggerBox->addWidget(edtTrigger, 1, 0);
    triggerBox->addWidget(cmdTriggerHelp, 1, 1);
    auto *shortcutBox = group(
        QStringLiteral("ShortCut Icon"), QStringLiteral("Create a shortcut to launch this macro."));
    cbShortCuts = named(new QComboBox(shortcutBox->parentWidget()), "cbShortCuts", "ShortCut Icon");
    for (const auto entry : wizard::ShortcutChoices)
        cbShortCuts->addItem(QString::fromLatin1(entry.data(), qsizetype(entry.size())));
    shortcutBox->addWidget(cbShortCuts, 1, 0, 1, 2);
}

void TfrmWizard::buildStartAppPage()
{
    auto *app = makePage(Page::pnlStartApp, QStringLiteral("Start an Application"));
    add(app,
        wrapped(QStringLiteral("Select 'Browse' to choose the application that will be launched."),
            app));
    add(app,
        wrapped(QStringLiteral("Note that you may enter a document name to launch instead of an "
                               "executable file. Leave the parameters and start in folder blank "
                               "if they are not applicable."),
            app));
    add(app,
        wrapped(QStringLiteral("Example Command Lines:\nC:\\Documents\\Fax Cover.doc\n"
                               "https://www.ostrin.example/\nmailto:support@ostrin.example"),
            app));
    auto *grid = new QGridLayout;
    edtCommandLine = named(new QLineEdit(app), "edtCommandLine", "Command Line");
    edtParameters = named(new QLineEdit(app), "edtParameters", "Parameters");
    edtStartIn = named(new QLineEdit(app), "edtStartIn", "Start In");
    cmdBrowse = plainButton("cmdBrowse", QStringLiteral("&Browse"), app);
    cmdBrowseFolder = plainButton("cmdBrowseFolder", QStringLiteral("&Browse"), app);
    grid->addWidget(new QLabel(QStringLiteral("Command Line:"), app), 0, 0);
    grid->addWidget(edtCommandLine, 0, 1);
    grid->addWidget(cmdBrowse, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Parameters:"), app), 1, 0);
    grid->addWidget(edtParameters, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Start In:"), app), 2, 0);
    grid->addWidget(edtStartIn, 2, 1);
    grid->addWidget(cmdBrowseFolder, 2, 2);
    add(app, grid);
}

void TfrmWizard::buildKeysTypePage()
{
    auto *keysType =
        makePage(Page::pnlKeystype, QStringLiteral("Record just keys or mouse and keys?"));
    optCapture = choice("optCapture", QStringLiteral("&Only capture keystrokes."), keysType);
    optManual =
        choice("optManual", QStringLiteral("Capture all mouse and keyboard actions."), keysType);
    add(keysType, makeRecordingNote(keysType));
    add(keysType, optCapture);
    add(keysType,
        wrapped(QStringLiteral("With this option, Quorvel will record all keystrokes as you type "
                               "them and will ignore any mouse movements and clicks."),
            keysType));
    add(keysType, optManual);
    add(keysType,
        wrapped(QStringLiteral("This option will allow you to record and playback all actions "
                               "performed with your mouse and your keyboard as you perform them."),
            keysType));
}

void TfrmWizard::buildRecordKeysPage()
{
    auto *recKeys = makePage(Page::pnlRecordKeys, QStringLiteral("Record Keystrokes"));
    add(recKeys, makeRecordingNote(recKeys));
    add(recKeys,
        wrapped(QStringLiteral("Select 'Start Recording' to begin recording each key that you "
                               "type.  If you need a place to type you may use the space below.  "
                               "When you are finshed, select 'Stop Recording'."),
            recKeys));
    auto *row = new QHBoxLayout;
    row->addWidget(makeButton(Button::cmdStartKeys, QStringLiteral("&Start Recording"), recKeys));
    row->addWidget(makeButton(Button::cmdStopKeys, QStringLiteral("Stop &Recording"), recKeys));
    row->addWidget(makeButton(Button::cmdPlayKeys, QStringLiteral("&Playback"), recKeys));
    add(recKeys, row);
    mmoKeys = named(new QPlainTextEdit(recKeys), "mmoKeys", "Practice Keys");
    add(recKeys, mmoKeys);
    add(recKeys,
        wrapped(QStringLiteral("Note that you do not have to type in the above box for the keys "
                               "to be recorded.  Special keys such as Ctrl and Alt will not show "
                               "up, but are recorded nonetheless."),
            recKeys));
    m_buttons[Button::cmdStopKeys]->setEnabled(false);
    m_buttons[Button::cmdPlayKeys]->setEnabled(false);
}

void TfrmWizard::buildRecordMousePage()
{
    auto *recMouse = makePage(Page::pnlRecordMouse, QStringLiteral("Record Mouse and Keyboard"));
    add(recMouse, makeRecordingNote(recMouse));
    add(recMouse,
        wrapped(QStringLiteral("Select 'Start Recording' to begin recording all mouse movements, "
                               "clicks and keystrokes.  When you are finshed type Shift+Ctrl+F12 "
                               "to end recording.  To cancel playback press 'Esc'."),
            recMouse));
    add(recMouse, new QLabel(QStringLiteral("<b>Shift+Ctrl+F12</b>"), recMouse));
    auto *row = new QHBoxLayout;
    row->addWidget(
        makeButton(Button::cmdRecordMouse, QStringLiteral("&Start Recording"), recMouse));
    row->addWidget(makeButton(Button::cmdStopMouse, QStringLiteral("Stop &Recording"), recMouse));
    row->addWidget(makeButton(Button::cmdPlayMouse, QStringLiteral("&Playback"), recMouse));
    add(recMouse, row);
    m_buttons[Button::cmdStopMouse]->setEnabled(false);
    auto *speed = new QGroupBox(QStringLiteral("Macro Playback Speed"), recMouse);
    speed->setAccessibleName(speed->title());
    auto *speedLayout = new QVBoxLayout(speed);
    optNormalSpeed = choice(
        "optNormalSpeed", QStringLiteral("Play this macro back at its recorded speed."), speed);
    optHighSpeed =
        choice("optHighSpeed", QStringLiteral("Play this macro back at high speed."), speed);
    speedLayout->addWidget(optNormalSpeed);
    speedLayout->addWidget(optHighSpeed);
    add(recMouse, speed);
}

void TfrmWizard::buildManualKeysPage()
{
    // The text, with the insertion menus beside it.
    auto *manual = makePage(Page::pnlManualKeys, QStringLiteral("Create an advanced macro"));
    add(manual,
        wrapped(QStringLiteral("Type the keys to be played back below.  Use the extra options for "
                               "additional features."),
            manual));
    mmoManKeys = named(new QPlainTextEdit(manual), "mmoManKeys", "Macro Text");
    mmoManKeys->installEventFilter(this);
    edtSpecialKeys = new QLineEdit(manual);
    edtSpecialKeys->setObjectName(QStringLiteral("edtSpecialKeys"));
    edtSpecialKeys->hide();
    auto *inserts = new QVBoxLayout;
    auto menuButton = [&](insertion::Menu menu, const char *objectName, const QString &caption) {
        auto *button = named(new TEPMenuButton(caption, manual), objectName, plainCaption(caption));
        button->setAutoDefault(false);
        QStringList items;
        for (const auto &item : insertion::menuItems(menu))
            items << QString::fromLatin1(item.text.data(), qsizetype(item.text.size()));
        button->SetItems(items);
        connect(button, &TEPMenuButton::changed, this, [this, menu](int index) {
            if (m_insertion)
                m_insertion->menuChange(menu, index);
        });
        inserts->addWidget(button);
    };
    menuButton(insertion::Menu::cmdSpecialKeys, "cmdSpecialKeys", QStringLiteral("Special &Keys"));
    menuButton(insertion::Menu::EPMenuButton3, "EPMenuButton3", QStringLiteral("&More Keys"));
    auto *cmdDelay = pushButton("cmdDelay", QStringLiteral("&Start a Delay"), manual);
    connect(cmdDelay, &QPushButton::clicked, this, [this] {
        if (m_insertion)
            m_insertion->cmdDelayClick();
    });
    inserts->addWidget(cmdDelay);
    menuButton(insertion::Menu::EPMenuButton2, "EPMenuButton2", QStringLiteral("&Repeat"));
    menuButton(insertion::Menu::EPMenuButton1, "EPMenuButton1", QStringLiteral("&Date / Time"));
    menuButton(insertion::Menu::EPMenuButton4, "EPMenuButton4", QStringLiteral("&Misc."));
    inserts->addStretch();
    auto *editor = new QHBoxLayout;
    editor->addWidget(mmoManKeys, 1);
    editor->addLayout(inserts);
    static_cast<QVBoxLayout *>(manual->layout())->addLayout(editor, 1);

    // Under the text: what the checker finds as the user types, and the dry run on demand.
    m_highlighter = new MacroHighlighter(mmoManKeys->document());
    auto panel = [manual](const char *name, const char *accessibleName) {
        auto *memo = named(new QPlainTextEdit(manual), name, accessibleName);
        memo->setReadOnly(true);
        memo->setFixedHeight(96);
        memo->setTabChangesFocus(true);
        return memo;
    };
    mmoCheck = panel("mmoCheck", "Macro Check");
    mmoDryRun = panel("mmoDryRun", "Dry Run");
    cmdDryRun = pushButton("cmdDryRun", QStringLiteral("Dr&y Run"), manual);
    auto *checkLabel = new QLabel(QStringLiteral("C&heck:"), manual);
    checkLabel->setBuddy(mmoCheck);
    auto *checks = new QGridLayout;
    checks->addWidget(checkLabel, 0, 0);
    checks->addWidget(cmdDryRun, 0, 1, Qt::AlignLeft);
    checks->addWidget(mmoCheck, 1, 0);
    checks->addWidget(mmoDryRun, 1, 1);
    add(manual, checks);
    m_checkTimer = new QTimer(this);
    m_checkTimer->setSingleShot(true);
    m_checkTimer->setInterval(MacroCheckModel::CheckDelayMs);
    connect(m_checkTimer, &QTimer::timeout, this, [this] {
        if (m_check && m_check->pauseEnded())
            showCheck();
    });
    connect(cmdDryRun, &QPushButton::clicked, this, [this] {
        if (!m_check)
            return;
        checkNow();
        m_check->dryRun();
        mmoDryRun->setPlainText(qs(m_check->dryRunText()));
    });
}

void TfrmWizard::buildFinishedPage()
{
    auto *finished = makePage(Page::pnlFinished, QStringLiteral("Finished"));
    add(finished,
        wrapped(QStringLiteral("To complete the creation this macro select 'Finish'.  To modify "
                               "any previous settings select 'Back'."),
            finished));
    auto *grid = new QGridLayout;
    struct Row
    {
        const char *caption, *name, *accessibleName;
        QLabel **label;
    };
    const Row rows[] = {
        { "Macro Name:", "lblMacroName", "Macro Name Summary", &lblMacroName },
        { "Macro Type:", "lblMacroType", "Macro Type Summary", &lblMacroType },
        { "Shortcut Keys:", "lblShortcutKeys", "Shortcut Keys Summary", &lblShortcutKeys },
        { "Window Trigger:", "lblWTrigger", "Window Trigger Summary", &lblWTrigger },
    };
    int at = 0;
    for (const Row &row : rows) {
        grid->addWidget(new QLabel(QLatin1String(row.caption), finished), at, 0);
        *row.label = named(new QLabel(finished), row.name, row.accessibleName);
        grid->addWidget(*row.label, at++, 1);
    }
    add(finished, grid);
}

void TfrmWizard::buildButtonRow()
{
    auto *row = new QHBoxLayout;
    imgEdit = new QLabel(this);
    imgEdit->setObjectName(QStringLiteral("imgEdit"));
    imgEdit->setPixmap(kindPicture(1, 32));
    imgEdit->setVisible(false);
    row->addWidget(imgEdit);
    row->addStretch();
    row->addWidget(makeButton(Button::cmdStepBack, QStringLiteral("< &Back"), this));
    row->addWidget(makeButton(Button::cmdNext, QStringLiteral("&Next >"), this));
    row->addWidget(makeButton(Button::cmdFinished, QStringLiteral("&Finished"), this));
    row->addWidget(makeButton(Button::cmdSave, QStringLiteral("&Save"), this));
    row->addWidget(makeButton(Button::cmdCancel, QStringLiteral("&Cancel"), this));
    m_buttons[Button::cmdNext]->setDefault(true);
    m_buttons[Button::cmdStepBack]->setEnabled(false);
    m_buttons[Button::cmdFinished]->setVisible(false);
    m_buttons[Button::cmdSave]->setVisible(false);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    layout->addLayout(row);
}

void TfrmWizard::setCheckModel(MacroCheckModel &model)
{
    m_check = &model;
}

void TfrmWizard::checkNow()
{
    m_checkTimer->stop();
    if (!m_check)
        return;
    m_check->setMacro(m_model.editRecord(), m_model.fields().name);
    m_check->setText(mmoManKeys->toPlainText().toStdString());
    m_check->check();
    showCheck();
}

void TfrmWizard::showCheck()
{
    mmoCheck->setPlainText(qs(m_check->findingsText()));
    mmoDryRun->setPlainText(qs(m_check->dryRunText()));
    m_highlighter->rehighlight();
}

void TfrmWizard::setInsertionModel(InsertionModel &model)
{
    if (!m_insertionDialogs)
        m_insertionDialogs =
            std::make_unique<InsertionDialogs>(model, mmoManKeys, edtSpecialKeys, this);
    m_insertion = &model;
    model.setView(*m_insertionDialogs);
}

QWidget *TfrmWizard::makePage(Page page, const QString &title)
{
    auto *widget = new QWidget(m_pages);
    static const char *names[] = { "pnlStart", "pnlName", "pnlHotKey", "pnlStartApp", "pnlKeystype",
        "pnlRecordKeys", "pnlRecordMouse", "pnlManualKeys", "pnlFinished" };
    widget->setObjectName(QLatin1String(names[int(page)]));
    auto *layout = new QVBoxLayout(widget);
    auto *heading = new QLabel(title, widget);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    layout->addWidget(heading);
    m_pages->addWidget(widget);
    m_pnl[page] = widget;
    return widget;
}

QPushButton *TfrmWizard::makeButton(Button button, const QString &caption, QWidget *parent)
{
    static const char *names[] = { "cmdStepBack", "cmdNext", "cmdFinished", "cmdSave", "cmdCancel",
        "cmdStartKeys", "cmdStopKeys", "cmdPlayKeys", "cmdRecordMouse", "cmdStopMouse",
        "cmdPlayMouse" };
    return m_buttons[button] = pushButton(names[int(button)], caption, parent);
}

void TfrmWizard::connectFields()
{
    auto &m = m_model;
    auto text = [this](QLineEdit *edit, std::string WizardFields::*field) {
        connect(edit, &QLineEdit::textChanged, this, [this, field](const QString &value) {
            if (!m_loading)
                m_model.fields().*field = value.toStdString();
        });
    };
    text(edtMacroName, &WizardFields::name);
    text(edtTrigger, &WizardFields::trigger);
    text(edtCommandLine, &WizardFields::commandLine);
    text(edtParameters, &WizardFields::parameters);
    text(edtStartIn, &WizardFields::startIn);
    connect(hotKeyEdit(), &THotKeyEdit::hotKeyChanged, this, [this](unsigned value) {
        if (!m_loading)
            m_model.setHotKey(value);
    });
    connect(mmoManKeys, &QPlainTextEdit::textChanged, this, [this] {
        std::string text = mmoManKeys->toPlainText().toStdString();
        if (!m_loading)
            m_model.fields().advancedText = text;
        if (m_check && m_check->edit(std::move(text))) {
            mmoDryRun->setPlainText(qs(m_check->dryRunText()));
            m_checkTimer->start();
        }
    });
    connect(cbShortCuts, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_loading)
            m_model.fields().shortcut = index;
    });
    auto radio = [this](QRadioButton *button, auto apply) {
        connect(button, &QRadioButton::toggled, this, [this, apply](bool on) {
            if (on && !m_loading)
                apply(m_model.fields());
        });
    };
    radio(optRecKeys, [](WizardFields &f) { f.choice = wizard::Choice::optRecKeys; });
    radio(optRecMouse, [](WizardFields &f) { f.choice = wizard::Choice::optRecMouse; });
    radio(optStartApp, [](WizardFields &f) { f.choice = wizard::Choice::optStartApp; });
    radio(optCapture, [](WizardFields &f) { f.captureKeysOnly = true; });
    radio(optManual, [](WizardFields &f) { f.captureKeysOnly = false; });
    radio(optNormalSpeed, [](WizardFields &f) { f.highSpeed = false; });
    radio(optHighSpeed, [](WizardFields &f) { f.highSpeed = true; });

    const std::pair<Button, void (WizardModel::*)()> handlers[] = {
        { Button::cmdNext, &WizardModel::cmdNextClick },
        { Button::cmdStepBack, &WizardModel::cmdStepBackClick },
        { Button::cmdCancel, &WizardModel::cmdCancelClick },
        { Button::cmdFinished, &WizardModel::cmdFinishedClick },
        { Button::cmdSave, &WizardModel::cmdSaveClick },
        { Button::cmdStartKeys, &WizardModel::cmdStartKeysClick },
        { Button::cmdStopKeys, &WizardModel::cmdStopKeysClick },
        { Button::cmdPlayKeys, &WizardModel::cmdPlayKeysClick },
        { Button::cmdRecordMouse, &WizardModel::cmdRecordMouseClick },
        { Button::cmdStopMouse, &WizardModel::cmdStopMouseClick },
        { Button::cmdPlayMouse, &WizardModel::cmdPlayMouseClick },
    };
    for (const auto &[button, handler] : handlers)
        connect(m_buttons[button], &QPushButton::clicked, this, [&m, h = handler] { (m.*h)(); });
    connect(cmdBrowse, &QPushButton::clicked, this, [&m] { m.cmdBrowseClick(); });
    connect(cmdBrowseFolder, &QPushButton::clicked, this, [&m] { m.cmdBrowseFolderClick(); });
    connect(cmdHotKeyHelp, &QPushButton::clicked, this, [&m] { m.cmdHotKeyHelpClick(); });
    connect(cmdTriggerHelp, &QPushButton::clicked, this, [&m] { m.cmdTriggerHelpClick(); });
}

void TfrmWizard::showEvent(QShowEvent *event)
{
    EditorDialog::showEvent(event);
    m_model.FormShow();
}

bool TfrmWizard::eventFilter(QObject *watched, QEvent *event)
{
    // The advanced text is one line of keys: Enter does not break it.
    if (watched == mmoManKeys && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return true;
    }
    return EditorDialog::eventFilter(watched, event);
}

void TfrmWizard::showPage(Page page)
{
    m_pages->setCurrentWidget(m_pnl[page]);
    if (page == Page::pnlManualKeys)
        checkNow();
}

void TfrmWizard::setButtonEnabled(Button button, bool enabled)
{
    m_buttons[button]->setEnabled(enabled);
}

void TfrmWizard::setButtonVisible(Button button, bool visible)
{
    m_buttons[button]->setVisible(visible);
}

void TfrmWizard::setFocus(wizard::Focus focus)
{
    QWidget *widgets[] = { edtMacroName, hotKeyEdit(), cmdBrowse, mmoManKeys, mmoKeys };
    widgets[int(focus)]->setFocus();
}

void TfrmWizard::loadFields(const WizardFields &f)
{
    m_loading = true;
    const std::pair<wizard::Choice, QRadioButton *> choices[] = {
        { wizard::Choice::optRecKeys, optRecKeys },
        { wizard::Choice::optRecMouse, optRecMouse },
        { wizard::Choice::optStartApp, optStartApp },
    };
    for (const auto &[value, radio] : choices)
        radio->setChecked(f.choice == value);
    (f.captureKeysOnly ? optCapture : optManual)->setChecked(true);
    (f.highSpeed ? optHighSpeed : optNormalSpeed)->setChecked(true);
    edtMacroName->setText(qs(f.name));
    hotKeyEdit()->SetHotKey(f.hotKey);
    edtTrigger->setText(qs(f.trigger));
    cbShortCuts->setCurrentIndex(f.shortcut);
    edtCommandLine->setText(qs(f.commandLine));
    edtParameters->setText(qs(f.parameters));
    edtStartIn->setText(qs(f.startIn));
    if (mmoManKeys->toPlainText().toStdString() != f.advancedText)
        mmoManKeys->setPlainText(qs(f.advancedText));
    m_loading = false;
    if (m_pages->currentWidget() == m_pnl[Page::pnlManualKeys])
        checkNow();
}

void TfrmWizard::showSummary(const WizardSummary &s)
{
    showValue(lblMacroName, s.macroName);
    showValue(lblMacroType, s.macroType);
    showValue(lblShortcutKeys, s.shortcutKeys);
    showValue(lblWTrigger, s.windowTrigger);
}

void TfrmWizard::setEditPictureVisible(bool visible)
{
    imgEdit->setVisible(visible);
}

void TfrmWizard::showMessage(const std::string &text)
{
    QMessageBox::information(this, windowTitle(), qs(text));
}

bool TfrmWizard::askYesNo(const std::string &text)
{
    return QMessageBox::warning(this, windowTitle(), qs(text), QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
}

} // namespace quorvel
