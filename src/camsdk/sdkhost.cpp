#include "sdkhost.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QThread>
#include <atomic>
#include <cstdlib>
#include <thread>

namespace {
std::atomic<SdkHost*> g_host{nullptr};
// The host's thread: a QThread when the program has an application object, else a plain
// thread running the library's own application object.
QThread* g_qthread = nullptr;
std::thread* g_appThread = nullptr;
std::function<void()> g_onShutDown;
}  // namespace

void SdkHost::start() {
    static QMutex startMutex;
    QMutexLocker once(&startMutex);
    if (g_host) return;
    auto* host = new SdkHost();
    if (QCoreApplication::instance()) {
        g_qthread = new QThread();
        g_qthread->setObjectName(QStringLiteral("zemcamera"));
        host->context_ = new QObject();
        host->context_->moveToThread(g_qthread);
        g_qthread->start();
    } else {
        QSemaphore ready;
        g_appThread = new std::thread([host, &ready] {
            static int argc = 1;
            static char name[] = "zemcamera";
            static char* argv[] = {name, nullptr};
            QCoreApplication app(argc, argv);
            QObject context;
            host->context_ = &context;
            ready.release();
            app.exec();
            host->context_ = nullptr;
        });
        ready.acquire();
    }
    g_host = host;
    // The cameras' threads must end while Qt still stands: with the caller's application
    // object as it goes, else as the process exits.
    if (g_qthread)
        qAddPostRoutine(&SdkHost::shutDown);
    else
        std::atexit(&SdkHost::shutDown);
}

SdkHost* SdkHost::get() {
    return g_host;
}

void SdkHost::call(const std::function<void()>& fn) {
    QMutexLocker serial(&callMutex_);
    if (QThread::currentThread() == context_->thread())
        fn();
    else
        QMetaObject::invokeMethod(context_, fn, Qt::BlockingQueuedConnection);
}

void SdkHost::setShutDownHook(std::function<void()> hook) {
    g_onShutDown = std::move(hook);
}

void SdkHost::shutDown() {
    SdkHost* host = g_host.exchange(nullptr);
    if (!host) return;
    // Cameras still open at exit are closed on their own thread, so their pumps are joined
    // before the process tears down what they use.
    if (g_onShutDown) host->call(g_onShutDown);
    if (g_qthread) {
        g_qthread->quit();
        g_qthread->wait();
        delete host->context_;
    } else if (g_appThread) {
        QMetaObject::invokeMethod(
            host->context_, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
        g_appThread->join();
    }
    delete host;
}
