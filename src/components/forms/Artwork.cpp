// SPDX-License-Identifier: GPL-3.0-or-later
#include "components/forms/Artwork.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>
#include <algorithm>

// Outside any namespace, as the resource initialiser's name demands. A static library keeps
// its resources only when something refers to them.
static void initArtwork()
{
    Q_INIT_RESOURCE(art);
}

namespace quorvel {

namespace {
QPixmap render(const QString &name, QSize size)
{
    initArtwork();
    QSvgRenderer svg(QStringLiteral(":/art/") + name);
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    svg.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}
} // namespace

QIcon productIcon()
{
    QIcon icon;
    for (const int side : { 16, 24, 32, 48, 64, 128 })
        icon.addPixmap(render(QStringLiteral("quorvel.svg"), QSize(side, side)));
    return icon;
}

QPixmap bannerPixmap()
{
    return render(QStringLiteral("banner.svg"), QSize(320, 37));
}

const std::array<QIcon, 3> &kindImages()
{
    static const std::array<QIcon, 3> images {
        QIcon(render(QStringLiteral("kind-launch.svg"), QSize(16, 16))),
        QIcon(render(QStringLiteral("kind-keys.svg"), QSize(16, 16))),
        QIcon(render(QStringLiteral("kind-mouse-keys.svg"), QSize(16, 16))),
    };
    return images;
}

QPixmap kindPicture(int image, int side)
{
    static const char *const names[] = { "kind-launch.svg", "kind-keys.svg",
        "kind-mouse-keys.svg" };
    return render(QLatin1String(names[std::clamp(image, 0, 2)]), QSize(side, side));
}

QByteArray productIconSvg()
{
    initArtwork();
    QFile file(QStringLiteral(":/art/quorvel.svg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace quorvel
