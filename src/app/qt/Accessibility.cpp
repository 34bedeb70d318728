#include "app/qt/Accessibility.h"

#include <QAccessibleWidget>
#include <QDialog>
#include <QMainWindow>
#include <QWidget>

namespace quorvel {

namespace {

QAccessibleInterface *windowFactory(const QString &className, QObject *object)
{
    // Only our own forms; Qt's classes keep their own interfaces.
    if (!object || !object->isWidgetType() || !className.startsWith(QLatin1String("quorvel::")))
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
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
