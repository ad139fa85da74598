#pragma once
// One outgoing message: a copy of a record and the writers that put it on a socket.

#include <QMetaType>
#include <QTcpSocket>

#include "taskformdata.h"

class PacedTransfer;

class SCI_ExecObj_Send {
public:
    SCI_ExecObj_Send();
    explicit SCI_ExecObj_Send(const CTask_FormData& task);

    // Writes the whole message, its body chosen by the record's package type. JSON, multipart
    // and byte-array messages are in the socket's buffer when this returns. A file body is
    // streamed afterwards: the running transfer is returned, and nothing else may be written on
    // the socket until it has finished. Returns null when nothing remains to be streamed.
    PacedTransfer* SerializeWrite(QTcpSocket* socket);

    // The writers; each writes only while `socket` is set and connected.
    void Integrality_RequestJson(const CTask_FormData& task);
    void Integrality_ResponseJson(const CTask_FormData& task, int code, const QString& message);
    void Integrality_Mat(const CTask_FormData& task);
    void Integrality_ResponseBinaryStream(const CTask_FormData& task);
    PacedTransfer* Integrality_ResponseFile(const CTask_FormData& task);
    // Writes ready bytes in paced chunks within 10 s.
    PacedTransfer* SendFixLand(const QByteArray& data);

    qint64 createdAt = 0;
    CTask_FormData task;
    QTcpSocket* socket = nullptr;

private:
    bool canWrite() const;
};

Q_DECLARE_METATYPE(SCI_ExecObj_Send)
