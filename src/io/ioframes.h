#pragma once
// The IO board's wire format: 6-byte commands from the host, 8-byte replies from the board,
// both framed by 0x5F ... 0xF5 with an 8-bit sum, and the receive buffer that finds whole
// replies in a byte stream that may hold noise or a reply split across reads.

#include <QtGlobal>
#include <array>
#include <cstring>

#include "iolimits.h"

namespace io {

// 8-bit sum of n bytes (0 for none).
quint8 calcLRC(const quint8* bytes, quint16 n);

// The command frame: head, command, arg low byte, arg high byte, sum of the four, tail.
std::array<quint8, kCommandBytes> encodeCommand(int command, int arg);

struct Reply {
    quint8 type = 0;
    quint8 payload[kReplyPayloadBytes] = {};

    // Type 2: the 10-bit input word and the 10-bit echo of the output word.
    quint32 inputWord() const { return payload[0] | (quint32(payload[1] & 0x03) << 8); }
    quint32 outputEcho() const { return payload[2] | (quint32(payload[3] & 0x03) << 8); }
    // Types 3 and 4: one little-endian 32-bit value.
    quint32 value() const {
        return payload[0] | (quint32(payload[1]) << 8) | (quint32(payload[2]) << 16) |
               (quint32(payload[3]) << 24);
    }
};

// True when the kReplyBytes bytes at frame form a valid reply.
bool isReplyFrame(const quint8* frame);

// A fixed-size receive buffer (no allocation): bytes are appended as they arrive, whole
// replies are handed out in order, bytes that cannot start a reply are skipped one at a time,
// and an incomplete tail waits for the next read.
class ReplyAssembler {
public:
    // Appends as many bytes as fit; the rest of data is dropped. Returns the bytes appended.
    int append(const quint8* data, int n);

    // Calls handle(const Reply&) for every whole reply in the buffer, in order, and keeps only
    // the fewer than kReplyBytes bytes that are left over. Returns the bytes skipped as noise.
    template <typename Handler>
    int scan(Handler&& handle) {
        int pos = 0;
        int skipped = 0;
        while (fill_ - pos >= kReplyBytes) {
            const quint8* frame = buffer_ + pos;
            if (!isReplyFrame(frame)) {
                ++pos;
                ++skipped;
                continue;
            }
            Reply reply;
            reply.type = frame[1];
            std::memcpy(reply.payload, frame + 2, kReplyPayloadBytes);
            handle(reply);
            pos += kReplyBytes;
        }
        if (pos > 0) {
            std::memmove(buffer_, buffer_ + pos, size_t(fill_ - pos));
            fill_ -= pos;
        }
        return skipped;
    }

    int buffered() const { return fill_; }
    void clear() { fill_ = 0; }

private:
    quint8 buffer_[kBufferBytes] = {};
    int fill_ = 0;
};

}  // namespace io
