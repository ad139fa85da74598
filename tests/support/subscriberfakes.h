#pragma once
// Peers of the HTTP API's subscriber push, for tests and benchmarks: the fake subscriber app
// (fakesubscriber.py, a Python http.server in a process of its own) and a loopback port whose
// connects never complete.

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <vector>

namespace subscribertest {

class FakeSubscriber {
public:
    // silent: takes pushes and never answers them.
    explicit FakeSubscriber(bool silent = false);
    // Closes the app's input, so it ends by itself; kills it only when it does not.
    ~FakeSubscriber();
    FakeSubscriber(const FakeSubscriber&) = delete;
    FakeSubscriber& operator=(const FakeSubscriber&) = delete;

    // Starts the app and waits for its port (events keep running); false without python3.
    bool start(int timeoutMs = 10000);
    quint16 port() const { return port_; }
    // Each push received so far: {"path", "uuid", "device", "body"}.
    QList<QJsonObject> pushes();
    // Processes events until `count` pushes in all have arrived or the time is up.
    bool waitPushes(int count, int timeoutMs);

private:
    void collect();

    QProcess process_;
    bool silent_;
    quint16 port_ = 0;
    QByteArray pending_;
    QList<QJsonObject> pushes_;
};

// A loopback port that never completes a connect, as a subscriber whose host has left the
// network: its listener's accept queue is full, so the kernel drops further connection
// requests and a client waits for its connect time-out.
class BlackHole {
public:
    BlackHole();
    ~BlackHole();
    BlackHole(const BlackHole&) = delete;
    BlackHole& operator=(const BlackHole&) = delete;

    // 0 when the listener could not be made.
    quint16 port() const { return port_; }

private:
    int listener_ = -1;
    std::vector<int> fillers_;
    quint16 port_ = 0;
};

}  // namespace subscribertest
