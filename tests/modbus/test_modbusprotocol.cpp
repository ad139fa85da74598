// Framing, request decoding and replies of the register server, and the register map over the
// process counters, without sockets.
#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "globals.h"
#include "modbusdatasource.h"
#include "modbusprotocol.h"

using modbus::ExceptionCode;
using modbus::FrameSplitter;

bool modbusFuzzOne(const uint8_t* data, size_t size);

namespace {

// Hex text with spaces between the fields (fromHex skips them).
QByteArray hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text));
}

// Answers with fixed register values and counts the resets it was asked for.
struct FakeData {
    modbus::HoldingRegisters values{1, 0, 9, 2};
    modbus::ResetOutcome outcome = modbus::ResetOutcome::Done;
    int resets = 0;

    QByteArray answer(const QByteArray& frame) {
        return modbus::answer(frame, values, [this] {
            ++resets;
            return outcome;
        });
    }
};

QByteArray exceptionFor(const char* request, quint8 function, ExceptionCode code) {
    QByteArray reply = hex(request).left(4) + hex("0003") + hex(request).mid(6, 1);
    reply.append(char(function | 0x80));
    reply.append(char(code));
    return reply;
}

}  // namespace

TEST(ModbusFrameSplitter, CutsFramesByTheirLengthField) {
    const QByteArray first = hex("0001 0000 0006 01 03 0000 0004");
    const QByteArray second = hex("0002 0000 0009 01 10 0004 0001 02 0001");
    QByteArray frame;

    // Split at every position: the frame appears exactly once, when its last byte arrives.
    for (int cut = 1; cut < first.size(); ++cut) {
        FrameSplitter splitter;
        splitter.append(first.left(cut));
        EXPECT_EQ(splitter.next(&frame), FrameSplitter::Status::NeedMore) << cut;
        splitter.append(first.mid(cut));
        ASSERT_EQ(splitter.next(&frame), FrameSplitter::Status::Frame) << cut;
        EXPECT_EQ(frame, first);
        EXPECT_EQ(splitter.next(&frame), FrameSplitter::Status::NeedMore);
    }

    // Two requests and the start of a third in one read.
    FrameSplitter splitter;
    splitter.append(first + second + first.left(3));
    ASSERT_EQ(splitter.next(&frame), FrameSplitter::Status::Frame);
    EXPECT_EQ(frame, first);
    ASSERT_EQ(splitter.next(&frame), FrameSplitter::Status::Frame);
    EXPECT_EQ(frame, second);
    EXPECT_EQ(splitter.next(&frame), FrameSplitter::Status::NeedMore);
    EXPECT_EQ(splitter.buffered(), 3);

    // The largest frame: length 254, 260 bytes in all.
    FrameSplitter largest;
    largest.append(hex("0001 0000 00fe") + QByteArray(253, '\x01'));
    EXPECT_EQ(largest.next(&frame), FrameSplitter::Status::NeedMore);
    largest.append(QByteArray(1, '\x01'));
    ASSERT_EQ(largest.next(&frame), FrameSplitter::Status::Frame);
    EXPECT_EQ(frame.size(), 260);

    // Lengths that cannot belong to a Modbus frame lose the stream.
    for (const char* header :
         {"0001 0000 0000", "0001 0000 0001", "0001 0000 00ff", "0001 0000 ffff"}) {
        FrameSplitter broken;
        broken.append(hex(header) + hex("01 03"));
        EXPECT_EQ(broken.next(&frame), FrameSplitter::Status::Malformed) << header;
    }
}

