#include "ioboardpoller.h"

#include <QMutexLocker>

#include "globals.h"

namespace io {

bool IoBoardPoller::send(BoardChannel& channel, int command, int arg) {
    const auto frame = encodeCommand(command, arg);
    return channel.write(frame.data(), kCommandBytes);
}

void IoBoardPoller::reset() {
    assembler_.clear();
    passCounter_ = 0;
    temperatureSlot_ = 0;
}

IoBoardPoller::PassResult IoBoardPoller::pass(BoardChannel& channel, quint32 out) {
    PassResult result;
    const int got = channel.readAvailable(readBuffer_, kBufferBytes);
    if (got < 0) {
        result.lineFailed = true;
        return result;
    }
    bool resend = false;
    if (got > 0) {
        assembler_.append(readBuffer_, got);
        bytesSkipped_ += assembler_.scan([&](const Reply& reply) {
            switch (reply.type) {
                case kReplyState: {
                    const quint32 word = reply.inputWord();
                    {
                        // Stored before anyone is told, so a detection pass woken by the change
                        // always reads the new word.
                        QMutexLocker lock(pMutexIO);
                        if (word != gDataIn) {
                            gDataIn = word;
                            result.inputChanged = true;
                        }
                    }
                    if (reply.outputEcho() != (out & kWordMask)) resend = true;
                    break;
                }
                case kReplyTemperatureLow:
                case kReplyTemperatureHigh:
                    if (temperatureSlot_ < kTemperatureSlots) {
                        QMutexLocker lock(pMutexIO);
                        gFTemp[temperatureSlot_] = reply.value();
                    }
                    if (temperatureSlot_ < kTemperatureSlots) ++temperatureSlot_;
                    break;
                default:
                    break;
            }
        });
    }
    if (resend && !send(channel, kCommandSetOutputs, int(out & kWordMask))) {
        result.lineFailed = true;
        return result;
    }

    ++passCounter_;
    int command = kCommandPoll;
    if (passCounter_ == kFirstTemperaturePass) {
        temperatureSlot_ = 0;
        command = kCommandTemperatureLow;
    } else if (passCounter_ == kSecondTemperaturePass) {
        temperatureSlot_ = kTemperatureBlock;
        passCounter_ = 0;
        command = kCommandTemperatureHigh;
    }
    if (!send(channel, command, 0)) result.lineFailed = true;
    return result;
}

}  // namespace io
