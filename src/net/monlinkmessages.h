#pragma once
// The message bodies the monitoring link exchanges with its companion, and the platform time,
// as plain functions over values (no socket, no clock, no state).

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

#include "paramroi.h"

namespace monlink {

// What the platform wants, as the companion reports it in its heartbeat replies.
struct PlatformFlags {
    bool cntServer = false;
    bool registered = false;
    bool needOkImg = false;
    bool needVideo = false;
};

// The flags of a heartbeat reply body; every flag not given as a bool under "result" is false.
PlatformFlags parseHeartbeatReply(const QString& body);

// The panel's state as the companion shows it, from the main window's detection and result
// states.
QString deviceStateText(int detectState, int resultState);

QJsonObject heartbeatBody(const QString& deviceState, bool video, int cameras);

// " 相机<camera + 1>:" and the text of a clearing code.
QString clearMethodText(int camera, int code);

// The body of one step's results: the regions grouped by camera and detection.
QJsonObject detectOnceBody(bool result, const QList<param_roi>& regions);

// The time in a reply of the platform's time service, when it is one the clock may be set to.
std::optional<QDateTime> serverTime(const QByteArray& body);

// A new alarm id: the kernel's random uuid, or the time in ms when it cannot be read.
QString newAlarmId(qint64 nowMs);

}  // namespace monlink
