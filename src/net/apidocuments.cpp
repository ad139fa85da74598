#include "apidocuments.h"

#include <QMap>
#include <algorithm>

#include "globals.h"

namespace httpapi {

namespace {

int camerasInUse() {
    return std::clamp(numCamera, 0, kMaxCameras);
}

QJsonArray perCamera(const int* counts) {
    QJsonArray values;
    for (int c = 0; c < camerasInUse(); ++c) values.append(counts[c]);
    return values;
}

int lowByte(int value) {
    return value & 0xFF;
}

int secondByte(int value) {
    return (value >> 8) & 0xFF;
}

}  // namespace

QJsonObject productInfos(const MachineState& state) {
    // Every field counts cycles, as the Modbus registers do: with the product step or several
    // steps a cycle has more than one step, and a client reading the counts of a shift reads
    // moulds, not steps.
    const int largest = std::max(0, *std::max_element(gAllCycleNum, gAllCycleNum + kMaxCameras));
    int detectStatus = 0;
    if (state.resultState == kResultStateAlarm) detectStatus = state.currentDetect == 0 ? 1 : 2;
    QJsonObject infos;
    infos.insert(QStringLiteral("camera_count"), numCamera);
    infos.insert(QStringLiteral("run_status"), state.detectState == kDetectStateStopped ? 0 : 1);
    infos.insert(QStringLiteral("detect_status"), detectStatus);
    infos.insert(QStringLiteral("detect_all"), largest);
    infos.insert(QStringLiteral("detect_ng"), gSyncNGCycleNum);
    infos.insert(QStringLiteral("detect_all_detail"), perCamera(gAllCycleNum));
    infos.insert(QStringLiteral("detect_ng_detail"), perCamera(gFailCycleNum));
    return infos;
}

QJsonArray roiAlgorithm(const param_roi& roi) {
    return QJsonArray{roi.algorithm_result,
                      lowByte(roi.algorithm_sensitivity),
                      lowByte(roi.algorithm_areaMin),
                      lowByte(roi.algorithm_param),
                      secondByte(roi.algorithm_sensitivity),
                      secondByte(roi.algorithm_areaMin),
                      secondByte(roi.algorithm_param)};
}

QJsonObject lastDetect(const QList<param_roi>& results, int detectIndex, bool result,
                       int cameraCount, const QDateTime& when) {
    struct Group {
        QMap<int, param_roi> rois;  // by region id; a later record replaces an earlier one
        bool allOk = true;          // counts every record, the replaced ones too
    };
    // Keyed by text, so groups come in the text order of "camera;detect".
    QMap<QString, Group> groups;
    for (const param_roi& record : results) {
        Group& group = groups[QStringLiteral("%1;%2").arg(record.camera).arg(record.detect)];
        group.rois.insert(record.roi_id, record);
        if (record.is_alarm == 0) group.allOk = false;
    }
    QJsonArray groupList;
    for (auto g = groups.cbegin(); g != groups.cend(); ++g) {
        QJsonArray rois;
        for (const param_roi& roi : g.value().rois) {
            QJsonObject item;
            item.insert(QStringLiteral("roi_index"), roi.roi_id);
            item.insert(QStringLiteral("roi_result"), roi.is_alarm != 0);
            item.insert(QStringLiteral("roi_func"), roi.algorithm_type);
            item.insert(QStringLiteral("roi_algorithm"), roiAlgorithm(roi));
            rois.append(item);
        }
        QJsonObject group;
        group.insert(QStringLiteral("camera_index"),
                     g.key().section(QLatin1Char(';'), 0, 0).toInt());
        group.insert(QStringLiteral("camera_detect"),
                     g.key().section(QLatin1Char(';'), 1, 1).toInt());
        group.insert(QStringLiteral("rois"), rois);
        group.insert(QStringLiteral("camera_result"), g.value().allOk);
        groupList.append(group);
    }
    QJsonObject document;
    document.insert(QStringLiteral("result"), result);
    document.insert(QStringLiteral("detect_time"),
                    when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")));
    document.insert(QStringLiteral("camera_count"), cameraCount);
    document.insert(QStringLiteral("detect_index"), detectIndex);
    document.insert(QStringLiteral("last_result"), groupList);
    return document;
}

}  // namespace httpapi
