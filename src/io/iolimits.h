#pragma once
// Every number the IO board link depends on, in one place.

#include <QtGlobal>

namespace io {

// --- serial line ---
constexpr int kBaudRate = 115200;
constexpr int kPollPeriodMs = 5;  // one pass of the IO thread
// A port that could not be opened (or failed) is tried again after this long.
constexpr int kPortRetryMs = 2000;
// A full output queue must make room for the rest of a frame within this time (a frame takes
// half a millisecond on the wire); a line that stays full longer has failed.
constexpr int kWriteDrainMs = 100;

// --- heartbeat between the GUI thread and the IO thread ---
// The IO thread stops polling when the GUI thread has not refreshed the heartbeat for this long.
constexpr int kHeartbeatTimeoutMs = 11000;
// While the heartbeat is stale, the warning is repeated at most this often.
constexpr int kStaleWarningIntervalMs = 1000;

// --- frames ---
constexpr quint8 kFrameHead = 0x5F;
constexpr quint8 kFrameTail = 0xF5;
constexpr int kCommandBytes = 6;  // host to board
constexpr int kReplyBytes = 8;    // board to host
constexpr int kReplyPayloadBytes = 4;
constexpr int kBufferBytes = 1024;  // receive buffer and read buffer of the IO thread

enum Command : quint8 {
    kCommandSetOutputs = 1,
    kCommandPoll = 2,
    kCommandTemperatureLow = 3,   // answered by the values of slots 0..7
    kCommandTemperatureHigh = 4,  // answered by the values of slots 8..15
};

enum ReplyType : quint8 {
    kReplyState = 2,  // inputs and the echo of the outputs
    kReplyTemperatureLow = 3,
    kReplyTemperatureHigh = 4,
};

// --- command cadence: out of every kSecondTemperaturePass passes ---
constexpr int kFirstTemperaturePass = 200;
constexpr int kSecondTemperaturePass = 210;
constexpr int kTemperatureSlots = 16;
constexpr int kTemperatureBlock = 8;

// --- words ---
constexpr int kWordBits = 10;  // inputs and the output echo on the wire
constexpr quint32 kWordMask = (1u << kWordBits) - 1;
constexpr int kOutputCount = 9;        // outputs use bits 0..8
constexpr int kInputMemoryCount = 16;  // inputs whose previous level is remembered for edges

// Terminal roles (bit numbers).
constexpr int kDoorInput = 1;          // input terminal 2: the safety door, active = closed
constexpr int kFourthInput = 3;        // input terminal 4, may double as input 1..3
constexpr int kAlarmOutput = 2;        // output terminal 3
constexpr int kFourthOutput = 3;       // output terminal 4, may mirror output 1..3
constexpr int kMirrorChoiceCount = 3;  // output4Use / input4Use choose 1..3

}  // namespace io
