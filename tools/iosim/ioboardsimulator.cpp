#include "ioboardsimulator.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <chrono>

namespace iosim {

namespace {

constexpr quint8 kHead = 0x5F;
constexpr quint8 kTail = 0xF5;
constexpr int kCommandLength = 6;
constexpr int kReplyLength = 8;
constexpr quint32 kTenBits = 0x3FF;

quint8 sum(const quint8* bytes, int n) {
    unsigned total = 0;
    for (int i = 0; i < n; ++i) total += bytes[i];
    return quint8(total & 0xFF);
}

}  // namespace

IoBoardSimulator::IoBoardSimulator() = default;

IoBoardSimulator::~IoBoardSimulator() {
    stop();
}

bool IoBoardSimulator::start() {
    if (master_ >= 0) return true;
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        error_ = QStringLiteral("pseudo-terminal: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        stop();
        return false;
    }
    char name[128] = {};
    if (ptsname_r(master_, name, sizeof(name)) != 0) {
        error_ = QStringLiteral("ptsname: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        stop();
        return false;
    }
    slavePath_ = QString::fromLocal8Bit(name);
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        error_ =
            QStringLiteral("open %1: %2").arg(slavePath_, QString::fromLocal8Bit(strerror(errno)));
        stop();
        return false;
    }
    // Raw from the start: no echo of our replies, no line editing, before any host sets it.
    termios tty{};
    tcgetattr(slave_, &tty);
    cfmakeraw(&tty);
    tcsetattr(slave_, TCSANOW, &tty);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);

    stopping_ = false;
    thread_ = std::thread([this] { serve(); });
    return true;
}

bool IoBoardSimulator::keepLink(const QString& linkPath) {
    if (master_ < 0) {
        error_ = QStringLiteral("the simulator is not started");
        return false;
    }
    const QByteArray link = QFile::encodeName(linkPath);
    const QByteArray staged = link + ".new." + QByteArray::number(::getpid());
    ::unlink(staged.constData());
    if (::symlink(QFile::encodeName(slavePath_).constData(), staged.constData()) != 0 ||
        ::rename(staged.constData(), link.constData()) != 0) {
        error_ =
            QStringLiteral("link %1: %2").arg(linkPath, QString::fromLocal8Bit(strerror(errno)));
        ::unlink(staged.constData());
        return false;
    }
    linkPath_ = linkPath;
    return true;
}

void IoBoardSimulator::stop() {
    // A link that a newer simulator has taken over is left to it.
    if (!linkPath_.isEmpty() && QFileInfo(linkPath_).symLinkTarget() == slavePath_)
        ::unlink(QFile::encodeName(linkPath_).constData());
    linkPath_.clear();
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
    slave_ = master_ = -1;
}

void IoBoardSimulator::serve() {
    quint8 buffer[256];
    while (!stopping_) {
        pollfd fd{master_, POLLIN, 0};
        const int ready = ::poll(&fd, 1, kPollWaitMs);
        if (ready <= 0) continue;
        const ssize_t got = ::read(master_, buffer, sizeof(buffer));
        if (got > 0) handleBytes(buffer, int(got));
    }
}

void IoBoardSimulator::handleBytes(const quint8* data, int n) {
    std::vector<Command> commands;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_.insert(pending_.end(), data, data + n);
        size_t pos = 0;
        while (pending_.size() - pos >= size_t(kCommandLength)) {
            const quint8* frame = pending_.data() + pos;
            if (frame[0] != kHead || frame[5] != kTail || frame[4] != sum(frame, 4)) {
                ++pos;
                ++skipped_;
                continue;
            }
            commands.push_back({frame[1], quint16(frame[2] | (frame[3] << 8))});
            pos += kCommandLength;
        }
        pending_.erase(pending_.begin(), pending_.begin() + long(pos));
    }
    for (const Command& command : commands) handleCommand(command);
}

void IoBoardSimulator::handleCommand(const Command& command) {
    bool answer;
    quint32 inputs, outputs;
    quint32 temperatures[kTemperatureSlots];
    std::function<void(quint32)> observer;
    bool outputsChanged = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++counts_[command.code];
        ++total_;
        if (log_.size() < kCommandLogLimit) log_.push_back(command);
        if (command.code == 1) {
            if (loseLeft_ > 0) {
                --loseLeft_;
            } else if (outputs_ != (command.arg & kTenBits)) {
                outputs_ = command.arg & kTenBits;
                outputsChanged = true;
                observer = observer_;
            }
        }
        answer = answering_;
        inputs = inputs_;
        outputs = outputs_;
        std::copy(temperatures_, temperatures_ + kTemperatureSlots, temperatures);
    }
    changed_.notify_all();
    if (outputsChanged && observer) observer(outputs);
    if (!answer) return;

    switch (command.code) {
        case 2:
            reply(2, (inputs & 0xFF) | ((inputs >> 8) & 0x03) << 8 | (outputs & 0xFF) << 16 |
                         ((outputs >> 8) & 0x03) << 24);
            break;
        case 3:
        case 4: {
            const int first = command.code == 3 ? 0 : kTemperaturesPerRequest;
            for (int i = 0; i < kTemperaturesPerRequest; ++i)
                reply(command.code, temperatures[first + i]);
            break;
        }
        default:
            break;  // output commands and unknown commands are not answered
    }
}

