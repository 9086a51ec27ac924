// The colour scheme's conversions to Qt's colour type, apart from the rest so that headless
// tools, which never convert, load no GUI library.
#include "uColors.h"

QColor ToQColor(int colour)
{
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

int FromQColor(const QColor& colour)
{
    const QColor rgb = colour.toRgb();
    return rgb.red() | (rgb.green() << 8) | (rgb.blue() << 16);
}
