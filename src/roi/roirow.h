#pragma once
// Text form of the rows of a camera's ROI table: names, and values that are lists of decimal
// integers separated by single spaces.

#include <QString>
#include <QtGlobal>
#include <string>

namespace roi {

QString detectRowName(int g);         // "detect<g>"
QString roiRowName(int g, int i);     // "ROI<g>-<i>"
QString cameraTableName(int camera);  // "cammer<camera>"

// Reads the integer tokens of a stored value one by one. Tokens are separated by white
// space; a missing, non-numeric or out-of-range token reads as 0.
class TokenReader {
public:
    explicit TokenReader(const QString& text);
    int nextInt();
    // The token as a 32-bit unsigned number (a negative token keeps its two's complement).
    quint32 nextUnsigned();

private:
    bool nextToken(qint64* value);
    const QChar* pos_;
    const QChar* end_;
};

// Appends a decimal integer to a row value under construction.
void appendNumber(std::string& out, qint64 value);

}  // namespace roi