void IoBoardSimulator::reply(quint8 type, quint32 payload) {
    quint8 frame[kReplyLength] = {kHead,
                                  type,
                                  quint8(payload & 0xFF),
                                  quint8((payload >> 8) & 0xFF),
                                  quint8((payload >> 16) & 0xFF),
                                  quint8((payload >> 24) & 0xFF),
                                  0,
                                  kTail};
    frame[6] = sum(frame, 6);
    bool split;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        split = splitLeft_ > 0;
        if (split) --splitLeft_;
    }
    if (!split) {
        writeAll(frame, kReplyLength);
        return;
    }
    writeAll(frame, 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(kSplitPauseMs));
    writeAll(frame + 3, kReplyLength - 3);
}

void IoBoardSimulator::writeAll(const quint8* data, int n) {
    std::lock_guard<std::mutex> lock(writeMutex_);
    int done = 0;
    int attempts = 0;
    while (done < n && master_ >= 0) {
        const ssize_t put = ::write(master_, data + done, size_t(n - done));
        if (put > 0) {
            done += int(put);
            continue;
        }
        // A host that does not read fills the terminal; give up on this frame after a while.
        if (put < 0 && (errno == EAGAIN || errno == EINTR) && ++attempts < 100) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        return;
    }
}

void IoBoardSimulator::setInputs(quint32 word) {
    changeInputs([word](quint32) { return word; });
}

void IoBoardSimulator::setInput(int bit, bool on) {
    if (bit < 0 || bit > 9) return;
    changeInputs([bit, on](quint32 word) { return on ? word | 1u << bit : word & ~(1u << bit); });
}

void IoBoardSimulator::changeInputs(const std::function<quint32(quint32)>& change) {
    quint32 before, after;
    std::function<void(quint32, quint32)> observer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        before = inputs_;
        after = inputs_ = change(inputs_) & kTenBits;
        observer = inputObserver_;
    }
    // Outside the lock: the observer may write files.
    if (observer && before != after) observer(before, after);
}

quint32 IoBoardSimulator::inputs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return inputs_;
}

void IoBoardSimulator::setTemperature(int slot, quint32 value) {
    if (slot < 0 || slot >= kTemperatureSlots) return;
    std::lock_guard<std::mutex> lock(mutex_);
    temperatures_[slot] = value;
}

quint32 IoBoardSimulator::outputs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return outputs_;
}

int IoBoardSimulator::commandCount(int code) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return code >= 0 && code < 256 ? counts_[code] : 0;
}

int IoBoardSimulator::totalCommands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return total_;
}

std::vector<Command> IoBoardSimulator::commandLog() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
}

void IoBoardSimulator::clearCommandLog() {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.clear();
}

int IoBoardSimulator::bytesSkipped() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return skipped_;
}

void IoBoardSimulator::injectBytes(const QByteArray& bytes) {
    writeAll(reinterpret_cast<const quint8*>(bytes.constData()), bytes.size());
}

void IoBoardSimulator::splitNextReplies(int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    splitLeft_ = count;
}

void IoBoardSimulator::loseNextOutputCommands(int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    loseLeft_ = count;
}

void IoBoardSimulator::setAnswering(bool answering) {
    std::lock_guard<std::mutex> lock(mutex_);
    answering_ = answering;
}

bool IoBoardSimulator::waitForOutputs(quint32 word, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return outputs_ == (word & kTenBits); });
}

bool IoBoardSimulator::waitForCommandCount(int code, int count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return counts_[code & 0xFF] >= count; });
}

bool IoBoardSimulator::waitForTotalCommands(int count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return total_ >= count; });
}

void IoBoardSimulator::setOutputObserver(std::function<void(quint32)> observer) {
    std::lock_guard<std::mutex> lock(mutex_);
    observer_ = std::move(observer);
}

void IoBoardSimulator::setInputObserver(std::function<void(quint32, quint32)> observer) {
    std::lock_guard<std::mutex> lock(mutex_);
    inputObserver_ = std::move(observer);
}

}  // namespace iosim
