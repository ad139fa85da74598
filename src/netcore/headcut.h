#pragma once
// Cuts the head of the next message off the front of a connection's byte stream. No sockets.

#include <QByteArray>

namespace wire {

enum class HeadCut {
    NeedMore,  // no complete head buffered yet
    TooLong,   // the head is past the limit; the stream cannot be trusted any more
    Blank,     // only blank lines were taken (line ends between messages)
    Head,      // a head was taken
};

// Takes the next head from the front of `buffer` into *head, without its closing empty line and
// without stray lines before its request or status line, and removes it from `buffer`.
HeadCut cutHead(QByteArray* buffer, int maxHeadBytes, QByteArray* head);

}  // namespace wire
