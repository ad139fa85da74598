#pragma once
// A stand-in for the IO board on a pseudo-terminal. The program opens the slave side as its
// serial port; the simulator answers the board's protocol on the master side in a thread of
// its own: polls with the inputs and the echo of the outputs, temperature requests with eight
// values each, output commands by taking the new output word. Tests and people set the inputs
// and temperatures, read the outputs, count the commands, and make the line misbehave (stray
// bytes, replies split across reads, lost output commands).
//
// The framing is written here independently of the program's own codec, so that a fault in
// one does not hide in the other.

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace iosim {

constexpr int kTemperatureSlots = 16;
constexpr int kTemperaturesPerRequest = 8;
constexpr size_t kCommandLogLimit = 1u << 20;  // commands kept for inspection
constexpr int kSplitPauseMs = 12;              // between the halves of a split reply
constexpr int kPollWaitMs = 2;                 // the simulator thread's wait for bytes

struct Command {
    quint8 code = 0;
    quint16 arg = 0;
};

class IoBoardSimulator {
public:
    IoBoardSimulator();
    ~IoBoardSimulator();  // stops the thread and closes the terminal
    IoBoardSimulator(const IoBoardSimulator&) = delete;
    IoBoardSimulator& operator=(const IoBoardSimulator&) = delete;

    // Opens the pseudo-terminal and starts answering; false (see errorString) on failure.
    bool start();
    void stop();  // also removes the stable link while it still names this board
    QString slavePath() const { return slavePath_; }
    // Points a symbolic link at the pseudo-terminal, replacing whatever the path held, so that
    // a host that reopens the link by name finds a restarted simulator. The link is switched
    // in one rename: a host never sees the path missing. False (see errorString) on failure.
    bool keepLink(const QString& linkPath);
    QString linkPath() const { return linkPath_; }
    QString errorString() const { return error_; }

    // --- the board's state ---
    void setInputs(quint32 word);  // bits 0..9
    void setInput(int bit, bool on);
    quint32 inputs() const;
    void setTemperature(int slot, quint32 value);
    quint32 outputs() const;  // the word of the last output command taken (bits 0..9)

    // --- what the host sent ---
    int commandCount(int code) const;
    int totalCommands() const;
    std::vector<Command> commandLog() const;
    void clearCommandLog();
    int bytesSkipped() const;  // bytes that did not start a valid command

    // --- line faults ---
    // Writes raw bytes to the host now, between replies.
    void injectBytes(const QByteArray& bytes);
    // The next count replies are written in two parts with a pause between them.
    void splitNextReplies(int count);
    // The next count output commands are lost: counted, not taken.
    void loseNextOutputCommands(int count);
    // While false, commands are counted but not answered.
    void setAnswering(bool answering);

    // --- bounded waits ---
    bool waitForOutputs(quint32 word, int timeoutMs) const;
    bool waitForCommandCount(int code, int count, int timeoutMs) const;
    bool waitForTotalCommands(int count, int timeoutMs) const;

    // Called in the simulator thread whenever the outputs change.
    void setOutputObserver(std::function<void(quint32)> observer);
    // Called in the setting thread whenever the inputs change, with the words before and after
    // (the wire to the cameras' triggers listens here).
    void setInputObserver(std::function<void(quint32, quint32)> observer);

private:
    void serve();
    void handleBytes(const quint8* data, int n);
    void handleCommand(const Command& command);
    void reply(quint8 type, quint32 payload);
    void writeAll(const quint8* data, int n);
    void changeInputs(const std::function<quint32(quint32)>& change);

    int master_ = -1;
    int slave_ = -1;  // held open so the line stays up and raw while no host has it open
    QString slavePath_;
    QString linkPath_;
    QString error_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    quint32 inputs_ = 0;
    quint32 outputs_ = 0;
    quint32 temperatures_[kTemperatureSlots] = {};
    int counts_[256] = {};
    int total_ = 0;
    std::vector<Command> log_;
    int skipped_ = 0;
    int splitLeft_ = 0;
    int loseLeft_ = 0;
    bool answering_ = true;
    std::function<void(quint32)> observer_;
    std::function<void(quint32, quint32)> inputObserver_;
    std::vector<quint8> pending_;  // received bytes not yet forming a command
    std::mutex writeMutex_;
};

}  // namespace iosim
