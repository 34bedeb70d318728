// SPDX-License-Identifier: GPL-3.0-or-later
#include "components/forms/FormWidgets.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace quorvel {

QString plainCaption(QString caption)
{
    return caption.remove(QLatin1Char('&'));
}

QPushButton *pushButton(const char *name, const QString &caption, QWidget *parent)
{
    auto *push = named(new QPushButton(caption, parent), name, plainCaption(caption));
    push->setAutoDefault(false);
    return push;
}

QRadioButton *choice(const char *name, const QString &caption, QWidget *parent)
{
    return named(new QRadioButton(caption, parent), name, plainCaption(caption));
}

QLabel *wrapped(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

void showValue(QLabel *label, std::string_view text)
{
    label->setText(qs(text));
    label->setAccessibleDescription(qs(text));
}

} // namespace quorvel
