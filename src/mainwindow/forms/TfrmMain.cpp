// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/forms/TfrmMain.h"

#include "components/forms/Artwork.h"
#include "components/forms/FormWidgets.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTreeWidget>

namespace quorvel {

namespace {
constexpr int kClientWidth = 413;
constexpr int kClientHeight = 316;
constexpr int kBannerHeight = 37;
constexpr int kDesignListHeight = 231;
constexpr int kDesignButtonTop = 272;
constexpr int kButtonHeight = 21;
constexpr int kStatusHeight = 20;
// The design's outer height (343) around its client height: its title bar and borders. Window
// managers draw frames of their own size, or none yet, so the layout goes by the client area.
constexpr int kDesignFrameHeight = 27;
// Below this the buttons would cover the list.
constexpr int kMinimumClientHeight = 150;

QPushButton *button(QWidget *parent, const char *name, const QString &caption, int left, int width)
{
    auto *b = named(new QPushButton(caption, parent), name, caption);
    b->setGeometry(left, kDesignButtonTop, width, kButtonHeight);
    return b;
}

QAction *item(QMenu *menu, const char *name, const QString &caption, bool enabled = true)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    action->setEnabled(enabled);
    return action;
}
} // namespace

TfrmMain::TfrmMain(MainWindowModel &model)
    : m_model(model)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("Ostrin Quorvel"));
    setAccessibleName(windowTitle());
    setWindowIcon(productIcon());
    resize(kClientWidth, kClientHeight);
    setMinimumSize(kClientWidth, kMinimumClientHeight);

    EPImage1 = new QLabel(this);
    EPImage1->setObjectName(QStringLiteral("EPImage1"));
    EPImage1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    EPImage1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    EPImage1->setStyleSheet(QStringLiteral("background-color: black;"));
    EPImage1->setPixmap(bannerPixmap());
    EPImage1->setGeometry(0, 0, kClientWidth, kBannerHeight);

    lvMacro = new QTreeWidget(this);
    lvMacro->setObjectName(QStringLiteral("lvMacro"));
    lvMacro->setAccessibleName(QStringLiteral("Macros"));
    lvMacro->setRootIsDecorated(false);
    lvMacro->setUniformRowHeights(true);
    lvMacro->setSelectionMode(QAbstractItemView::SingleSelection);
    lvMacro->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvMacro->setIconSize(QSize(16, 16));
    lvMacro->setHeaderLabels({ QStringLiteral("Macro Name"), QStringLiteral("Shortcut Keys"),
        QStringLiteral("Window Trigger") });
    lvMacro->header()->setSectionsClickable(false);
    lvMacro->header()->setSectionsMovable(false);
    lvMacro->header()->setStretchLastSection(false);
    lvMacro->setColumnWidth(0, 200);
    lvMacro->setColumnWidth(1, 90);
    lvMacro->setColumnWidth(2, 105);
    lvMacro->setContextMenuPolicy(Qt::CustomContextMenu);
    lvMacro->setGeometry(0, kBannerHeight, kClientWidth, kDesignListHeight);

    cmdHelp = button(this, "cmdHelp", QStringLiteral("Help"), 3, 55);
    cmdNew = button(this, "cmdNew", QStringLiteral("New Macro"), 59, 86);
    cmdProperties = button(this, "cmdProperties", QStringLiteral("Edit Macro"), 147, 86);
    cmdDeleteMacro = button(this, "cmdDeleteMacro", QStringLiteral("Delete Macro"), 235, 86);
    cmdClose = button(this, "cmdClose", QStringLiteral("Hide"), 323, 86);
    cmdProperties->setEnabled(false);
    cmdDeleteMacro->setEnabled(false);

    Stat1 = new QStatusBar(this);
    Stat1->setObjectName(QStringLiteral("Stat1"));
    Stat1->setSizeGripEnabled(false);
    Stat1->setGeometry(0, kClientHeight - kStatusHeight, kClientWidth, kStatusHeight);

    createMenu();

    // Editors and the question are modal; queued, the click that opens one returns first, as
    // an assistive tool pressing the button expects.
    connect(cmdHelp, &QPushButton::clicked, this, [this] { m_model.cmdHelpClick(); });
    connect(
        cmdNew, &QPushButton::clicked, this, [this] { m_model.cmdNewClick(); },
        Qt::QueuedConnection);
    connect(
        cmdProperties, &QPushButton::clicked, this, [this] { m_model.cmdPropertiesClick(); },
        Qt::QueuedConnection);
    connect(
        cmdDeleteMacro, &QPushButton::clicked, this, [this] { m_model.cmdDeleteMacroClick(); },
        Qt::QueuedConnection);
    connect(cmdClose, &QPushButton::clicked, this, [this] { m_model.cmdCloseClick(); });
    connect(lvMacro, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        // The menu takes the button's release, which would have set the commands first.
        m_model.lvMacroMouseUp();
        PopupMenu1->popup(lvMacro->viewport()->mapToGlobal(at));
    });
    // Key preview: the window sees every key release of its controls.
    qApp->installEventFilter(this);
    m_model.setView(*this);
}

