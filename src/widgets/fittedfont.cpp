#include "fittedfont.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QStringList>
#include <algorithm>

namespace {

// Width of the widest line: a caption may be broken over two.
int widest(const QFont& font, const QStringList& lines) {
    const QFontMetrics metrics(font);
    int most = 0;
    for (const QString& line : lines) most = std::max(most, metrics.horizontalAdvance(line));
    return most;
}

}  // namespace

QFont fittedFont(QFont font, const QString& text, int width, int minPixelSize) {
    if (text.isEmpty()) return font;
    const QStringList lines = text.split(QLatin1Char('\n'));
    int size = font.pixelSize();
    if (size <= 0) size = QFontInfo(font).pixelSize();  // a font given in points
    while (size > minPixelSize && widest(font, lines) > width) font.setPixelSize(--size);
    return font;
}

QString twoLineText(const QFont& font, const QString& text, int width) {
    const QFontMetrics metrics(font);
    if (text.isEmpty() || metrics.horizontalAdvance(text) <= width) return text;
    const bool spaced = text.contains(QLatin1Char(' '));
    QString best = text;
    int bestWidth = metrics.horizontalAdvance(text);
    for (int at = 1; at < text.size(); ++at) {
        if (spaced && text[at] != QLatin1Char(' ')) continue;
        if (text[at].isLowSurrogate()) continue;
        const QStringList lines = {text.left(at).trimmed(), text.mid(at).trimmed()};
        if (lines[0].isEmpty() || lines[1].isEmpty()) continue;
        const int used = widest(font, lines);
        if (used < bestWidth) {
            bestWidth = used;
            best = lines.join(QLatin1Char('\n'));
        }
    }
    return best;
}