TEST(ModbusAnswer, ReadAndWriteRepliesAreByteExact) {
    const struct {
        const char* request;
        const char* reply;
        int resets;  // resets carried out so far
    } rows[] = {
        // From register 3, three registers: register 3, then zeros; the unit id is echoed.
        {"0007 0000 0006 11 03 0003 0003", "0007 0000 0009 11 03 06 0002 0000 0000", 0},
        // Registers far past the served ones, and the last register of the address space.
        {"0008 0000 0006 01 03 ff00 0002", "0008 0000 0007 01 03 04 0000 0000", 0},
        {"0009 0000 0006 01 03 ffff 0001", "0009 0000 0005 01 03 02 0000", 0},
        // Starting at register 3: register 4 gets 1, the value for register 3 is ignored.
        {"0003 0000 000b 01 10 0003 0002 04 0007 0001", "0003 0000 0006 01 10 0003 0002", 1},
        // Well-formed writes without effect are confirmed: another value into register 4,
        // registers that do not include it, the last register of the address space.
        {"0004 0000 0009 01 10 0004 0001 02 0000", "0004 0000 0006 01 10 0004 0001", 1},
        {"0004 0000 000b 01 10 0003 0002 04 0001 0002", "0004 0000 0006 01 10 0003 0002", 1},
        {"0005 0000 000b 01 10 0000 0002 04 0001 0001", "0005 0000 0006 01 10 0000 0002", 1},
        {"0005 0000 0009 01 10 0005 0001 02 0001", "0005 0000 0006 01 10 0005 0001", 1},
        {"0005 0000 0009 01 10 ffff 0001 02 0001", "0005 0000 0006 01 10 ffff 0001", 1},
    };
    FakeData data;
    for (const auto& row : rows) {
        EXPECT_EQ(data.answer(hex(row.request)), hex(row.reply)) << row.request;
        EXPECT_EQ(data.resets, row.resets) << row.request;
    }
    // The largest read: 125 registers, 250 bytes.
    const QByteArray largest = data.answer(hex("000a 0000 0006 01 03 0000 007d"));
    ASSERT_EQ(largest.size(), 9 + 250);
    EXPECT_EQ(largest.left(9), hex("000a 0000 00fd 01 03 fa"));
}

TEST(ModbusAnswer, RequestsThatCannotBeCarriedOutGetExceptions) {
    struct Case {
        const char* request;
        quint8 function;
        ExceptionCode code;
    };
    const Case cases[] = {
        // Unsupported functions, including a single-register write.
        {"0004 0000 0006 01 06 0004 0001", 0x06, ExceptionCode::IllegalFunction},
        {"0004 0000 0006 01 04 0000 0001", 0x04, ExceptionCode::IllegalFunction},
        {"0004 0000 0002 01 2b", 0x2b, ExceptionCode::IllegalFunction},
        // Read quantities outside 1..125, and malformed reads.
        {"0005 0000 0006 01 03 0000 0000", 0x03, ExceptionCode::IllegalDataValue},
        {"0005 0000 0006 01 03 0000 007e", 0x03, ExceptionCode::IllegalDataValue},
        {"0005 0000 0007 01 03 0000 0001 00", 0x03, ExceptionCode::IllegalDataValue},
        {"0005 0000 0003 01 03 00", 0x03, ExceptionCode::IllegalDataValue},
        // Reads past register 65535.
        {"0006 0000 0006 01 03 ffff 0002", 0x03, ExceptionCode::IllegalDataAddress},
        {"0006 0000 0006 01 03 ff84 007d", 0x03, ExceptionCode::IllegalDataAddress},
        // Write quantities outside 1..123, byte counts that do not match, missing values.
        {"0007 0000 0007 01 10 0004 0000 00", 0x10, ExceptionCode::IllegalDataValue},
        {"0007 0000 0009 01 10 0004 007c 02 0001", 0x10, ExceptionCode::IllegalDataValue},
        {"0007 0000 0009 01 10 0004 0001 04 0001", 0x10, ExceptionCode::IllegalDataValue},
        {"0007 0000 000b 01 10 0004 0001 02 0001 0002", 0x10, ExceptionCode::IllegalDataValue},
        {"0007 0000 0007 01 10 0004 0001 02", 0x10, ExceptionCode::IllegalDataValue},
        // Writes past register 65535.
        {"0008 0000 000b 01 10 ffff 0002 04 0001 0001", 0x10, ExceptionCode::IllegalDataAddress},
    };
    FakeData data;
    for (const Case& c : cases) {
        EXPECT_EQ(data.answer(hex(c.request)), exceptionFor(c.request, c.function, c.code))
            << c.request;
    }
    EXPECT_EQ(data.resets, 0);
}

