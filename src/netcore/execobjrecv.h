#pragma once
// One incoming message: built from its head, fed with its body, then decoded into a record.

#include <QByteArray>
#include <QHostAddress>
#include <QString>

#include "taskformdata.h"

class SCI_ExecObj_Recv_Base {
public:
    virtual ~SCI_ExecObj_Recv_Base();
    virtual void addBody(const QByteArray& bytes);
    virtual QByteArray showBody() const;
    virtual QString showHead() const;
    // Body bytes still missing; 0 or less once the body is complete.
    virtual qint64 getNeedLength() const = 0;
    // Decodes the complete message; false when it cannot be decoded.
    virtual bool analysisIntegrality() = 0;
    virtual CTask_FormData getFormData() const = 0;

    int sessionId = -1;
    bool isResponse = false;
    QString head;
    QByteArray body;
};

class SCI_ExecObj_Recv : public SCI_ExecObj_Recv_Base {
public:
    // `headBytes` is the head without its closing empty line.
    SCI_ExecObj_Recv(const QByteArray& headBytes, int sessionId);

    void setDuplex_Info(const QHostAddress& address, quint16 port);
    qint64 getNeedLength() const override;
    bool analysisIntegrality() override;
    CTask_FormData getFormData() const override;

    // False when "Content-Length" is negative or too large to count.
    bool hasUsableLength() const { return contentLength >= 0; }

    static bool analysisIntegrality_json(const QByteArray& body, CTask_FormData& task);
    static bool analysisIntegrality_multipart(const QByteArray& boundary, const QByteArray& body,
                                              CTask_FormData& task);
    static bool analysisIntegrality_file(const QByteArray& body, CTask_FormData& task);

    QString method;
    QString url;
    QString userAgent;
    QString userId;
    QString contentType;
    // 0 when absent or not a number; -1 when negative or beyond 64 bits.
    qint64 contentLength = 0;
    CTask_FormData formData;
};
