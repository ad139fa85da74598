// One fuzz step over the Modbus frame decoder, driven by the bounded random loop of
// test_modbus_protocol and, in clang builds with MOULDMON_FUZZ=ON, by libFuzzer
// (fuzz_modbus corpus -max_total_time=N). The first input byte chooses how the rest is cut
// into reads; the rest is one connection's byte stream. False when an invariant breaks.
#include <QList>
#include <cstdint>
#include <cstdlib>

#include "modbusprotocol.h"

namespace {

using modbus::FrameSplitter;

quint16 wordAt(const QByteArray& bytes, int at) {
    return quint16((quint8(bytes.at(at)) << 8) | quint8(bytes.at(at + 1)));
}

// Every frame the splitter gives for `stream` handed over in reads of `step` bytes (0: whole),
// up to a malformed header; *malformed tells whether one was met.
QList<QByteArray> framesOf(const QByteArray& stream, int step, bool* malformed) {
    FrameSplitter splitter;
    QList<QByteArray> frames;
    *malformed = false;
    const int piece = step > 0 ? step : qMax(1, stream.size());
    for (int at = 0; at < stream.size() && !*malformed; at += piece) {
        splitter.append(stream.mid(at, piece));
        QByteArray frame;
        for (;;) {
            const FrameSplitter::Status status = splitter.next(&frame);
            if (status == FrameSplitter::Status::NeedMore) break;
            if (status == FrameSplitter::Status::Malformed) {
                *malformed = true;
                splitter.clear();
                break;
            }
            frames.append(frame);
        }
    }
    return frames;
}

// The answer to one frame keeps the framing a master relies on.
bool answerHolds(const QByteArray& frame) {
    const modbus::HoldingRegisters values{{1, 0xffff, 0x8000, 7}};
    bool resetAsked = false;
    const modbus::Request request = modbus::decodeRequest(frame);
    const QByteArray reply = modbus::answer(frame, values, [&] {
        resetAsked = true;
        // the carried-out, the refused and the failed reset
        return modbus::ResetOutcome(frame.size() % 3);
    });
    if (resetAsked != (request.kind == modbus::Request::Kind::ResetCounters)) return false;
    if (frame.size() < modbus::kHeaderSize + 1) return reply.isEmpty();
    if (reply.size() < modbus::kHeaderSize + 2) return false;
    // Transaction, protocol and unit id echoed; the length field counts what follows it.
    if (reply.left(4) != frame.left(4) || reply.at(6) != frame.at(6)) return false;
    if (wordAt(reply, 4) != reply.size() - modbus::kLengthFieldEnd) return false;
    if (quint8(reply.at(7)) & 0x80) return reply.size() == modbus::kHeaderSize + 2;
    switch (request.kind) {
        case modbus::Request::Kind::ReadRegisters:
            return request.quantity >= 1 &&
                   request.start + request.quantity <= modbus::kAddressSpace &&
                   reply.size() == modbus::kHeaderSize + 2 + 2 * request.quantity &&
                   quint8(reply.at(8)) == 2 * request.quantity;
        case modbus::Request::Kind::ResetCounters:
        case modbus::Request::Kind::WriteWithoutEffect:
            return reply.size() == modbus::kHeaderSize + 5 && reply.mid(7) == frame.mid(7, 5);
        case modbus::Request::Kind::Reject:
            return false;  // a rejection is always an exception reply
    }
    return false;
}

}  // namespace

bool modbusFuzzOne(const uint8_t* data, size_t size) {
    if (size == 0) return true;
    const int step = data[0] % 16;
    const QByteArray stream(reinterpret_cast<const char*>(data + 1), int(size - 1));
    bool malformedWhole = false;
    bool malformedPieces = false;
    const QList<QByteArray> whole = framesOf(stream, 0, &malformedWhole);
    const QList<QByteArray> pieces = framesOf(stream, step, &malformedPieces);
    // How the stream was cut into reads changes nothing.
    if (whole != pieces || malformedWhole != malformedPieces) return false;
    int taken = 0;
    for (const QByteArray& frame : whole) {
        if (frame.size() < modbus::kHeaderSize + 1) return false;
        if (frame != stream.mid(taken, frame.size())) return false;
        taken += frame.size();
        if (!answerHolds(frame)) return false;
    }
    // The decoder also meets frames no splitter would give it.
    return answerHolds(stream);
}

#ifdef MOULDMON_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!modbusFuzzOne(data, size)) std::abort();
    return 0;
}
#endif
