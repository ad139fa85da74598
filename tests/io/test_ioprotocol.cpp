// The board protocol pass by pass over a scripted line: framing, cadence, resend, inputs,
// temperatures and the resynchronisation after noise, without threads or timing.
#include <gtest/gtest.h>

#include <QByteArray>
#include <cstring>
#include <vector>

#include "globals.h"
#include "ioboardpoller.h"
#include "ioframes.h"
#include "iotestsupport.h"

namespace {

struct SentCommand {
    int code;
    int arg;
};

// A line whose incoming bytes the test writes and whose outgoing frames the test reads.
class ScriptedLine : public io::BoardChannel {
public:
    QByteArray incoming;
    QByteArray written;
    bool readFails = false;

    int readAvailable(quint8* buffer, int max) override {
        if (readFails) return -1;
        const int n = std::min(max, int(incoming.size()));
        std::memcpy(buffer, incoming.constData(), size_t(n));
        incoming.remove(0, n);
        return n;
    }
    bool write(const quint8* data, int n) override {
        written.append(reinterpret_cast<const char*>(data), n);
        return true;
    }
    // The frames written since the last call; every one must be a well-formed command.
    std::vector<SentCommand> take() {
        std::vector<SentCommand> commands;
        EXPECT_EQ(written.size() % 6, 0);
        for (int i = 0; i + 6 <= written.size(); i += 6) {
            const auto* f = reinterpret_cast<const quint8*>(written.constData() + i);
            EXPECT_EQ(f[0], 0x5F);
            EXPECT_EQ(f[5], 0xF5);
            EXPECT_EQ(f[4], quint8(f[0] + f[1] + f[2] + f[3]));
            commands.push_back({f[1], f[2] | (f[3] << 8)});
        }
        written.clear();
        return commands;
    }
};

class IoProtocolTest : public iotest::IoGlobalsTest {
protected:
    io::IoBoardPoller poller;
    ScriptedLine line;
};

TEST(IoFrames, CommandSumWrapsAndReplyWordsIgnoreTheUnusedBits) {
    const auto frame = io::encodeCommand(1, 0x1FF);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(frame.data()), 6).toHex(), "5f01ff0160f5");
    io::Reply reply;
    const quint8 payload[] = {0xA5, 0xFE, 0x3C, 0xFD};
    std::memcpy(reply.payload, payload, 4);
    EXPECT_EQ(reply.inputWord(), 0x2A5u);
    EXPECT_EQ(reply.outputEcho(), 0x13Cu);
    EXPECT_EQ(reply.value(), 0xFD3CFEA5u);
}

TEST_F(IoProtocolTest, CadenceOfPollsAndTemperatureRequests) {
    for (int pass = 1; pass <= 420; ++pass) {
        poller.pass(line, 0);
        const auto sent = line.take();
        ASSERT_EQ(sent.size(), 1u) << "pass " << pass;
        const int expected = pass == 200 || pass == 410 ? 3 : pass == 210 || pass == 420 ? 4 : 2;
        EXPECT_EQ(sent[0].code, expected) << "pass " << pass;
        EXPECT_EQ(sent[0].arg, 0);
    }
}

TEST_F(IoProtocolTest, OutputsAreResentOnceBeforeThePollWhileTheEchoDiffers) {
    const struct {
        QByteArray replies;
        size_t commands;
    } rows[] = {
        {iotest::stateReply(0, 0x000), 2},
        {iotest::stateReply(0, 0) + iotest::stateReply(0, 0x004), 2},  // still one resend
        {iotest::stateReply(0, 0x105), 1},
        {QByteArray(), 1},  // no reply: nothing to compare
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.replies.toHex().constData());
        line.incoming = row.replies;
        poller.pass(line, 0x105);
        const auto sent = line.take();
        ASSERT_EQ(sent.size(), row.commands);
        if (row.commands == 2) {
            EXPECT_EQ(sent[0].code, 1);
            EXPECT_EQ(sent[0].arg, 0x105);
        }
        EXPECT_EQ(sent.back().code, 2);
    }
}

TEST_F(IoProtocolTest, TemperaturesFillTheirSlotsInArrivalOrder) {
    for (int pass = 1; pass <= 200; ++pass) poller.pass(line, 0);
    ASSERT_EQ(line.take().back().code, 3);  // pass 200: slot index back to 0
    // The reply type does not choose the slot; arrival order does.
    for (quint32 i = 0; i < 8; ++i) line.incoming += iotest::valueReply(i < 4 ? 3 : 4, 100 + i);
    poller.pass(line, 0);
    for (int slot = 0; slot < 8; ++slot) EXPECT_EQ(gFTemp[slot], 100u + quint32(slot));

    for (int pass = 202; pass <= 210; ++pass) poller.pass(line, 0);
    ASSERT_EQ(line.take().back().code, 4);  // pass 210: slot index 8
    for (quint32 i = 0; i < 12; ++i) line.incoming += iotest::valueReply(4, 0xABCD0000u + i);
    poller.pass(line, 0);
    for (int slot = 8; slot < 16; ++slot) EXPECT_EQ(gFTemp[slot], 0xABCD0000u + quint32(slot - 8));
    // Replies past the last slot are dropped, not written past the table.
    EXPECT_EQ(gFTemp[0], 100u);
    EXPECT_EQ(poller.temperatureSlot(), 16);
}

TEST_F(IoProtocolTest, InputWordSurvivesNoiseSplitsAndFloods) {
    QByteArray noise = QByteArray::fromHex("00ff5f");  // a false head at the end
    noise += QByteArray::fromHex("5f020100000000f5");  // wrong sum
    noise += QByteArray::fromHex("5f02010000006200");  // right sum, no tail
    line.incoming = noise + iotest::stateReply(0x011, 0);
    EXPECT_TRUE(poller.pass(line, 0).inputChanged);
    EXPECT_EQ(gDataIn, 0x011u);
    EXPECT_EQ(poller.bytesSkipped(), noise.size());
    line.incoming = iotest::stateReply(0x011, 0);
    EXPECT_FALSE(poller.pass(line, 0).inputChanged);  // the same word is no change

    const QByteArray reply = iotest::stateReply(0x3FF, 0);
    for (const QByteArray& piece : {QByteArray::fromHex("aa") + reply.left(3), reply.mid(3, 2)}) {
        line.incoming = piece;
        EXPECT_FALSE(poller.pass(line, 0).inputChanged);
    }
    line.incoming = reply.mid(5);
    EXPECT_TRUE(poller.pass(line, 0).inputChanged);
    EXPECT_EQ(gDataIn, 0x3FFu);

    // More than the buffer holds is cut, and reading goes on.
    line.incoming = QByteArray(3000, char(0x5F));
    for (int i = 0; i < 3; ++i) poller.pass(line, 0);
    EXPECT_TRUE(line.incoming.isEmpty());
    line.incoming = iotest::stateReply(0x020, 0);
    EXPECT_TRUE(poller.pass(line, 0).inputChanged);
    EXPECT_EQ(gDataIn, 0x020u);
}

TEST_F(IoProtocolTest, AFailedLineStopsThePassWithoutWriting) {
    line.readFails = true;
    EXPECT_TRUE(poller.pass(line, 0).lineFailed);
    EXPECT_TRUE(line.written.isEmpty());
}

}  // namespace
