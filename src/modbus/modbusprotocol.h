#pragma once
// Modbus-TCP frames of the register server: cutting frames out of a byte stream, deciding what a
// request asks for, and building the replies. No sockets and no threads here.

#include <QByteArray>
#include <array>
#include <functional>

#include "modbuslimits.h"

namespace modbus {

constexpr quint8 kFunctionReadHoldingRegisters = 0x03;
constexpr quint8 kFunctionWriteMultipleRegisters = 0x10;

// Exception codes of the Modbus application protocol.
enum class ExceptionCode : quint8 {
    IllegalFunction = 0x01,
    IllegalDataAddress = 0x02,
    IllegalDataValue = 0x03,
    ServerDeviceFailure = 0x04,
    ServerDeviceBusy = 0x06,
};

// How a master's counter reset went.
enum class ResetOutcome {
    Done,
    Busy,    // not carried out yet: the master may ask again later
    Failed,  // could not be carried out
};

// The values of the served holding registers, in register order.
using HoldingRegisters = std::array<quint16, kServedRegisterCount>;

// Cuts whole frames out of one connection's byte stream by the length field of their header,
// so that a request split over several reads, or several requests in one read, are each seen
// exactly once.
class FrameSplitter {
public:
    enum class Status {
        NeedMore,   // no complete frame buffered yet
        Frame,      // a complete frame was taken
        Malformed,  // the length field cannot belong to a Modbus frame; the stream is lost
    };

    void append(const QByteArray& bytes) { buffer_.append(bytes); }
    // Takes the next complete frame (header included) into *frame.
    Status next(QByteArray* frame);
    int buffered() const { return buffer_.size(); }
    // Forgets what is buffered (after a malformed header nothing in it can be trusted).
    void clear() { buffer_.clear(); }

private:
    QByteArray buffer_;
};

// What a complete frame asks of the register map.
struct Request {
    enum class Kind { ReadRegisters, ResetCounters, WriteWithoutEffect, Reject };
    Kind kind = Kind::Reject;
    quint16 start = 0;
    quint16 quantity = 0;
    ExceptionCode exception = ExceptionCode::IllegalFunction;  // for Reject
};

// Decides what a complete frame (as FrameSplitter gives it) asks for. Requests that the server
// cannot carry out as asked are rejected with the exception code a master expects.
Request decodeRequest(const QByteArray& frame);

// Reply to a read of `quantity` registers from `start`: registers past the served ones read 0.
QByteArray readReply(const QByteArray& request, quint16 start, quint16 quantity,
                     const HoldingRegisters& values);
// Reply to a carried-out write: the request's header, function, start address and quantity.
QByteArray writeReply(const QByteArray& request);
QByteArray exceptionReply(const QByteArray& request, ExceptionCode code);

// The complete answer to one frame, with the register values as last published.
// `resetCounters` carries out a reset; the master sees a refused one as a server device busy
// and a failed one as a server device failure. A frame without a function code gets no answer.
QByteArray answer(const QByteArray& frame, const HoldingRegisters& values,
                  const std::function<ResetOutcome()>& resetCounters);

}  // namespace modbus
