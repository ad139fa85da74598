#pragma once
// The library's own thread. Every camera object, link and the discovery client live on it, and
// every API call runs there, one at a time: the objects then always have a running event loop
// (their time-outs and sweeps fire), and a call that closes a camera can never run inside the
// nested wait of another call on the same camera. When the calling program has no Qt
// application object, the thread runs one of its own.

#include <QMutex>
#include <QObject>
#include <functional>

class SdkHost {
public:
    // Starts the thread on the first call; later calls find it running.
    static void start();
    // The running host, or null before start.
    static SdkHost* get();

    // Runs fn on the host thread and waits for it. Calls from several threads run one after
    // the other.
    void call(const std::function<void()>& fn);
    // Run on the host thread as the process exits, before the thread ends.
    static void setShutDownHook(std::function<void()> hook);

private:
    SdkHost() = default;
    static void shutDown();

    QMutex callMutex_;
    QObject* context_ = nullptr;
};
