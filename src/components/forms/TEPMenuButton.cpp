// SPDX-License-Identifier: GPL-3.0-or-later
#include "components/forms/TEPMenuButton.h"

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace quorvel {

namespace {

constexpr int CaptionShift = 10;
constexpr int ArrowWidth = 10;
constexpr int ArrowHeight = 5;
constexpr int ArrowGap = 6;
// Room for the shifted caption and the arrow beside it.
constexpr int ExtraWidth = 2 * CaptionShift + ArrowGap;

MenuArea toArea(const QRect &rect)
{
    return { rect.left(), rect.top(), rect.width(), rect.height() };
}

} // namespace

TEPMenuButton::TEPMenuButton(QWidget *parent)
    : TEPMenuButton(QString(), parent)
{
}

TEPMenuButton::TEPMenuButton(const QString &text, QWidget *parent)
    : QPushButton(text, parent)
{
    // Keyboard activation, mnemonics and assistive tools all end in click(): the click has been
    // raised by then, and the menu follows once its handlers are done.
    connect(this, &QAbstractButton::clicked, this, &TEPMenuButton::clickedElsewhere);
}

QStringList TEPMenuButton::Items() const
{
    QStringList result;
    for (const auto &item : m_model.Items())
        result << QString::fromStdString(item);
    return result;
}

void TEPMenuButton::SetItems(const QStringList &items)
{
    std::vector<std::string> copy;
    copy.reserve(size_t(items.size()));
    for (const auto &item : items)
        copy.push_back(item.toStdString());
    m_model.SetItems(copy);
}

QSize TEPMenuButton::sizeHint() const
{
    return QPushButton::sizeHint() + QSize(ExtraWidth, 0);
}

QSize TEPMenuButton::minimumSizeHint() const
{
    return QPushButton::minimumSizeHint() + QSize(ExtraWidth, 0);
}

void TEPMenuButton::clickedElsewhere()
{
    if (m_raisingClick)
        return;
    QMetaObject::invokeMethod(
        this, [this] { m_model.openMenu(); }, Qt::QueuedConnection);
}

bool TEPMenuButton::discarding(QMouseEvent *event) const
{
    return m_discardClicks && event->button() == Qt::LeftButton;
}

void TEPMenuButton::mousePressEvent(QMouseEvent *event)
{
    if (discarding(event)) {
        event->accept();
        return;
    }
    if (event->button() != Qt::LeftButton || !hitButton(event->position().toPoint())) {
        QPushButton::mousePressEvent(event);
        return;
    }
    event->accept();
    m_model.press();
}

void TEPMenuButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (discarding(event)) {
        event->accept();
        return;
    }
    QPushButton::mouseReleaseEvent(event);
}

void TEPMenuButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (discarding(event)) {
        event->accept();
        return;
    }
    // A second press, as on any button.
    mousePressEvent(event);
}

void TEPMenuButton::raiseClick()
{
    m_raisingClick = true;
    emit clicked(isChecked());
    m_raisingClick = false;
}

void TEPMenuButton::raiseChange()
{
    emit changed(m_model.ItemIndex());
}

void TEPMenuButton::setFormModalResult(int result)
{
    if (auto *dialog = qobject_cast<QDialog *>(window()))
        dialog->done(result);
}

void TEPMenuButton::showMenuOpen(bool open)
{
    if (open && !hasFocus())
        setFocus(Qt::MouseFocusReason);
    setDown(open);
}

std::optional<unsigned> TEPMenuButton::runMenu(const std::vector<MenuEntry> &entries)
{
    auto *menu = new QMenu(this);
    m_menu = menu;
    menu->setObjectName(QStringLiteral("EPMenu"));
    for (const auto &entry : entries) {
        if (entry.separator) {
            menu->addSeparator();
            continue;
        }
        auto *action = menu->addAction(QString::fromStdString(entry.text));
        action->setData(entry.command);
        if (entry.checked) {
            action->setCheckable(true);
            action->setChecked(true);
        }
    }

    const QRect button(mapToGlobal(QPoint(0, 0)), size());
    const QScreen *screen = this->screen();
    const QRect available = screen ? screen->availableGeometry() : button;
    const QSize menuSize = menu->sizeHint();
    const auto at = MenuButtonModel::menuPosition(
        toArea(button), menuSize.width(), menuSize.height(), toArea(available));

    QAction *chosen = menu->exec(QPoint(at.x, at.y));
    std::optional<unsigned> command;
    if (chosen)
        command = chosen->data().toUInt();
    m_menu = nullptr;
    delete menu;
    return command;
}

void TEPMenuButton::discardQueuedClicks()
{
    // The press that dismissed the menu comes back to the button as a posted event; anything
    // queued before this call is delivered first.
    m_discardClicks = true;
    QMetaObject::invokeMethod(
        this, [this] { m_discardClicks = false; }, Qt::QueuedConnection);
}

void TEPMenuButton::paintEvent(QPaintEvent * /*event*/)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    painter.drawControl(QStyle::CE_PushButtonBevel, option);

    QStyleOptionButton label = option;
    label.rect = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    int shiftX = 0;
    int shiftY = 0;
    if (option.state & (QStyle::State_Sunken | QStyle::State_On)) {
        shiftX = style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this);
        shiftY = style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this);
    }
    label.rect.translate(-CaptionShift, 0);
    painter.drawControl(QStyle::CE_PushButtonLabel, label);

    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = style()->subElementRect(QStyle::SE_PushButtonFocusRect, &option, this);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }

    const int textWidth = fontMetrics().size(Qt::TextShowMnemonic, text()).width();
    const QRect contents = label.rect.translated(CaptionShift, 0);
    int left = contents.center().x() - CaptionShift + (textWidth + 1) / 2 + ArrowGap + shiftX;
    left = std::min(left, rect().right() - ArrowWidth - 3);
    const int top = contents.center().y() - ArrowHeight / 2 + shiftY;
    QPainterPath arrow;
    arrow.moveTo(left, top);
    arrow.lineTo(left + ArrowWidth, top);
    arrow.lineTo(left + ArrowWidth / 2.0, top + ArrowHeight);
    arrow.closeSubpath();
    const auto group = isEnabled() ? QPalette::Active : QPalette::Disabled;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(arrow, palette().color(group, QPalette::ButtonText));
}

} // namespace quorvel
