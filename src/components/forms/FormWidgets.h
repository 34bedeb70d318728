// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLatin1String>
#include <QString>
#include <string>
#include <string_view>

class QLabel;
class QPushButton;
class QRadioButton;
class QWidget;

namespace quorvel {

// The core's UTF-8 text as Qt's.
inline QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A caption as it is read out: without its mnemonic marker.
QString plainCaption(QString caption);

// A control's object name is its name in the code; its accessible name is what a screen
// reader says.
template <typename W> W *named(W *widget, const char *name, const QString &accessibleName)
{
    widget->setObjectName(QLatin1String(name));
    widget->setAccessibleName(accessibleName);
    return widget;
}
template <typename W> W *named(W *widget, const char *name, const char *accessibleName)
{
    return named(widget, name, QString::fromLatin1(accessibleName));
}

// A button read out by its caption. Only an explicit default button answers Enter.
QPushButton *pushButton(const char *name, const QString &caption, QWidget *parent);
// A radio button read out by its caption.
QRadioButton *choice(const char *name, const QString &caption, QWidget *parent);
// A label whose text wraps.
QLabel *wrapped(const QString &text, QWidget *parent);
// A label that shows a value: its text is also its accessible description.
void showValue(QLabel *label, std::string_view text);

} // namespace quorvel