TfrmMain::~TfrmMain()
{
    qApp->removeEventFilter(this);
}

void TfrmMain::createMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    mnuNew = item(PopupMenu1, "mnuNew", QStringLiteral("&New Macro"));
    mnuDelete = item(PopupMenu1, "mnuDelete", QStringLiteral("&Delete Macro"), false);
    mnuCreateShortcut = PopupMenu1->addMenu(QStringLiteral("Create Shortcut..."));
    mnuCreateShortcut->setObjectName(QStringLiteral("mnuCreateShortcut"));
    mnuCreateShortcut->menuAction()->setObjectName(QStringLiteral("mnuCreateShortcut"));
    mnuCreateShortcut->menuAction()->setEnabled(false);
    mnuDesktop = item(mnuCreateShortcut, "mnuDesktop", QStringLiteral("On &Desktop"));
    mnuStartMenu = item(mnuCreateShortcut, "mnuStartMenu", QStringLiteral("On &Start Menu"));
    mnuProgramsMenu =
        item(mnuCreateShortcut, "mnuProgramsMenu", QStringLiteral("On &Programs Menu"));
    mnuStartUpFolder =
        item(mnuCreateShortcut, "mnuStartUpFolder", QStringLiteral("In Start&Up Folder"));
    mnuFavorites = item(mnuCreateShortcut, "mnuFavorites", QStringLiteral("In &Favorites Folder"));
    mnuPersonal = item(mnuCreateShortcut, "mnuPersonal", QStringLiteral("In P&ersonal Folder"));
    mnuPrint = item(PopupMenu1, "mnuPrint", QStringLiteral("Print Macro List"));
    PopupMenu1->addSeparator();
    mnuProperties = item(PopupMenu1, "mnuProperties", QStringLiteral("&Properties"), false);

    // Menus close before their action runs, so a modal window opened from one is safe.
    connect(mnuNew, &QAction::triggered, this, [this] { m_model.mnuNewClick(); });
    connect(mnuDelete, &QAction::triggered, this, [this] { m_model.mnuDeleteClick(); });
    connect(mnuDesktop, &QAction::triggered, this, [this] { m_model.mnuDesktopClick(); });
    connect(mnuStartMenu, &QAction::triggered, this, [this] { m_model.mnuStartMenuClick(); });
    connect(mnuProgramsMenu, &QAction::triggered, this, [this] { m_model.mnuProgramsMenuClick(); });
    connect(
        mnuStartUpFolder, &QAction::triggered, this, [this] { m_model.mnuStartUpFolderClick(); });
    connect(mnuFavorites, &QAction::triggered, this, [this] { m_model.mnuFavoritesClick(); });
    connect(mnuPersonal, &QAction::triggered, this, [this] { m_model.mnuPersonalClick(); });
    connect(mnuPrint, &QAction::triggered, this, [this] { m_model.mnuPrintClick(); });
    connect(mnuProperties, &QAction::triggered, this, [this] { m_model.mnuPropertiesClick(); });
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        m_lastKeyUp = nullptr;
        break;
    case QEvent::KeyRelease:
        keyReleased(watched, event);
        break;
    case QEvent::MouseButtonRelease:
        if (watched == lvMacro->viewport()) {
            if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
                m_model.lvMacroClick();
            m_model.lvMacroMouseUp();
        }
        break;
    case QEvent::MouseButtonDblClick:
        if (watched == lvMacro->viewport()
            && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            // Qt selects on the press that comes before; the editor opens once the event
            // is done, as it is modal.
            QMetaObject::invokeMethod(
                this, [this] { m_model.lvMacroDblClick(); }, Qt::QueuedConnection);
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmMain::keyReleased(QObject *watched, QEvent *event)
{
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || widget->window() != this)
        return;
    // An ignored release travels on to the parents: handle it once, at the first of them.
    // A new key's press comes first and forgets the last release, whose address may recur.
    if (event == m_lastKeyUp && m_lastKeyUpTarget && widget->isAncestorOf(m_lastKeyUpTarget))
        return;
    m_lastKeyUp = event;
    m_lastKeyUpTarget = widget;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->isAutoRepeat())
        return;
    m_model.FormKeyUp(key->key() == Qt::Key_F1 ? MainWindowModel::KeyF1 : 0);
    if (widget == lvMacro)
        m_model.lvMacroKeyUp();
}

