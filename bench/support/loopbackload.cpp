#include "loopbackload.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <cstdio>

namespace benchload {

namespace {

constexpr int kReplyWaitMs = 3000;
constexpr int kNginxStartMs = 5000;
constexpr int kWrkGraceSeconds = 20;

bool writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

bool installed(const char* tool) {
    return !QStandardPaths::findExecutable(tool).isEmpty() ||
           !QStandardPaths::findExecutable(tool, {"/usr/sbin", "/sbin"}).isEmpty();
}

}  // namespace

bool toolsAvailable() {
    return installed("wrk") && installed("nginx");
}

quint16 freeLoopbackPort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) return 0;
    return probe.serverPort();
}

QByteArray fetchReplyBody(quint16 port, const QByteArray& request) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    QByteArray received;
    socket.write(request);
    QElapsedTimer timer;
    timer.start();
    const QRegularExpression lengthLine("Content-Length: (\\d+)");
    while (timer.elapsed() < kReplyWaitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        received += socket.readAll();
        const int end = received.indexOf("\r\n\r\n");
        const QRegularExpressionMatch length = lengthLine.match(QString::fromUtf8(received));
        if (end >= 0 && length.hasMatch() &&
            received.size() >= end + 4 + length.captured(1).toInt())
            return received.mid(end + 4);
        QThread::msleep(1);
    }
    return QByteArray();
}

WrkFigures runWrk(const QString& url, const QString& script, int seconds, int connections) {
    WrkFigures figures;
    QProcess wrk;
    wrk.setProcessChannelMode(QProcess::MergedChannels);
    wrk.start("wrk", {"-t1", QStringLiteral("-c%1").arg(connections),
                      QStringLiteral("-d%1s").arg(seconds), "--latency", "-s", script, url});
    QEventLoop loop;
    QObject::connect(&wrk, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), &loop,
                     &QEventLoop::quit);
    QTimer::singleShot((seconds + kWrkGraceSeconds) * 1000, &loop, &QEventLoop::quit);
    if (wrk.state() != QProcess::NotRunning) loop.exec();
    if (wrk.state() != QProcess::NotRunning) {
        wrk.kill();
        wrk.waitForFinished(2000);
        figures.error = "wrk did not finish";
        return figures;
    }
    const QString output = QString::fromUtf8(wrk.readAll());
    const auto grab = [&](const QString& pattern) {
        return QRegularExpression(pattern, QRegularExpression::MultilineOption)
            .match(output)
            .captured(1);
    };
    figures.requestsPerSecond = grab(R"(^Requests/sec:\s+([0-9.]+))").toDouble();
    figures.average = grab(R"(^\s+Latency\s+(\S+))");
    figures.p50 = grab(R"(^\s+50%\s+(\S+))");
    figures.p99 = grab(R"(^\s+99%\s+(\S+))");
    const QString errors = grab(R"(^\s+(Socket errors:.*)$)");
    const QString non2xx = grab(R"(^\s+(Non-2xx or 3xx responses:.*)$)");
    figures.ok = figures.requestsPerSecond > 0 && non2xx.isEmpty();
    figures.error = (errors + " " + non2xx).trimmed();
    if (figures.requestsPerSecond <= 0) figures.error = output.left(400);
    return figures;
}

NginxReference::NginxReference(const QString& path, const QByteArray& reply) {
    const QString root = dir_.path();
    port_ = freeLoopbackPort();
    const QString file = root + "/www" + path;
    QDir().mkpath(QFileInfo(file).path());
    writeFile(file, reply);
    // POST to a static file is answered 405 by nginx; the error page turns it into the file.
    const QString config =
        QStringLiteral(
            "daemon off;\nuser root;\nworker_processes 1;\npid %1/nginx.pid;\n"
            "error_log %1/error.log warn;\nevents { worker_connections 1024; }\n"
            "http {\n  access_log off;\n  default_type application/json;\n"
            "  keepalive_requests 100000000;\n"
            "  client_body_temp_path %1/body; proxy_temp_path %1/proxy;\n"
            "  fastcgi_temp_path %1/fastcgi; uwsgi_temp_path %1/uwsgi; scgi_temp_path %1/scgi;\n"
            "  server {\n    listen 127.0.0.1:%2;\n    root %1/www;\n"
            "    location / { error_page 405 =200 $uri; }\n  }\n}\n")
            .arg(root)
            .arg(port_);
    writeFile(root + "/nginx.conf", config.toUtf8());
    nginx_.setProcessChannelMode(QProcess::MergedChannels);
    nginx_.start("nginx", {"-p", root, "-e", root + "/error.log", "-c", root + "/nginx.conf"});
    QElapsedTimer started;
    started.start();
    while (started.elapsed() < kNginxStartMs && nginx_.state() != QProcess::NotRunning) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port_);
        if (probe.waitForConnected(100)) return;
    }
    error_ = "nginx did not start: " + QString::fromUtf8(nginx_.readAll());
}

NginxReference::~NginxReference() {
    nginx_.terminate();
    if (!nginx_.waitForFinished(3000)) {
        nginx_.kill();
        nginx_.waitForFinished(1000);
    }
}

QString NginxReference::postScript(const QByteArray& body) {
    const QString script = dir_.path() + "/post.lua";
    writeFile(script, "wrk.method = \"POST\"\nwrk.body = '" + body +
                          "'\nwrk.headers[\"Content-Type\"] = \"application/json\"\n"
                          "wrk.headers[\"User-Agent\"] = \"bench\"\n");
    return script;
}

void printHeader() {
    std::printf("%-34s %12s %10s %10s %10s\n", "", "requests/s", "avg", "p50", "p99");
}

void printRow(const char* name, const WrkFigures& f) {
    std::printf("%-34s %12.0f %10s %10s %10s  %s\n", name, f.requestsPerSecond,
                qPrintable(f.average), qPrintable(f.p50), qPrintable(f.p99), qPrintable(f.error));
}

void printRatio(const char* name, const WrkFigures& measured, const WrkFigures& reference) {
    if (measured.requestsPerSecond > 0 && reference.requestsPerSecond > 0)
        std::printf("%-34s %12.2f\n", name,
                    measured.requestsPerSecond / reference.requestsPerSecond);
}

int intFlag(int& argc, char** argv, const char* name, int fallback) {
    const QByteArray prefix = QByteArray("--") + name + "=";
    int value = fallback;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]).startsWith(prefix))
            value = QByteArray(argv[i]).mid(prefix.size()).toInt();
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    return value > 0 ? value : fallback;
}

void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

}  // namespace benchload
