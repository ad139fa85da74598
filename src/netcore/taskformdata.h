#pragma once
// The message record of the message core: one request or reply, outgoing or received, with the
// timing record of its task. Records travel by value through queued signals.

#include <QByteArray>
#include <QJsonObject>
#include <QMap>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVariant>
#include <opencv2/core.hpp>

// Timing of one task, kept by the reactor from registration to the end of its handling.
// A QObject so that the reactor can run its update slots by name; copies carry the fields only.
class TcpTsk_Info : public QObject {
    Q_OBJECT
public:
    TcpTsk_Info();
    explicit TcpTsk_Info(const QString& uuid);
    TcpTsk_Info(const TcpTsk_Info& other);
    TcpTsk_Info& operator=(const TcpTsk_Info& other);

    // The record as a map: "_tsk_url", "_tsk_uuid", "_tsk_recvpacklength" (int) and the five
    // times and "_tsk_recv_times" (qlonglong).
    QMap<QString, QVariant> getReportParam() const;

    QString url;
    qint64 create_timing = -1;
    qint64 firstrecv_timing = -1;
    qint64 finishrecv_timing = -1;
    qint64 finishact_timing = -1;
    qint64 recv_times = -1;
    QString uuid;
    qint32 recvpacklength = -1;

public slots:
    void tskup_firstrecv_timing();
    void tskup_recv_times();
    void tskup_finishrecv_timing();
    void tskup_chg_recvpacklength(QList<QVariant> args);
    void tskup_finishact_timing();
};

// Package types: how a record's payload becomes a body.
enum TaskPkgType {
    kPkgNothing = 0,    // nothing is written
    kPkgJson = 1,       // JSON request or reply
    kPkgMultipart = 2,  // images and JSON values as a multipart form
    kPkgRaw = 3,        // a byte array or a file
};

class CTask_FormData {
public:
    CTask_FormData() = default;

    // Package type of the record (TaskPkgType).
    int getTaskPkgType() const;
    // The last JSON object among the values in key order; the empty object when there is none.
    QJsonObject extract_jsonobject() const;
    // Makes the record the carrier of one reply object.
    void set_jsonobject(const QJsonObject& object, const QString& url, const QString& uuid,
                        int sessionId);

    QString peerAddress;
    quint16 peerPort = 0;
    QString method = QStringLiteral("POST");
    // Non-empty for a request, empty for a reply.
    QString url;
    // Task id; travels as the "User-Agent" header.
    QString uuid;
    // Outgoing: target session, -1 every session, -2 none. Received: the arrival session.
    int sessionId = -1;
    QString deviceId;
    QString userId;
    // 0 turns a JSON reply into the 404 "not handled" reply.
    int handled = 1;
    QMap<QString, QString> stringFields;
    QMap<QString, QVariant> values;
    QMap<QString, cv::Mat> mats;
    QMap<QString, QByteArray> byteArrays;
    TcpTsk_Info taskInfo;
};

Q_DECLARE_METATYPE(CTask_FormData)