TEST(ModbusAnswer, AResetNotCarriedOutIsADeviceFailureOrBusy) {
    const char* reset = "0002 0000 0009 01 10 0004 0001 02 0001";
    FakeData data;
    for (const auto& [outcome, code] :
         {std::pair(modbus::ResetOutcome::Failed, ExceptionCode::ServerDeviceFailure),
          std::pair(modbus::ResetOutcome::Busy, ExceptionCode::ServerDeviceBusy)}) {
        data.outcome = outcome;
        EXPECT_EQ(data.answer(hex(reset)), exceptionFor(reset, 0x10, code)) << int(code);
    }
    // Nothing to answer without a function code.
    EXPECT_TRUE(data.answer(hex("0001 0000 0001 01")).isEmpty());
}

// Streams of frames mutated at random, cut into reads in every way the first byte can choose.
TEST(ModbusFuzz, MutatedStreamsBreakNoInvariant) {
    QRandomGenerator random(20261207);
    const QByteArray seeds[] = {
        hex("00 01 00 00 00 06 01 03 00 00 00 04"),
        hex("00 02 00 00 00 09 01 10 00 04 00 01 02 00 01 00 03 00 00 00 06 01 03 ff fc 00 04"),
        hex("00 03 00 00 00 0b 01 10 00 02 00 03 06 00 00 00 00 00 01")};
    for (int round = 0; round < 40000; ++round) {
        QByteArray input = char(round % 16) + seeds[round % 3];
        for (int edits = random.bounded(0, 6); edits > 0; --edits) {
            const int at = random.bounded(1, input.size() + 1);
            if (random.bounded(3))
                input.insert(at, char(random.bounded(256)));
            else
                input.remove(at, random.bounded(1, 3));
        }
        if (round % 101 == 0) input += input.mid(1).repeated(random.bounded(2, 30));
        ASSERT_TRUE(modbusFuzzOne(reinterpret_cast<const uint8_t*>(input.data()), input.size()))
            << input.toHex().constData();
    }
}

TEST(ModbusRegisterMap, ShowsStateAndCounters) {
    // Cycles; the step counters beside them are not shown.
    std::fill(gAllCycleNum, gAllCycleNum + kMaxCameras, 0);
    std::fill(gAllNum, gAllNum + kMaxCameras, 30);
    gAllCycleNum[0] = 5;
    gAllCycleNum[1] = 9;
    gSyncNGCycleNum = 2;
    gSyncNGNum = 12;
    using R = modbus::HoldingRegisters;
    EXPECT_EQ(modbus::holdingRegistersFor({1, 0, 0}), (R{1, 0, 9, 2}));
    EXPECT_EQ(modbus::holdingRegistersFor({3, 0, 0}), (R{0, 0, 9, 2}));
    EXPECT_EQ(modbus::holdingRegistersFor({1, 1, 4}), (R{1, 0, 9, 2}));
    EXPECT_EQ(modbus::holdingRegistersFor({1, 2, 0}), (R{1, 1, 9, 2}));
    EXPECT_EQ(modbus::holdingRegistersFor({1, 2, 5}), (R{1, 2, 9, 2}));
    EXPECT_EQ(modbus::holdingRegistersFor({3, 3, 5}), (R{0, 0, 9, 2}));

    // The largest camera wins wherever it is; counts wrap at 16 bits.
    gAllCycleNum[7] = 70000;
    gSyncNGCycleNum = 65537;
    EXPECT_EQ(modbus::holdingRegistersFor({1, 0, 0}), (R{1, 0, 70000 - 65536, 1}));
    std::fill(gAllCycleNum, gAllCycleNum + kMaxCameras, 0);
    std::fill(gAllNum, gAllNum + kMaxCameras, 0);
    gSyncNGNum = gSyncNGCycleNum = 0;
}
