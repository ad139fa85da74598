#include "ioframes.h"

namespace io {

quint8 calcLRC(const quint8* bytes, quint16 n) {
    quint8 sum = 0;
    for (quint16 i = 0; i < n; ++i) sum = quint8(sum + bytes[i]);
    return sum;
}

std::array<quint8, kCommandBytes> encodeCommand(int command, int arg) {
    std::array<quint8, kCommandBytes> frame{};
    frame[0] = kFrameHead;
    frame[1] = quint8(command & 0xFF);
    frame[2] = quint8(arg & 0xFF);
    frame[3] = quint8((arg >> 8) & 0xFF);
    frame[4] = calcLRC(frame.data(), 4);
    frame[5] = kFrameTail;
    return frame;
}

bool isReplyFrame(const quint8* frame) {
    return frame[0] == kFrameHead && frame[6] == calcLRC(frame, 6) &&
           frame[kReplyBytes - 1] == kFrameTail;
}

int ReplyAssembler::append(const quint8* data, int n) {
    const int room = kBufferBytes - fill_;
    const int taken = n < room ? n : room;
    if (taken > 0) {
        std::memcpy(buffer_ + fill_, data, size_t(taken));
        fill_ += taken;
    }
    return taken;
}

}  // namespace io
