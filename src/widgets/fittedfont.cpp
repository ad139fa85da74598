#include "fittedfont.h"

#include <QFontInfo>
#include <QFontMetrics>

QFont fittedFont(QFont font, const QString& text, int width, int minPixelSize) {
    if (text.isEmpty()) return font;
    int size = font.pixelSize();
    if (size <= 0) size = QFontInfo(font).pixelSize();  // a font given in points
    while (size > minPixelSize && QFontMetrics(font).horizontalAdvance(text) > width)
        font.setPixelSize(--size);
    return font;
}
