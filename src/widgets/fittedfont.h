#pragma once
#include <QFont>
#include <QString>

// The font, made smaller in whole pixels where needed, in which text takes at most width
// pixels (each line of it). Controls of fixed size hold texts of every language; a longer
// translation is drawn smaller rather than cut off. Never below minPixelSize (the text is then cut
// after all).
QFont fittedFont(QFont font, const QString& text, int width, int minPixelSize);

// The text broken into two lines where it is wider than width pixels in the font: at the space
// that gives the narrower pair of lines, or, in a text without spaces (Chinese, Japanese),
// between the characters that do. A text that fits stays on one line.
QString twoLineText(const QFont& font, const QString& text, int width);

// The text with each of its lines broken where it is wider than width pixels in the font, but
// only where the text allows it: after a space, a slash (a path), full-width punctuation or a
// zero-width space the text carries, and in Japanese after a particle that ends a phrase
// ("を", "は", ...). Chinese and Japanese have no spaces, and a break anywhere else would cut
// a word or a phrase in two. A phrase wider than width by itself stays whole on its line.
QString phraseLines(const QFont& font, const QString& text, int width);
