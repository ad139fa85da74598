#include "headcut.h"

namespace wire {

namespace {
const QByteArray kHeadEnd("\r\n\r\n");
const QByteArray kCrLf("\r\n");
}  // namespace

HeadCut cutHead(QByteArray* buffer, int maxHeadBytes, QByteArray* head) {
    const int end = buffer->indexOf(kHeadEnd);
    if (end < 0) return buffer->size() > maxHeadBytes ? HeadCut::TooLong : HeadCut::NeedMore;
    if (end > maxHeadBytes) return HeadCut::TooLong;
    QByteArray taken = buffer->left(end);
    buffer->remove(0, end + kHeadEnd.size());
    if (taken.trimmed().isEmpty()) return HeadCut::Blank;

    // Lines before the request or status line (stray line ends of a previous message) are
    // skipped.
    int lineStart = 0;
    while (lineStart < taken.size()) {
        int lineEnd = taken.indexOf(kCrLf, lineStart);
        if (lineEnd < 0) lineEnd = taken.size();
        if (taken.mid(lineStart, lineEnd - lineStart).contains("HTTP/1.1")) break;
        lineStart = lineEnd + kCrLf.size();
    }
    if (lineStart < taken.size()) taken.remove(0, lineStart);
    *head = taken;
    return HeadCut::Head;
}

}  // namespace wire
