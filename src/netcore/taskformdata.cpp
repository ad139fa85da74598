#include "taskformdata.h"

#include "netclock.h"

TcpTsk_Info::TcpTsk_Info() : QObject(nullptr) {}

TcpTsk_Info::TcpTsk_Info(const QString& id) : QObject(nullptr), uuid(id) {
    create_timing = netcore::nowMs();
}

TcpTsk_Info::TcpTsk_Info(const TcpTsk_Info& other) : QObject(nullptr) {
    *this = other;
}

TcpTsk_Info& TcpTsk_Info::operator=(const TcpTsk_Info& other) {
    if (this == &other) return *this;
    url = other.url;
    create_timing = other.create_timing;
    firstrecv_timing = other.firstrecv_timing;
    finishrecv_timing = other.finishrecv_timing;
    finishact_timing = other.finishact_timing;
    recv_times = other.recv_times;
    uuid = other.uuid;
    recvpacklength = other.recvpacklength;
    return *this;
}

QMap<QString, QVariant> TcpTsk_Info::getReportParam() const {
    QMap<QString, QVariant> report;
    report.insert(QStringLiteral("_tsk_url"), url);
    report.insert(QStringLiteral("_tsk_uuid"), uuid);
    report.insert(QStringLiteral("_tsk_recvpacklength"), int(recvpacklength));
    report.insert(QStringLiteral("_tsk_create_timing"), qlonglong(create_timing));
    report.insert(QStringLiteral("_tsk_firstrecv_timing"), qlonglong(firstrecv_timing));
    report.insert(QStringLiteral("_tsk_finishrecv_timing"), qlonglong(finishrecv_timing));
    report.insert(QStringLiteral("_tsk_finishact_timing"), qlonglong(finishact_timing));
    report.insert(QStringLiteral("_tsk_recv_times"), qlonglong(recv_times));
    return report;
}

void TcpTsk_Info::tskup_firstrecv_timing() {
    firstrecv_timing = netcore::nowMs();
    recv_times = 1;
}

void TcpTsk_Info::tskup_recv_times() {
    recv_times += 1;
}

void TcpTsk_Info::tskup_finishrecv_timing() {
    finishrecv_timing = netcore::nowMs();
}

void TcpTsk_Info::tskup_chg_recvpacklength(QList<QVariant> args) {
    if (!args.isEmpty() && args.first().userType() == QMetaType::Int)
        recvpacklength = args.first().toInt();
}

void TcpTsk_Info::tskup_finishact_timing() {
    finishact_timing = netcore::nowMs();
}

namespace {
bool holdsJsonObject(const QVariant& value) {
    return value.userType() == QMetaType::QJsonObject;
}
}  // namespace

int CTask_FormData::getTaskPkgType() const {
    if (!mats.isEmpty()) return byteArrays.isEmpty() ? kPkgMultipart : kPkgNothing;
    if (!byteArrays.isEmpty()) return kPkgRaw;
    if (values.isEmpty()) return kPkgJson;
    return holdsJsonObject(values.first()) ? kPkgJson : kPkgNothing;
}

QJsonObject CTask_FormData::extract_jsonobject() const {
    QJsonObject result;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (holdsJsonObject(it.value())) result = it.value().toJsonObject();
    }
    return result;
}

void CTask_FormData::set_jsonobject(const QJsonObject& object, const QString& newUrl,
                                    const QString& newUuid, int newSessionId) {
    if (!newUrl.isEmpty()) url = newUrl;
    if (!newUuid.isEmpty()) uuid = newUuid;
    // A record addressed to every session stays so.
    if (sessionId != -1) sessionId = newSessionId;
    values.clear();
    values.insert(QStringLiteral("result"), QVariant::fromValue(object));
}