QTreeWidgetItem *TfrmMain::makeItem(const MacroListRow &row)
{
    auto *item = new QTreeWidgetItem;
    item->setText(0, QString::fromStdString(row.caption));
    item->setText(1, QString::fromStdString(row.hotKeyText));
    item->setText(2, QString::fromStdString(row.trigger));
    const auto &images = kindImages();
    const int image =
        row.imageIndex >= 0 && row.imageIndex < int(images.size()) ? row.imageIndex : 0;
    item->setIcon(0, images[std::size_t(image)]);
    item->setData(0, Qt::UserRole, image);
    if (row.hotKeyRefused) {
        item->setForeground(1, lvMacro->palette().brush(QPalette::Disabled, QPalette::Text));
        item->setToolTip(1, QString::fromStdString(row.hotKeyTip));
        item->setData(1, Qt::AccessibleDescriptionRole, QString::fromStdString(row.hotKeyTip));
    }
    return item;
}

void TfrmMain::appendRow(const MacroListRow &row)
{
    lvMacro->addTopLevelItem(makeItem(row));
}

void TfrmMain::loadRows(const std::vector<MacroListRow> &rows)
{
    lvMacro->clear();
    QList<QTreeWidgetItem *> items;
    items.reserve(qsizetype(rows.size()));
    for (const auto &row : rows)
        items.append(makeItem(row));
    lvMacro->addTopLevelItems(items);
}

int TfrmMain::rowCount() const
{
    return lvMacro->topLevelItemCount();
}

int TfrmMain::selectedRow() const
{
    const auto selected = lvMacro->selectedItems();
    return selected.isEmpty() ? -1 : lvMacro->indexOfTopLevelItem(selected.first());
}

int TfrmMain::focusedRow() const
{
    QTreeWidgetItem *current = lvMacro->currentItem();
    return current ? lvMacro->indexOfTopLevelItem(current) : -1;
}

void TfrmMain::removeRow(int row)
{
    delete lvMacro->takeTopLevelItem(row);
}

void TfrmMain::setStatusText(const std::string &text)
{
    const QString message = QString::fromStdString(text);
    Stat1->showMessage(message);
    // A message wider than the window is cut at its edge: the whole of it shows on hovering.
    const bool cut =
        Stat1->fontMetrics().horizontalAdvance(message) > Stat1->contentsRect().width();
    Stat1->setToolTip(cut ? message : QString());
}

void TfrmMain::setCommandEnabled(SelectionCommand command, bool enabled)
{
    switch (command) {
    case SelectionCommand::cmdDeleteMacro:
        cmdDeleteMacro->setEnabled(enabled);
        break;
    case SelectionCommand::cmdProperties:
        cmdProperties->setEnabled(enabled);
        break;
    case SelectionCommand::mnuDelete:
        mnuDelete->setEnabled(enabled);
        break;
    case SelectionCommand::mnuCreateShortcut:
        mnuCreateShortcut->menuAction()->setEnabled(enabled);
        break;
    case SelectionCommand::mnuProperties:
        mnuProperties->setEnabled(enabled);
        break;
    }
}

int TfrmMain::outerHeight() const
{
    return height() + kDesignFrameHeight;
}

void TfrmMain::applyLayout(const MainWindowLayout &layout)
{
    lvMacro->setGeometry(0, kBannerHeight, width(), std::max(0, layout.listHeight));
    for (QPushButton *b : { cmdHelp, cmdNew, cmdProperties, cmdDeleteMacro, cmdClose })
        b->move(b->x(), layout.buttonTop);
}

bool TfrmMain::isForegroundWindow() const
{
    return QApplication::activeWindow() == this;
}

bool TfrmMain::confirmWarning(const std::string &text)
{
    return QMessageBox::warning(this, QStringLiteral("Warning"), QString::fromStdString(text),
               QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

void TfrmMain::showWizard()
{
    if (openWizard)
        openWizard();
}

void TfrmMain::showProperties(int n)
{
    if (openProperties)
        openProperties(n);
}

void TfrmMain::showWindow()
{
    show();
}

void TfrmMain::hideWindow()
{
    hide();
}

bool TfrmMain::windowVisible() const
{
    return isVisible();
}

Rect TfrmMain::windowGeometry() const
{
    return Rect { x(), y(), width(), height() };
}

void TfrmMain::setWindowGeometry(const Rect &geometry)
{
    resize(geometry.width, geometry.height);
    move(geometry.left, geometry.top);
}

Rect TfrmMain::screenArea() const
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    return Rect { area.left(), area.top(), area.width(), area.height() };
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    event->accept();
    m_model.FormClose();
}

void TfrmMain::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    EPImage1->setGeometry(0, 0, width(), kBannerHeight);
    Stat1->setGeometry(0, height() - kStatusHeight, width(), kStatusHeight);
    m_model.FormResize();
}

void TfrmMain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The frame is known only once the window manager has the window.
    m_model.FormResize();
}

} // namespace quorvel
