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

bool isHiragana(QChar c) {
    return c.unicode() >= 0x3041 && c.unicode() <= 0x309f;
}

// Whether a line may end between text[at - 1] and text[at].
bool breakBefore(const QString& text, int at) {
    static const QString kClosing = QStringLiteral("、。，．：；！？）」』】");
    static const QString kParticles = QStringLiteral("をはがにでのともへて");
    const QChar before = text[at - 1];
    const QChar next = text[at];
    if (next.isSpace() || kClosing.contains(next)) return false;
    if (before.isSpace() || before == QChar(0x200b) || kClosing.contains(before)) return true;
    if (before == QLatin1Char('/')) return next != QLatin1Char('/');
    // A particle ends a phrase when no kana of the same word follows.
    return kParticles.contains(before) && !isHiragana(next) && next != QChar(0x30fc);
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

QString phraseLines(const QFont& font, const QString& text, int width) {
    const QFontMetrics metrics(font);
    const auto fits = [&](const QString& line) {
        int end = line.size();
        while (end > 0 && line[end - 1].isSpace()) --end;
        return metrics.horizontalAdvance(line.left(end)) <= width;
    };
    QStringList lines;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QString line;
        int from = 0;
        for (int at = 1; at <= paragraph.size(); ++at) {
            if (at < paragraph.size() && !breakBefore(paragraph, at)) continue;
            const QString phrase = paragraph.mid(from, at - from);
            from = at;
            if (line.trimmed().isEmpty() || fits(line + phrase)) {
                line += phrase;
                continue;
            }
            while (line.endsWith(QLatin1Char(' '))) line.chop(1);
            lines << line;
            line = phrase;
        }
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}
