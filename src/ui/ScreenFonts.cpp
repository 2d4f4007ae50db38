#include "ScreenFonts.h"

namespace ScreenFonts {

namespace {
QFont arialBold(double points)
{
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPointSizeF(points);
    return font;
}
}  // namespace

QFont text() { return arialBold(9); }
QFont button() { return arialBold(11.25); }

}  // namespace ScreenFonts
