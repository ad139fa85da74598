#include "netlab.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <thread>

#include "testsupport.h"

namespace testsupport {

namespace {

// A new veth pair normally carries packets within milliseconds; a loaded machine can take
// up to the kernel's one-second link-event delay.
constexpr int kLinkUpWaitMs = 5000;

int openOwnNamespace() {
    return ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
}

}  // namespace

NetLab::NetLab() {
    if (QStandardPaths::findExecutable("ip").isEmpty() ||
        QStandardPaths::findExecutable("nsenter").isEmpty())
        error_ = QStringLiteral("ip or nsenter is not installed");
}

NetLab::~NetLab() {
    for (auto& process : started_) {
        process->kill();
        process->waitForFinished(2000);
    }
    started_.clear();
    for (const int fd : hosts_) ::close(fd);
}

int NetLab::addHost() {
    if (!ok()) return -1;
    int fd = -1;
    int failure = 0;
    // A short-lived thread makes the namespace, so no thread of the test ever leaves its own;
    // the descriptor keeps the namespace after the thread has gone.
    std::thread maker([&] {
        if (::unshare(CLONE_NEWNET) != 0)
            failure = errno;
        else
            fd = openOwnNamespace();
    });
    maker.join();
    if (fd < 0) {
        error_ = QStringLiteral("cannot make a network namespace: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(failure ? failure : errno)));
        return -1;
    }
    hosts_.append(fd);
    const int host = hosts_.size() - 1;
    return runOk(host, {"link", "set", "lo", "up"}) ? host : -1;
}

QString NetLab::nextLinkName() {
    // At most 15 characters: "mm", the process id (up to 7 digits), "v", a counter.
    return QStringLiteral("mm%1v%2").arg(QCoreApplication::applicationPid()).arg(links_++);
}

bool NetLab::runOk(int host, const QStringList& ipArgs) {
    const sys::CommandResult result = run(host, "ip", ipArgs);
    if (!result.ok())
        error_ = "ip " + ipArgs.join(' ') + ": " + QString::fromLocal8Bit(result.output);
    return result.ok();
}

QPair<QString, QString> NetLab::link(int a, const QString& cidrA, int b, const QString& cidrB) {
    if (!ok() || a < 0 || b < 0 || a >= hosts_.size() || b >= hosts_.size()) return {};
    const QString nameA = nextLinkName();
    const QString nameB = nextLinkName();
    {
        // ip places the far end into the namespace of a thread given by its id; this thread
        // stands in host b while ip runs in host a.
        Inside inB(*this, b);
        if (!inB.entered()) return {};
        const QString tid = QString::number(::syscall(SYS_gettid));
        if (!runOk(a, {"link", "add", nameA, "type", "veth", "peer", "name", nameB, "netns", tid}))
            return {};
    }
    for (const auto& end :
         {qMakePair(a, qMakePair(nameA, cidrA)), qMakePair(b, qMakePair(nameB, cidrB))}) {
        if (!end.second.second.isEmpty() &&
            !runOk(end.first, {"addr", "add", end.second.second, "dev", end.second.first}))
            return {};
        if (!runOk(end.first, {"link", "set", end.second.first, "up"})) return {};
    }
    // The kernel starts passing packets over a new link a moment after it is set up (its
    // queue stays a no-op until then), so a datagram sent at once could be lost.
    QElapsedTimer waited;
    waited.start();
    for (const auto& end : {qMakePair(a, nameA), qMakePair(b, nameB)}) {
        while (!run(end.first, "ip", {"-o", "link", "show", "dev", end.second})
                    .output.contains("state UP")) {
            if (waited.elapsed() > kLinkUpWaitMs) {
                error_ = end.second + " did not come up";
                return {};
            }
            QThread::msleep(10);
        }
    }
    return {nameA, nameB};
}

QStringList NetLab::enter(int host) const {
    return {QStringLiteral("--net=/proc/%1/fd/%2")
                .arg(QCoreApplication::applicationPid())
                .arg(hosts_.value(host, -1))};
}

sys::CommandResult NetLab::run(int host, const QString& program, const QStringList& args,
                               int timeoutMs) {
    sys::CommandResult result;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start("nsenter", enter(host) + QStringList{program} + args);
    result.started = process.waitForStarted(timeoutMs);
    if (!result.started) return result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = process.readAll();
    return result;
}

QProcess* NetLab::start(int host, const QString& program, const QStringList& args) {
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::SeparateChannels);
    // setpriv makes the kernel kill the program when the test process dies, so a crashed test
    // leaves no program holding a namespace.
    process->start("nsenter",
                   enter(host) + QStringList{"setpriv", "--pdeathsig", "KILL", program} + args);
    if (!process->waitForStarted(5000)) return nullptr;
    started_.push_back(std::move(process));
    return started_.back().get();
}

NetLab::Inside::Inside(const NetLab& lab, int host) {
    previous_ = openOwnNamespace();
    const int target = lab.hosts_.value(host, -1);
    entered_ = previous_ >= 0 && target >= 0 && ::setns(target, CLONE_NEWNET) == 0;
}

NetLab::Inside::~Inside() {
    if (entered_) ::setns(previous_, CLONE_NEWNET);
    if (previous_ >= 0) ::close(previous_);
}

QString udpPeerScript() {
    return sourceDir() + "/tests/support/udppeer.py";
}

}  // namespace testsupport
