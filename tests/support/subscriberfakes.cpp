#include "subscriberfakes.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QJsonDocument>

#include "eventwait.h"

namespace subscribertest {

namespace {

constexpr int kExitWaitMs = 3000;
// Connections that fill the black hole's accept queue (a backlog of 0 holds one; the rest
// make sure it stays full).
constexpr int kFillers = 3;

sockaddr_in loopback(quint16 port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

}  // namespace

FakeSubscriber::FakeSubscriber(bool silent) : silent_(silent) {}

FakeSubscriber::~FakeSubscriber() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.closeWriteChannel();
    if (!process_.waitForFinished(kExitWaitMs)) {
        process_.kill();
        process_.waitForFinished(kExitWaitMs);
    }
}

bool FakeSubscriber::start(int timeoutMs) {
    QStringList args{QStringLiteral(FAKESUBSCRIBER_SCRIPT)};
    if (silent_) args << QStringLiteral("--silent");
    process_.start(QStringLiteral("python3"), args);
    if (!process_.waitForStarted(timeoutMs)) return false;
    return testsupport::waitFor(
               [this] {
                   collect();
                   return port_ != 0 || process_.state() == QProcess::NotRunning;
               },
               timeoutMs) &&
           port_ != 0;
}

void FakeSubscriber::collect() {
    pending_ += process_.readAllStandardOutput();
    for (int end = pending_.indexOf('\n'); end >= 0; end = pending_.indexOf('\n')) {
        const QByteArray line = pending_.left(end).trimmed();
        pending_.remove(0, end + 1);
        if (line.startsWith("port "))
            port_ = quint16(line.mid(5).toUInt());
        else
            pushes_ << QJsonDocument::fromJson(line).object();
    }
}

QList<QJsonObject> FakeSubscriber::pushes() {
    collect();
    return pushes_;
}

bool FakeSubscriber::waitPushes(int count, int timeoutMs) {
    return testsupport::waitFor(
        [&] {
            collect();
            return pushes_.size() >= count;
        },
        timeoutMs);
}

BlackHole::BlackHole() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof(address);
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener_, 0) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    const quint16 port = ntohs(address.sin_port);
    for (int i = 0; i < kFillers; ++i) {
        const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        if (filler < 0) return;
        fillers_.push_back(filler);
        const sockaddr_in target = loopback(port);
        ::connect(filler, reinterpret_cast<const sockaddr*>(&target), sizeof(target));
    }
    port_ = port;
}

BlackHole::~BlackHole() {
    for (int filler : fillers_) ::close(filler);
    if (listener_ >= 0) ::close(listener_);
}

}  // namespace subscribertest
