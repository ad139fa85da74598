#pragma once
// Streams a body onto a socket in chunks, each handed over only when the socket has taken the
// previous ones, so a large file is never held in memory as a whole. The transfer runs from
// the socket's event loop; its end is reported by finished().

#include <QIODevice>
#include <QObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <memory>

class PacedTransfer : public QObject {
    Q_OBJECT
public:
    // Sends `length` bytes of `source` (open for reading; the transfer owns it) on `socket`,
    // within `deadlineMs`. A transfer that misses its deadline aborts the connection, since the
    // peer would otherwise take the next message as the rest of the body.
    PacedTransfer(QTcpSocket* socket, std::unique_ptr<QIODevice> source, qint64 length,
                  int deadlineMs, const QString& what);
    ~PacedTransfer() override;

    // Hands the first chunks to the socket; finished() may be emitted before this returns.
    void start();
    bool isFinished() const { return finished_; }
    qint64 remaining() const { return remaining_; }

signals:
    void finished(bool complete);

private:
    void feed();
    void finish(bool complete);

    QPointer<QTcpSocket> socket_;
    std::unique_ptr<QIODevice> source_;
    qint64 remaining_;
    QTimer deadline_;
    QString what_;
    bool finished_ = false;
};
