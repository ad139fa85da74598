#pragma once
// Pushes of the last-detection document to the subscribers of the HTTP API: one short-lived
// client per subscriber and step, each on a thread of its own.

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <atomic>

#include "httpmanager.h"

class QTimer;

// One push: connects to a subscriber, posts the document, logs the subscriber's reply and goes
// away with it, or after its lifetime when no reply comes.
class Tcp_Push2APP : public HttpManager {
    Q_OBJECT
public:
    Tcp_Push2APP();
    ~Tcp_Push2APP() override;

public slots:
    void SlotRecvResponse_Async(CTask_FormData response) override;
    void SlotRecvRequest(CTask_FormData) override {}

private:
    QTimer* selfDestruct_ = nullptr;
    std::atomic<bool> alive_{true};  // cleared when the subscriber's reply has come
};

// What one push carries.
struct PushOrder {
    QString address;
    quint16 port = 0;
    qint64 createdMs = 0;  // also the push's task id
    QString deviceName;
    QJsonObject document;
};

// Runs every push on a thread of its own, so that neither a subscriber that never answers the
// connect nor one that never replies holds up the caller (the detection cycle).
class PushLauncher : public QObject {
    Q_OBJECT
public:
    PushLauncher();
    // Ends the pushes under way and waits for their threads (at most one connect time-out).
    ~PushLauncher() override;

    // False, with a warning, when too many pushes are still under way; the push is dropped.
    bool launch(const PushOrder& order);
    // Pushes started or waiting for a thread.
    int inFlight() const { return inFlight_.load(); }

signals:
    void stopAll();

private:
    void run(const PushOrder& order);

    QThreadPool pool_;
    std::atomic<int> inFlight_{0};
    std::atomic<bool> stopping_{false};
    int droppedInBurst_ = 0;
};
