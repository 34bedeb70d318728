// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt/QtPlatform.h"

#include "common/Error.h"

#include <QApplication>
#include <QDateTime>
#include <QLocale>
#include <QMessageBox>
#include <QThread>
#include <cstdio>

namespace quorvel {

void QtEventPump::processMessages()
{
    ++m_depth;
    struct Leave
    {
        int &depth;
        ~Leave() { --depth; }
    } leave { m_depth };
    if (processPending)
        processPending();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtEventPump::sleep(int milliseconds)
{
    QThread::msleep(static_cast<unsigned long>(std::max(0, milliseconds)));
}

std::string QtDateTimeFormatter::format(DateTimeFormat which)
{
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    QString text;
    switch (which) {
    case DateTimeFormat::ShortDate:
        text = locale.toString(now.date(), QLocale::ShortFormat);
        break;
    case DateTimeFormat::LongDate:
        text = locale.toString(now.date(), QLocale::LongFormat);
        break;
    case DateTimeFormat::ShortTime:
        text = locale.toString(now.time(), QLocale::ShortFormat);
        break;
    case DateTimeFormat::LongTime:
        text = locale.toString(now.time(), QLocale::LongFormat);
        break;
    }
    return text.toStdString();
}

void MessageBoxErrorDisplay::showError(const std::string &message)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        std::fprintf(stderr, "quorvel: %s\n", message.c_str());
        return;
    }
    QMessageBox::critical(nullptr, QStringLiteral("Quorvel"), QString::fromStdString(message));
}

} // namespace quorvel
