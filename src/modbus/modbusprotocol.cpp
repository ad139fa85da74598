#include "modbusprotocol.h"

namespace modbus {

namespace {

quint16 word(const QByteArray& bytes, int at) {
    return quint16((quint8(bytes.at(at)) << 8) | quint8(bytes.at(at + 1)));
}

void appendWord(QByteArray* bytes, quint16 value) {
    bytes->append(char(value >> 8));
    bytes->append(char(value & 0xff));
}

// Transaction id and protocol id of the request, then the given length field.
QByteArray replyHeader(const QByteArray& request, quint16 length) {
    QByteArray reply = request.left(4);
    appendWord(&reply, length);
    reply.append(request.at(6));  // unit id
    return reply;
}

Request reject(ExceptionCode code) {
    Request request;
    request.kind = Request::Kind::Reject;
    request.exception = code;
    return request;
}

bool pastAddressSpace(int start, int quantity) {
    return start + quantity > kAddressSpace;
}

// Function 3: start address and quantity, nothing else.
Request decodeRead(const QByteArray& frame) {
    constexpr int kReadFrameSize = kHeaderSize + 5;
    if (frame.size() != kReadFrameSize) return reject(ExceptionCode::IllegalDataValue);
    const quint16 start = word(frame, 8);
    const quint16 quantity = word(frame, 10);
    if (quantity < 1 || quantity > kMaxReadQuantity) {
        return reject(ExceptionCode::IllegalDataValue);
    }
    if (pastAddressSpace(start, quantity)) return reject(ExceptionCode::IllegalDataAddress);
    Request request;
    request.kind = Request::Kind::ReadRegisters;
    request.start = start;
    request.quantity = quantity;
    return request;
}

// Function 16: start address, quantity, byte count and the values. Only the value 1 in the reset
// register does something; any other well-formed write is confirmed and changes nothing, so a
// panel that writes 1 and then 0 sees two good writes.
Request decodeWrite(const QByteArray& frame) {
    constexpr int kWriteHeadSize = kHeaderSize + 6;  // up to and including the byte count
    if (frame.size() < kWriteHeadSize) return reject(ExceptionCode::IllegalDataValue);
    const quint16 start = word(frame, 8);
    const quint16 quantity = word(frame, 10);
    const int byteCount = quint8(frame.at(12));
    if (quantity < 1 || quantity > kMaxWriteQuantity || byteCount != quantity * 2 ||
        frame.size() != kWriteHeadSize + byteCount) {
        return reject(ExceptionCode::IllegalDataValue);
    }
    if (pastAddressSpace(start, quantity)) return reject(ExceptionCode::IllegalDataAddress);
    const bool coversReset = start <= kResetRegister && kResetRegister < start + quantity;
    Request request;
    request.kind =
        coversReset && word(frame, kWriteHeadSize + 2 * (kResetRegister - start)) == kResetValue
            ? Request::Kind::ResetCounters
            : Request::Kind::WriteWithoutEffect;
    request.start = start;
    request.quantity = quantity;
    return request;
}

}  // namespace

FrameSplitter::Status FrameSplitter::next(QByteArray* frame) {
    if (buffer_.size() < kLengthFieldEnd) return Status::NeedMore;
    const int length = word(buffer_, 4);
    if (length < kMinLengthField || length > kMaxLengthField) return Status::Malformed;
    const int frameSize = kLengthFieldEnd + length;
    if (buffer_.size() < frameSize) return Status::NeedMore;
    *frame = buffer_.left(frameSize);
    buffer_.remove(0, frameSize);
    return Status::Frame;
}

Request decodeRequest(const QByteArray& frame) {
    if (frame.size() < kHeaderSize + 1) return reject(ExceptionCode::IllegalDataValue);
    switch (quint8(frame.at(7))) {
        case kFunctionReadHoldingRegisters:
            return decodeRead(frame);
        case kFunctionWriteMultipleRegisters:
            return decodeWrite(frame);
        default:
            return reject(ExceptionCode::IllegalFunction);
    }
}

QByteArray readReply(const QByteArray& request, quint16 start, quint16 quantity,
                     const HoldingRegisters& values) {
    const int byteCount = quantity * 2;
    QByteArray reply = replyHeader(request, quint16(3 + byteCount));
    reply.append(char(kFunctionReadHoldingRegisters));
    reply.append(char(byteCount));
    for (int r = start; r < start + quantity; ++r) {
        appendWord(&reply, r < kServedRegisterCount ? values[size_t(r)] : 0);
    }
    return reply;
}

QByteArray writeReply(const QByteArray& request) {
    QByteArray reply = replyHeader(request, 6);
    reply.append(request.mid(7, 5));  // function, start address, quantity
    return reply;
}

QByteArray exceptionReply(const QByteArray& request, ExceptionCode code) {
    QByteArray reply = replyHeader(request, 3);
    reply.append(char(quint8(request.at(7)) | 0x80));
    reply.append(char(code));
    return reply;
}

QByteArray answer(const QByteArray& frame, const HoldingRegisters& values,
                  const std::function<ResetOutcome()>& resetCounters) {
    if (frame.size() < kHeaderSize + 1) return QByteArray();  // no function code to answer
    const Request request = decodeRequest(frame);
    switch (request.kind) {
        case Request::Kind::ReadRegisters:
            return readReply(frame, request.start, request.quantity, values);
        case Request::Kind::ResetCounters:
            switch (resetCounters()) {
                case ResetOutcome::Done:
                    return writeReply(frame);
                case ResetOutcome::Busy:
                    return exceptionReply(frame, ExceptionCode::ServerDeviceBusy);
                case ResetOutcome::Failed:
                    break;
            }
            return exceptionReply(frame, ExceptionCode::ServerDeviceFailure);
        case Request::Kind::WriteWithoutEffect:
            return writeReply(frame);
        case Request::Kind::Reject:
            break;
    }
    return exceptionReply(frame, request.exception);
}

}  // namespace modbus
