#include "monlinkmessages.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QtDebug>
#include <cmath>

#include "monlinklimits.h"

namespace monlink {

PlatformFlags parseHeartbeatReply(const QString& body) {
    PlatformFlags flags;
    const QJsonValue result = QJsonDocument::fromJson(body.toUtf8()).object().value("result");
    if (!result.isObject()) return flags;
    const QJsonObject fields = result.toObject();
    const auto flag = [&fields](const char* key) {
        const QJsonValue value = fields.value(QLatin1String(key));
        return value.isBool() && value.toBool();
    };
    flags.cntServer = flag("cntserver");
    flags.registered = flag("register");
    flags.needOkImg = flag("needokimg");
    flags.needVideo = flag("needvideo");
    return flags;
}

QString deviceStateText(int detectState, int resultState) {
    if (resultState == 2) return QStringLiteral("检测完毕NG");
    if (resultState == 3) return QStringLiteral("设置区域中");
    if (resultState == 1) return QStringLiteral("检测完毕OK");
    if (detectState == 2) return QStringLiteral("模板训练中");
    if (detectState == 1) return QStringLiteral("运行中");
    if (detectState == 3) return QStringLiteral("停止检测");
    return QStringLiteral("UNKNOW");
}

QJsonObject heartbeatBody(const QString& deviceState, bool video, int cameras) {
    return QJsonObject{
        {QStringLiteral("deviceBaseinfo"), QStringLiteral("cpu：10%，memory：10%，disk：10%")},
        {QStringLiteral("deviceState"), deviceState},
        {QStringLiteral("isPutVideo"), video},
        {QStringLiteral("cameracount"), cameras}};
}

QString clearMethodText(int camera, int code) {
    static const QMap<int, QString> texts{{4, QStringLiteral("不检测此模解除")},
                                          {5, QStringLiteral("添加为模板解除")},
                                          {6, QStringLiteral("重新检测切换到模腔检测")},
                                          {7, QStringLiteral("进行重检检测")},
                                          {8, QStringLiteral("重检检测OK")}};
    return QStringLiteral(" 相机%1:").arg(camera + 1) + texts.value(code, QStringLiteral("unknow"));
}

QJsonObject detectOnceBody(bool result, const QList<param_roi>& regions) {
    // The companion expects the groups in the text order of "camera;detect" (so "10;0" comes
    // before "2;0"), the regions of a group in the order they were inspected.
    QMap<QString, QJsonArray> groups;
    for (const param_roi& r : regions) {
        groups[QStringLiteral("%1;%2").arg(r.camera).arg(r.detect)].append(
            QJsonObject{{QStringLiteral("roi_id"), r.roi_id},
                        {QStringLiteral("algorithm_type"), r.algorithm_type},
                        {QStringLiteral("algorithm_result"), r.algorithm_result},
                        {QStringLiteral("algorithm_sensitivity"), r.algorithm_sensitivity},
                        {QStringLiteral("algorithm_areaMin"), r.algorithm_areaMin},
                        {QStringLiteral("is_alarm"), r.is_alarm}});
    }
    QJsonArray detail;
    for (auto it = groups.cbegin(); it != groups.cend(); ++it) {
        const QStringList key = it.key().split(';');
        detail.append(QJsonObject{{QStringLiteral("camera"), key.value(0).toInt()},
                                  {QStringLiteral("detect"), key.value(1).toInt()},
                                  {QStringLiteral("roi_detail"), it.value()}});
    }
    return QJsonObject{{QStringLiteral("result"), result},
                       {QStringLiteral("detect_detail"), detail}};
}

std::optional<QDateTime> serverTime(const QByteArray& body) {
    if (body.isEmpty()) return std::nullopt;
    const QJsonValue time = QJsonDocument::fromJson(body)
                                .object()
                                .value(QStringLiteral("result"))
                                .toObject()
                                .value(QStringLiteral("time"));
    if (!time.isDouble()) return std::nullopt;
    const double ms = std::trunc(time.toDouble());
    if (!(ms >= double(kEarliestServerTimeMs) && ms <= double(kLatestServerTimeMs))) {
        qWarning() << "netdbg: the platform server's time" << time.toDouble()
                   << "is no time the clock may be set to; the clock is left as it is";
        return std::nullopt;
    }
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ms));
}

QString newAlarmId(qint64 nowMs) {
    QFile file(QStringLiteral("/proc/sys/kernel/random/uuid"));
    if (!file.open(QIODevice::ReadOnly)) return QString::number(nowMs);
    QByteArray text = file.readAll();
    const int nul = text.indexOf('\0');
    if (nul >= 0) text.truncate(nul);
    return QString::fromLatin1(text).remove('\n');
}

}  // namespace monlink
