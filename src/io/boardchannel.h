#pragma once
#include <QtGlobal>

namespace io {

// The two directions of the IO board's serial line as the poller sees them.
class BoardChannel {
public:
    virtual ~BoardChannel() = default;
    // Copies the bytes that have arrived (at most max) without waiting. Returns the count,
    // 0 when nothing is waiting, -1 when the line has failed.
    virtual int readAvailable(quint8* buffer, int max) = 0;
    // Sends n bytes. False only when the line has failed; bytes that do not fit into a full
    // output queue are dropped (the board's echo makes the outputs be sent again).
    virtual bool write(const quint8* data, int n) = 0;
};

}  // namespace io
