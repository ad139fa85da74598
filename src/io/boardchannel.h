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
    // Sends all n bytes. False when the line has failed, also when a full output queue does
    // not take the rest in time.
    virtual bool write(const quint8* data, int n) = 0;
};

}  // namespace io
