// SPDX-License-Identifier: GPL-3.0-or-later
#include "components/forms/FileFilter.h"

#include <QStringList>

namespace quorvel {

QString qtFilter(const std::string &filter)
{
    const auto parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // The pattern is already in the name, "Executables (*.exe)".
        // Here "*.*" would miss the many files without a dot.
        filters << QString(parts[i]).replace(QStringLiteral("(*.*)"), QStringLiteral("(*)"));
    }
    return filters.join(QStringLiteral(";;"));
}

} // namespace quorvel
