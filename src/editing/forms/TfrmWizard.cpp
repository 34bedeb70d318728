// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/forms/TfrmWizard.h"

#include "common/ScopeGuard.h"
#include "components/forms/Artwork.h"
#include "components/forms/FileFilter.h"
#include "components/forms/TEPMenuButton.h"
#include "editing/forms/InsertionDialogs.h"
#include "editing/forms/MacroHighlighter.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace quorvel {

using wizard::Button;
using wizard::Page;

namespace {

QString qs(const std::string &s)
{
    return QString::fromStdString(s);
}

QLabel *wrapped(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

QRadioButton *choice(const QString &name, const QString &caption, QWidget *parent)
{
    auto *radio = new QRadioButton(caption, parent);
    radio->setObjectName(name);
    radio->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
    return radio;
}

template <typename W> W *named(W *widget, const char *name, const char *accessibleName)
{
    widget->setObjectName(QLatin1String(name));
    widget->setAccessibleName(QLatin1String(accessibleName));
    return widget;
}

// A summary value: its text is also its accessible description.
void setValue(QLabel *label, const std::string &text)
{
    label->setText(qs(text));
    label->setAccessibleDescription(qs(text));
}

} // namespace

TfrmWizard::TfrmWizard(WizardModel &model, QWidget *parent)
    : QDialog(parent)
    , m_model(model)
{
    setObjectName(QStringLiteral("frmWizard"));
    setWindowTitle(QStringLiteral("Macro Assistant"));
    setWindowModality(Qt::ApplicationModal);

    pages = new QStackedWidget(this);

    // pnlStart
    auto *start = makePage(Page::pnlStart, QStringLiteral("What would you like this macro to do?"));
    optRecKeys = choice(QStringLiteral("optRecKeys"),
        QStringLiteral("&Create a macro using advanced options."), start);
    optRecMouse = choice(QStringLiteral("optRecMouse"),
        QStringLiteral("&Playback mouse movements, clicks, and keystrokes."), start);
    optStartApp = choice(QStringLiteral("optStartApp"),
        QStringLiteral("&Start an Application or Launch a Document"), start);
    start->layout()->addWidget(optRecKeys);
    start->layout()->addWidget(wrapped(
        QStringLiteral("This option will allow you to construct a macro that consists of various "
                       "sophistacated options such as typing keys, repeating sequences, working "
                       "with specific windows, pausing, gathering and typing user input, etc.."),
        start));
    start->layout()->addWidget(optRecMouse);
    start->layout()->addWidget(wrapped(QStringLiteral("Use this option to playback all mouse "
                                                      "movements, clicks and keystrokes that you "
                                                      "record."),
        start));
    start->layout()->addWidget(optStartApp);
    start->layout()->addWidget(wrapped(
        QStringLiteral("This option will allow you to launch any application or document on your "
                       "system as well as instantly access web sites and send eMail with just one "
                       "keystroke."),
        start));

    // pnlName
    auto *name = makePage(Page::pnlName, QStringLiteral("Name Your Macro"));
    name->layout()->addWidget(wrapped(QStringLiteral("Type a unique name for this macro in the "
                                                     "space below and select 'Next'."),
        name));
    edtMacroName = named(new QLineEdit(name), "edtMacroName", "Macro Name");
    edtMacroName->setMaxLength(wizard::MaxNameLength);
    name->layout()->addWidget(edtMacroName);

    // pnlHotKey
    auto *triggers = makePage(Page::pnlHotKey, QStringLiteral("Select Triggers"));
    auto group = [triggers](const QString &title, const QString &text) {
        auto *box = new QGroupBox(title, triggers);
        box->setAccessibleName(title);
        auto *layout = new QGridLayout(box);
        layout->addWidget(wrapped(text, box), 0, 0, 1, 2);
        triggers->layout()->addWidget(box);
        return box;
    };
    auto *hotKeyBox = group(
        QStringLiteral("Hot Key"), QStringLiteral("Run when a certain set of keys is pressed."));
    HotKey1 = named(new THotKeyEdit(hotKeyBox), "HotKey1", "Hot Key");
    cmdHotKeyHelp = new QPushButton(QStringLiteral("Help"), hotKeyBox);
    cmdHotKeyHelp->setObjectName(QStringLiteral("cmdHotKeyHelp"));
    static_cast<QGridLayout *>(hotKeyBox->layout())->addWidget(HotKey1, 1, 0);
    static_cast<QGridLayout *>(hotKeyBox->layout())->addWidget(cmdHotKeyHelp, 1, 1);
    lblHotKeyStatus = named(new QLabel(hotKeyBox), "lblHotKeyStatus", "Hot Key Status");
    lblHotKeyStatus->setWordWrap(true);
    static_cast<QGridLayout *>(hotKeyBox->layout())->addWidget(lblHotKeyStatus, 2, 0, 1, 2);
    auto *triggerBox =
        group(QStringLiteral("Window Title"), QStringLiteral("Run when a certain window appears."));
    edtTrigger = named(new QLineEdit(triggerBox), "edtTrigger", "Window Title");
    cmdTriggerHelp = new QPushButton(QStringLiteral("Help"), triggerBox);
    cmdTriggerHelp->setObjectName(QStringLiteral("cmdTriggerHelp"));
    static_cast<QGridLayout *>(triggerBox->layout())->addWidget(edtTrigger, 1, 0);
    static_cast<QGridLayout *>(triggerBox->layout())->addWidget(cmdTriggerHelp, 1, 1);
    auto *shortcutBox = group(
        QStringLiteral("ShortCut Icon"), QStringLiteral("Create a shortcut to launch this macro."));
    cbShortCuts = named(new QComboBox(shortcutBox), "cbShortCuts", "ShortCut Icon");
    for (const auto entry : wizard::ShortcutChoices)
        cbShortCuts->addItem(QString::fromLatin1(entry.data(), qsizetype(entry.size())));
    static_cast<QGridLayout *>(shortcutBox->layout())->addWidget(cbShortCuts, 1, 0, 1, 2);

    // pnlStartApp
    auto *app = makePage(Page::pnlStartApp, QStringLiteral("Start an Application"));
    app->layout()->addWidget(wrapped(
        QStringLiteral("Select 'Browse' to choose the application that will be launched."), app));
    app->layout()->addWidget(wrapped(
        QStringLiteral("Note that you may enter a document name to launch instead of an "
                       "executable file. Leave the parameters and start in folder blank if they "
                       "are not applicable."),
        app));
    app->layout()->addWidget(
        wrapped(QStringLiteral("Example Command Lines:\nC:\\Documents\\Fax Cover.doc\n"
                               "https://www.ostrin.example/\nmailto:support@ostrin.example"),
            app));
    auto *appGrid = new QGridLayout;
    edtCommandLine = named(new QLineEdit(app), "edtCommandLine", "Command Line");
    edtParameters = named(new QLineEdit(app), "edtParameters", "Parameters");
    edtStartIn = named(new QLineEdit(app), "edtStartIn", "Start In");
    cmdBrowse = new QPushButton(QStringLiteral("&Browse"), app);
    cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
    cmdBrowseFolder = new QPushButton(QStringLiteral("&Browse"), app);
    cmdBrowseFolder->setObjectName(QStringLiteral("cmdBrowseFolder"));
    appGrid->addWidget(new QLabel(QStringLiteral("Command Line:"), app), 0, 0);
    appGrid->addWidget(edtCommandLine, 0, 1);
    appGrid->addWidget(cmdBrowse, 0, 2);
    appGrid->addWidget(new QLabel(QStringLiteral("Parameters:"), app), 1, 0);
    appGrid->addWidget(edtParameters, 1, 1);
    appGrid->addWidget(new QLabel(QStringLiteral("Start In:"), app), 2, 0);
    appGrid->addWidget(edtStartIn, 2, 1);
    appGrid->addWidget(cmdBrowseFolder, 2, 2);
    static_cast<QVBoxLayout *>(app->layout())->addLayout(appGrid);

    // pnlKeystype
    auto *keysType =
        makePage(Page::pnlKeystype, QStringLiteral("Record just keys or mouse and keys?"));
    optCapture =
        choice(QStringLiteral("optCapture"), QStringLiteral("&Only capture keystrokes."), keysType);
    optManual = choice(QStringLiteral("optManual"),
        QStringLiteral("Capture all mouse and keyboard actions."), keysType);
    keysType->layout()->addWidget(optCapture);
    keysType->layout()->addWidget(
        wrapped(QStringLiteral("With this option, Quorvel will record all keystrokes as you type "
                               "them and will ignore any mouse movements and clicks."),
            keysType));
    keysType->layout()->addWidget(optManual);
    keysType->layout()->addWidget(
        wrapped(QStringLiteral("This option will allow you to record and playback all actions "
                               "performed with your mouse and your keyboard as you perform them."),
            keysType));

    // pnlRecordKeys
    auto *recKeys = makePage(Page::pnlRecordKeys, QStringLiteral("Record Keystrokes"));
    recKeys->layout()->addWidget(wrapped(
        QStringLiteral("Select 'Start Recording' to begin recording each key that you type.  If "
                       "you need a place to type you may use the space below.  When you are "
                       "finshed, select 'Stop Recording'."),
        recKeys));
    auto *keyButtons = new QHBoxLayout;
    keyButtons->addWidget(
        makeButton(Button::cmdStartKeys, QStringLiteral("&Start Recording"), recKeys));
    keyButtons->addWidget(
        makeButton(Button::cmdStopKeys, QStringLiteral("Stop &Recording"), recKeys));
    keyButtons->addWidget(makeButton(Button::cmdPlayKeys, QStringLiteral("&Playback"), recKeys));
    static_cast<QVBoxLayout *>(recKeys->layout())->addLayout(keyButtons);
    mmoKeys = named(new QPlainTextEdit(recKeys), "mmoKeys", "Practice Keys");
    recKeys->layout()->addWidget(mmoKeys);
    recKeys->layout()->addWidget(wrapped(
        QStringLiteral("Note that you do not have to type in the above box for the keys to be "
                       "recorded.  Special keys such as Ctrl and Alt will not show up, but are "
                       "recorded nonetheless."),
        recKeys));
    buttons[Button::cmdStopKeys]->setEnabled(false);
    buttons[Button::cmdPlayKeys]->setEnabled(false);

    // pnlRecordMouse
    auto *recMouse = makePage(Page::pnlRecordMouse, QStringLiteral("Record Mouse and Keyboard"));
    recMouse->layout()->addWidget(wrapped(
        QStringLiteral("Select 'Start Recording' to begin recording all mouse movements, clicks "
                       "and keystrokes.  When you are finshed type Shift+Ctrl+F12 to end "
                       "recording.  To cancel playback press 'Esc'."),
        recMouse));
    auto *stopKey = new QLabel(QStringLiteral("<b>Shift+Ctrl+F12</b>"), recMouse);
    recMouse->layout()->addWidget(stopKey);
    auto *mouseButtons = new QHBoxLayout;
    mouseButtons->addWidget(
        makeButton(Button::cmdRecordMouse, QStringLiteral("&Start Recording"), recMouse));
    mouseButtons->addWidget(
        makeButton(Button::cmdStopMouse, QStringLiteral("Stop &Recording"), recMouse));
    mouseButtons->addWidget(
        makeButton(Button::cmdPlayMouse, QStringLiteral("&Playback"), recMouse));
    static_cast<QVBoxLayout *>(recMouse->layout())->addLayout(mouseButtons);
    buttons[Button::cmdStopMouse]->setEnabled(false);
    auto *speed = new QGroupBox(QStringLiteral("Macro Playback Speed"), recMouse);
    speed->setAccessibleName(speed->title());
    auto *speedLayout = new QVBoxLayout(speed);
    optNormalSpeed = choice(QStringLiteral("optNormalSpeed"),
        QStringLiteral("Play this macro back at its recorded speed."), speed);
    optHighSpeed = choice(QStringLiteral("optHighSpeed"),
        QStringLiteral("Play this macro back at high speed."), speed);
    speedLayout->addWidget(optNormalSpeed);
    speedLayout->addWidget(optHighSpeed);
    recMouse->layout()->addWidget(speed);

    // pnlManualKeys: the text, with the insertion menus beside it.
    auto *manual = makePage(Page::pnlManualKeys, QStringLiteral("Create an advanced macro"));
    manual->layout()->addWidget(wrapped(QStringLiteral("Type the keys to be played back below.  "
                                                       "Use the extra options for additional "
                                                       "features."),
        manual));
    mmoManKeys = named(new QPlainTextEdit(manual), "mmoManKeys", "Macro Text");
    mmoManKeys->installEventFilter(this);
    edtSpecialKeys = new QLineEdit(manual);
    edtSpecialKeys->setObjectName(QStringLiteral("edtSpecialKeys"));
    edtSpecialKeys->hide();
    auto *inserts = new QVBoxLayout;
    auto menuButton = [&](insertion::Menu menu, const char *objectName, const QString &caption) {
        auto *button = new TEPMenuButton(caption, manual);
        button->setObjectName(QLatin1String(objectName));
        button->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
        button->setAutoDefault(false);
        QStringList items;
        for (const auto &item : insertion::menuItems(menu))
            items << QString::fromLatin1(item.text.data(), qsizetype(item.text.size()));
        button->SetItems(items);
        connect(button, &TEPMenuButton::changed, this, [this, menu](int index) {
            if (m_insertion)
                m_insertion->menuChange(menu, index);
        });
        menus[menu] = button;
        inserts->addWidget(button);
    };
    menuButton(insertion::Menu::cmdSpecialKeys, "cmdSpecialKeys", QStringLiteral("Special &Keys"));
    menuButton(insertion::Menu::EPMenuButton3, "EPMenuButton3", QStringLiteral("&More Keys"));
    cmdDelay = new QPushButton(QStringLiteral("&Start a Delay"), manual);
    cmdDelay->setObjectName(QStringLiteral("cmdDelay"));
    cmdDelay->setAccessibleName(QStringLiteral("Start a Delay"));
    cmdDelay->setAutoDefault(false);
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
    highlighter = new MacroHighlighter(mmoManKeys->document());
    auto panel = [manual](const char *name, const char *accessibleName) {
        auto *memo = named(new QPlainTextEdit(manual), name, accessibleName);
        memo->setReadOnly(true);
        memo->setFixedHeight(96);
        memo->setTabChangesFocus(true);
        return memo;
    };
    mmoCheck = panel("mmoCheck", "Macro Check");
    mmoDryRun = panel("mmoDryRun", "Dry Run");
    cmdDryRun = new QPushButton(QStringLiteral("Dr&y Run"), manual);
    cmdDryRun->setObjectName(QStringLiteral("cmdDryRun"));
    cmdDryRun->setAccessibleName(QStringLiteral("Dry Run"));
    cmdDryRun->setAutoDefault(false);
    auto *checkLabel = new QLabel(QStringLiteral("C&heck:"), manual);
    checkLabel->setBuddy(mmoCheck);
    auto *checks = new QGridLayout;
    checks->addWidget(checkLabel, 0, 0);
    checks->addWidget(cmdDryRun, 0, 1, Qt::AlignLeft);
    checks->addWidget(mmoCheck, 1, 0);
    checks->addWidget(mmoDryRun, 1, 1);
    static_cast<QVBoxLayout *>(manual->layout())->addLayout(checks);
    checkTimer = new QTimer(this);
    checkTimer->setSingleShot(true);
    checkTimer->setInterval(CheckDelayMs);
    connect(checkTimer, &QTimer::timeout, this, [this] { checkText(); });
    connect(cmdDryRun, &QPushButton::clicked, this, [this] { dryRunText(); });

    // pnlFinished
    auto *finished = makePage(Page::pnlFinished, QStringLiteral("Finished"));
    finished->layout()->addWidget(wrapped(
        QStringLiteral("To complete the creation this macro select 'Finish'.  To modify any "
                       "previous settings select 'Back'."),
        finished));
    auto *summaryGrid = new QGridLayout;
    const std::pair<const char *, QLabel **> summary[] = {
        { "Macro Name:", &lblMacroName },
        { "Macro Type:", &lblMacroType },
        { "Shortcut Keys:", &lblShortcutKeys },
        { "Window Trigger:", &lblWTrigger },
    };
    const char *summaryNames[] = { "lblMacroName", "lblMacroType", "lblShortcutKeys",
        "lblWTrigger" };
    const char *summaryAccessible[] = { "Macro Name Summary", "Macro Type Summary",
        "Shortcut Keys Summary", "Window Trigger Summary" };
    int row = 0;
    for (const auto &[caption, label] : summary) {
        summaryGrid->addWidget(new QLabel(QLatin1String(caption), finished), row, 0);
        *label = named(new QLabel(finished), summaryNames[row], summaryAccessible[row]);
        summaryGrid->addWidget(*label, row, 1);
        ++row;
    }
    static_cast<QVBoxLayout *>(finished->layout())->addLayout(summaryGrid);

    // The button row.
    auto *row2 = new QHBoxLayout;
    imgEdit = new QLabel(this);
    imgEdit->setObjectName(QStringLiteral("imgEdit"));
    imgEdit->setPixmap(kindPicture(1, 32));
    imgEdit->setVisible(false);
    row2->addWidget(imgEdit);
    row2->addStretch();
    row2->addWidget(makeButton(Button::cmdStepBack, QStringLiteral("< &Back"), this));
    row2->addWidget(makeButton(Button::cmdNext, QStringLiteral("&Next >"), this));
    row2->addWidget(makeButton(Button::cmdFinished, QStringLiteral("&Finished"), this));
    row2->addWidget(makeButton(Button::cmdSave, QStringLiteral("&Save"), this));
    row2->addWidget(makeButton(Button::cmdCancel, QStringLiteral("&Cancel"), this));
    buttons[Button::cmdNext]->setDefault(true);
    buttons[Button::cmdStepBack]->setEnabled(false);
    buttons[Button::cmdFinished]->setVisible(false);
    buttons[Button::cmdSave]->setVisible(false);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(pages);
    layout->addLayout(row2);

    optRecKeys->setChecked(true);
    optCapture->setChecked(true);
    optNormalSpeed->setChecked(true);
    connectFields();
    for (auto &[page, widget] : pnl)
        static_cast<QVBoxLayout *>(widget->layout())->addStretch();

    setFixedSize(560, 540);
    m_model.setView(*this);
}

TfrmWizard::~TfrmWizard() = default;

void TfrmWizard::setCheckModel(MacroCheckModel &model)
{
    m_check = &model;
}

void TfrmWizard::checkText()
{
    checkTimer->stop();
    if (!m_check)
        return;
    m_check->setText(mmoManKeys->toPlainText().toStdString());
    m_check->setMacro(m_model.editRecord(), m_model.fields().name);
    m_check->check();
    mmoCheck->setPlainText(qs(m_check->findingsText()));
    mmoDryRun->setPlainText(qs(m_check->dryRunText()));
    highlighter->rehighlight();
}

void TfrmWizard::dryRunText()
{
    if (!m_check)
        return;
    checkText();
    m_check->dryRun();
    mmoDryRun->setPlainText(qs(m_check->dryRunText()));
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
    auto *widget = new QWidget(pages);
    static const char *names[] = { "pnlStart", "pnlName", "pnlHotKey", "pnlStartApp", "pnlKeystype",
        "pnlRecordKeys", "pnlRecordMouse", "pnlManualKeys", "pnlFinished" };
    widget->setObjectName(QLatin1String(names[int(page)]));
    auto *layout = new QVBoxLayout(widget);
    auto *heading = new QLabel(title, widget);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    layout->addWidget(heading);
    pages->addWidget(widget);
    pnl[page] = widget;
    return widget;
}

QPushButton *TfrmWizard::makeButton(Button button, const QString &caption, QWidget *parent)
{
    static const char *names[] = { "cmdStepBack", "cmdNext", "cmdFinished", "cmdSave", "cmdCancel",
        "cmdStartKeys", "cmdStopKeys", "cmdPlayKeys", "cmdRecordMouse", "cmdStopMouse",
        "cmdPlayMouse" };
    auto *push = new QPushButton(caption, parent);
    push->setObjectName(QLatin1String(names[int(button)]));
    push->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
    push->setAutoDefault(false);
    buttons[button] = push;
    return push;
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
    connect(HotKey1, &THotKeyEdit::hotKeyChanged, this, [this](unsigned value) {
        if (!m_loading)
            m_model.setHotKey(value);
    });
    connect(mmoManKeys, &QPlainTextEdit::textChanged, this, [this] {
        const std::string text = mmoManKeys->toPlainText().toStdString();
        if (!m_loading)
            m_model.fields().advancedText = text;
        // Marking the tokens signals a change too; only a new text is checked again.
        if (m_check && text != m_check->text()) {
            m_check->setText(text);
            mmoDryRun->setPlainText(qs(m_check->dryRunText()));
            checkTimer->start();
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
        connect(buttons[button], &QPushButton::clicked, this, [&m, h = handler] { (m.*h)(); });
    connect(cmdBrowse, &QPushButton::clicked, this, [&m] { m.cmdBrowseClick(); });
    connect(cmdBrowseFolder, &QPushButton::clicked, this, [&m] { m.cmdBrowseFolderClick(); });
    connect(cmdHotKeyHelp, &QPushButton::clicked, this, [&m] { m.cmdHotKeyHelpClick(); });
    connect(cmdTriggerHelp, &QPushButton::clicked, this, [&m] { m.cmdTriggerHelpClick(); });
}

void TfrmWizard::showModal()
{
    QEventLoop loop;
    m_loop = &loop;
    const ScopeGuard forget([this] { m_loop = nullptr; });
    show();
    if (isVisible())
        loop.exec();
}

void TfrmWizard::endShowing()
{
    hide();
    if (m_loop)
        m_loop->quit();
}

void TfrmWizard::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    m_model.FormShow();
}

void TfrmWizard::closeEvent(QCloseEvent *event)
{
    m_model.FormClose();
    event->accept();
    if (m_loop)
        m_loop->quit();
}

void TfrmWizard::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F1)
        m_model.FormKeyUp(112);
    QDialog::keyReleaseEvent(event);
}

void TfrmWizard::reject()
{
    m_model.cmdCancelClick();
}

bool TfrmWizard::eventFilter(QObject *watched, QEvent *event)
{
    // The advanced text is one line of keys: Enter does not break it.
    if (watched == mmoManKeys && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmWizard::showPage(Page page)
{
    pages->setCurrentWidget(pnl[page]);
    if (page == Page::pnlManualKeys)
        checkText();
}

void TfrmWizard::setButtonEnabled(Button button, bool enabled)
{
    buttons[button]->setEnabled(enabled);
}

void TfrmWizard::setButtonVisible(Button button, bool visible)
{
    buttons[button]->setVisible(visible);
}

void TfrmWizard::setFocus(wizard::Focus focus)
{
    QWidget *widgets[] = { edtMacroName, HotKey1, cmdBrowse, mmoManKeys, mmoKeys };
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
    HotKey1->SetHotKey(f.hotKey);
    edtTrigger->setText(qs(f.trigger));
    cbShortCuts->setCurrentIndex(f.shortcut);
    edtCommandLine->setText(qs(f.commandLine));
    edtParameters->setText(qs(f.parameters));
    edtStartIn->setText(qs(f.startIn));
    if (mmoManKeys->toPlainText().toStdString() != f.advancedText)
        mmoManKeys->setPlainText(qs(f.advancedText));
    m_loading = false;
    if (pages->currentWidget() == pnl[Page::pnlManualKeys])
        checkText();
}

void TfrmWizard::showHotKeyStatus(const std::string &text)
{
    setValue(lblHotKeyStatus, text);
}

void TfrmWizard::showSummary(const WizardSummary &s)
{
    setValue(lblMacroName, s.macroName);
    setValue(lblMacroType, s.macroType);
    setValue(lblShortcutKeys, s.shortcutKeys);
    setValue(lblWTrigger, s.windowTrigger);
}

void TfrmWizard::setEditPictureVisible(bool visible)
{
    imgEdit->setVisible(visible);
}

void TfrmWizard::showError(const std::string &text)
{
    QMessageBox::critical(this, windowTitle(), qs(text));
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

std::string TfrmWizard::chooseFile(const std::string &filter)
{
    return QFileDialog::getOpenFileName(this, QString(), QString(), qtFilter(filter)).toStdString();
}

std::string TfrmWizard::chooseFolder(const std::string &prompt)
{
    return QFileDialog::getExistingDirectory(this, qs(prompt)).toStdString();
}

void TfrmWizard::hideWindow()
{
    hide();
}

void TfrmWizard::showWindow()
{
    show();
    raise();
    activateWindow();
}

void TfrmWizard::closeWindow()
{
    endShowing();
}

} // namespace quorvel
