// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QIcon>
#include <QPixmap>
#include <array>

namespace quorvel {

// The program's own pictures, drawn from the SVGs compiled in.
QIcon productIcon();
// The product icon's SVG source, as installed for desktop entries.
QByteArray productIconSvg();
// The banner at its height of 37 pixels.
QPixmap bannerPixmap();
// imgList1: start a program, keys, mouse and keys; 16 x 16.
const std::array<QIcon, 3> &kindImages();
// The same pictures at a larger size, for the editors; image is the index into kindImages().
QPixmap kindPicture(int image, int side);

} // namespace quorvel
