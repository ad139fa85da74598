#pragma once
#include <QtGlobal>

#include "boardchannel.h"
#include "ioframes.h"

namespace io {

// One pass of the IO board protocol, without threads or clocks so that it can be driven pass
// by pass: take in what the board sent (input word into gDataIn, temperatures into gFTemp),
// resend the outputs when the board's echo differs from the wanted word, then send the pass's
// own command (a poll, or a temperature request at the cadence's passes).
class IoBoardPoller {
public:
    struct PassResult {
        bool inputChanged = false;  // gDataIn holds a new word (already stored)
        bool lineFailed = false;    // the channel reported a failure; the pass stopped there
    };

    // out: the output word the board is to be kept at (gDataOut as the pass began).
    PassResult pass(BoardChannel& channel, quint32 out);

    // Forgets buffered bytes and restarts the cadence (after the line was reopened).
    void reset();

    int passCounter() const { return passCounter_; }
    int temperatureSlot() const { return temperatureSlot_; }
    int bytesSkipped() const { return bytesSkipped_; }

private:
    bool send(BoardChannel& channel, int command, int arg);

    ReplyAssembler assembler_;
    quint8 readBuffer_[kBufferBytes] = {};
    int passCounter_ = 0;
    int temperatureSlot_ = 0;
    int bytesSkipped_ = 0;
};

}  // namespace io
