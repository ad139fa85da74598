#include "roirow.h"

#include <charconv>
#include <climits>

#include "roilimits.h"

namespace roi {

QString detectRowName(int g) {
    return QStringLiteral("detect%1").arg(g);
}

QString roiRowName(int g, int i) {
    return QStringLiteral("ROI%1-%2").arg(g).arg(i);
}

QString cameraTableName(int camera) {
    return QStringLiteral("cammer%1").arg(camera);
}

namespace {

inline bool isSeparator(const QChar* c) {
    const ushort u = c->unicode();
    if (u < 128) return u == ' ' || (u >= '\t' && u <= '\r');
    return c->isSpace();
}

}  // namespace

TokenReader::TokenReader(const QString& text)
    : pos_(text.constData()), end_(text.constData() + text.size()) {}

bool TokenReader::nextToken(qint64* value) {
    while (pos_ < end_ && isSeparator(pos_)) ++pos_;
    if (pos_ >= end_) return false;
    const QChar* start = pos_;
    while (pos_ < end_ && !isSeparator(pos_)) ++pos_;
    // A number is an optional sign and up to kMaxTokenDigits digits; anything else is not
    // numeric.
    const QChar* p = start;
    bool negative = false;
    if (*p == QLatin1Char('-') || *p == QLatin1Char('+')) {
        negative = *p == QLatin1Char('-');
        ++p;
    }
    if (p == pos_ || pos_ - p > kMaxTokenDigits) return false;
    qint64 v = 0;
    for (; p < pos_; ++p) {
        const ushort c = p->unicode();
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    *value = negative ? -v : v;
    return true;
}

int TokenReader::nextInt() {
    qint64 v = 0;
    if (!nextToken(&v) || v < INT_MIN || v > INT_MAX) return 0;
    return int(v);
}

quint32 TokenReader::nextUnsigned() {
    qint64 v = 0;
    if (!nextToken(&v) || v < INT_MIN || v > qint64(UINT_MAX)) return 0;
    return quint32(v);
}

void appendNumber(std::string& out, qint64 value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

}  // namespace roi
