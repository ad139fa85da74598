#pragma once
// Load on a service over loopback, beside a reference in the same run: wrk as the client, and a
// private nginx (own prefix, own loopback port, one worker, no system files) serving the same
// reply from a file.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace benchload {

struct WrkFigures {
    bool ok = false;
    double requestsPerSecond = 0;
    QString average, p50, p99;
    QString error;
};

// wrk and nginx are installed.
bool toolsAvailable();
// A loopback port free at this moment.
quint16 freeLoopbackPort();
// Sends `request` (head and body) to a loopback port and returns the body of the reply, while
// this thread keeps serving events; empty when none came within 3 s.
QByteArray fetchReplyBody(quint16 port, const QByteArray& request);
// Runs wrk (one thread) with the Lua script while this thread keeps serving events.
WrkFigures runWrk(const QString& url, const QString& script, int seconds, int connections);

// A private nginx that answers every POST to `path` with `reply` (JSON).
class NginxReference {
public:
    NginxReference(const QString& path, const QByteArray& reply);
    ~NginxReference();
    bool ok() const { return error_.isEmpty(); }
    QString error() const { return error_; }
    quint16 port() const { return port_; }
    // Writes a wrk script that POSTs `body` as JSON; its path.
    QString postScript(const QByteArray& body);

private:
    QTemporaryDir dir_;
    QProcess nginx_;
    quint16 port_ = 0;
    QString error_;
};

// The table header, one row per figure set, and the ratio of the first to the second.
void printHeader();
void printRow(const char* name, const WrkFigures& figures);
void printRatio(const char* name, const WrkFigures& measured, const WrkFigures& reference);

// Takes "--name=N" out of the arguments; fallback when absent or not positive.
int intFlag(int& argc, char** argv, const char* name, int fallback);
// Per-request info lines would measure the terminal; warnings still show.
void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& text);

}  // namespace benchload
