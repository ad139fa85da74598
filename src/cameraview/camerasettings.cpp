#include "camerasettings.h"

#include "paramlimits.h"
#include "wizardpara.h"

namespace cameraview {

namespace {

bool validCamera(int c) {
    return c >= 0 && c < params::kCameraCount;
}

}  // namespace

QJsonObject cameraSettings(const WizardPara& p, int c) {
    QJsonObject o;
    if (!validCamera(c)) return o;
    o.insert(QStringLiteral("exposetime"), p.exposeTime[c]);
    o.insert(QStringLiteral("gain"), p.adjustPlus[c]);
    o.insert(QStringLiteral("contrast"), p.contrast[c]);
    o.insert(QStringLiteral("sharp"), p.sharp[c]);
    o.insert(QStringLiteral("gammma"), p.gamma[c]);
    o.insert(QStringLiteral("WDR"), p.isWDR != 0);
    o.insert(QStringLiteral("VMirror"), p.isVMirror[c] != 0);
    o.insert(QStringLiteral("HMirror"), p.isHMirror[c] != 0);
    o.insert(QStringLiteral("sysUsage"), p.sysUsage != 0);
    o.insert(QStringLiteral("speed"), p.speed);
    return o;
}

QJsonObject defaultSettingsRequest(const WizardPara& p, int c) {
    QJsonObject o;
    if (!validCamera(c)) return o;
    o.insert(QStringLiteral("exposeTime"), p.exposeTime[c]);
    o.insert(QStringLiteral("adjustPlus"), p.adjustPlus[c]);
    o.insert(QStringLiteral("sharp"), p.sharp[c]);
    o.insert(QStringLiteral("contrast"), p.contrast[c]);
    o.insert(QStringLiteral("gamma"), p.gamma[c]);
    o.insert(QStringLiteral("isHMirror"), p.isHMirror[c]);
    o.insert(QStringLiteral("isVMirror"), p.isVMirror[c]);
    o.insert(QStringLiteral("speed"), p.speed);
    o.insert(QStringLiteral("sysUsage"), p.sysUsage);
    o.insert(QStringLiteral("isWDR"), p.isWDR);
    return o;
}

void takeDefaultSettings(const QJsonObject& answer, WizardPara* p, int c) {
    if (!p || !validCamera(c)) return;
    const auto read = [&](const char* key) { return answer.value(QLatin1String(key)).toInt(0); };
    p->exposeTime[c] = read("exposeTime");
    p->adjustPlus[c] = read("adjustPlus");
    p->sharp[c] = read("sharp");
    p->contrast[c] = read("contrast");
    p->gamma[c] = read("gamma");
    p->speed = read("speed");
}

}  // namespace cameraview
