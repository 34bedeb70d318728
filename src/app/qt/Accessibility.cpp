// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt/Accessibility.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QDialog>
#include <QMainWindow>
#include <QWidget>

namespace quorvel {

namespace {

// Qt on Unix names a combo box by its current text, so the name a form gives it never reaches a
// screen reader. This one answers with that name and tells the current text as its value and
// description; the drop-down list stays its one child, as with Qt's own.
class NamedComboBoxAccessible : public QAccessibleWidget
{
public:
    explicit NamedComboBoxAccessible(QComboBox *combo)
        : QAccessibleWidget(combo, QAccessible::ComboBox)
    {
        addControllingSignal(QStringLiteral("currentIndexChanged(int)"));
    }

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name:
            return combo()->accessibleName();
        case QAccessible::Value:
            return combo()->currentText();
        case QAccessible::Description:
            return combo()->accessibleDescription().isEmpty() ? combo()->currentText()
                                                              : combo()->accessibleDescription();
        default:
            return QAccessibleWidget::text(t);
        }
    }

    int childCount() const override { return 1; }
    QAccessibleInterface *child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(combo()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child && child->object() == combo()->view() ? 0 : -1;
    }

    QStringList actionNames() const override
    {
        return QStringList { showMenuAction(), pressAction() } + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &action) override
    {
        if (action == showMenuAction() || action == pressAction())
            combo()->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QComboBox *combo() const { return static_cast<QComboBox *>(widget()); }
};

QAccessibleInterface *windowFactory(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
    if (className == QLatin1String("QComboBox")) {
        auto *combo = static_cast<QComboBox *>(widget);
        if (!combo->isEditable() && !combo->accessibleName().isEmpty())
            return new NamedComboBoxAccessible(combo);
        return nullptr;
    }
    // Only our own forms; Qt's classes keep their own interfaces.
    if (!className.startsWith(QLatin1String("quorvel::")))
        return nullptr;
    if (!widget->isWindow() || qobject_cast<QDialog *>(widget)
        || qobject_cast<QMainWindow *>(widget))
        return nullptr;
    return new QAccessibleWidget(widget, QAccessible::Window);
}

} // namespace

void installWindowAccessibility()
{
    QAccessible::installFactory(windowFactory);
}

} // namespace quorvel
