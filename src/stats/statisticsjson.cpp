#include "statisticsjson.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace stats {

namespace {

const QString kDate = QStringLiteral("date");
const QString kGroups = QStringLiteral("groups");
const QString kGroupName = QStringLiteral("groupName");
const QString kMorningStart = QStringLiteral("morningStart");
const QString kNightStart = QStringLiteral("nightStart");
const QString kCameraCount = QStringLiteral("cameraCount");
const QString kDetectCount = QStringLiteral("detectCount");
const QString kDatas = QStringLiteral("datas");
const QString kCameraID = QStringLiteral("cameraID");
const QString kData = QStringLiteral("data");
const QString kDetectID = QStringLiteral("detectID");
const QString kOK = QStringLiteral("OK");
const QString kNG = QStringLiteral("NG");

QJsonArray slotsToJson(const QList<int>& slotCounts) {
    QJsonArray array;
    for (int value : slotCounts) array.append(value);
    return array;
}

QList<int> slotsFromJson(const QJsonValue& value) {
    QList<int> slotCounts;
    const QJsonArray array = value.toArray();
    slotCounts.reserve(array.size());
    for (const QJsonValue& element : array) slotCounts.append(element.toInt());
    return slotCounts;
}

}  // namespace

QJsonObject detectToJson(const CountDetect& record, int detectID) {
    QJsonObject json;
    json.insert(kDetectID, detectID);
    json.insert(kOK, slotsToJson(record.OK));
    json.insert(kNG, slotsToJson(record.NG));
    return json;
}

QJsonObject cameraToJson(const CountCamera& camera, int cameraID, int& writtenStages) {
    QJsonArray data;
    for (int j = 0; j < camera.detects.size(); ++j)
        data.append(detectToJson(camera.detects.at(j), j));
    writtenStages = camera.detects.size();
    data.append(detectToJson(camera.summary, -1));
    QJsonObject json;
    json.insert(kCameraID, cameraID);
    json.insert(kData, data);
    return json;
}

QJsonObject groupToJson(const CountGroup& group, int detectCount) {
    QJsonArray datas;
    int writtenStages = 0;
    for (int i = 0; i < group.cameras.size(); ++i)
        datas.append(cameraToJson(group.cameras.at(i), i, writtenStages));
    datas.append(cameraToJson(group.summary, -1, writtenStages));
    QJsonObject json;
    json.insert(kDatas, datas);
    json.insert(kCameraCount, group.cameras.size());
    json.insert(kDetectCount, detectCount);
    json.insert(kGroupName, group.groupName);
    json.insert(kMorningStart, group.morningStart);
    json.insert(kNightStart, group.nightStart);
    return json;
}

QJsonObject dayToJson(const CountGroupList& day, int detectCount) {
    QJsonArray groups;
    for (const CountGroup& group : day.groups) groups.append(groupToJson(group, detectCount));
    QJsonObject json;
    json.insert(kGroups, groups);
    json.insert(kDate, day.date);
    return json;
}

void detectFromJson(CountDetect& record, const QJsonObject& json) {
    record.OK = slotsFromJson(json.value(kOK));
    record.NG = slotsFromJson(json.value(kNG));
    record.detectID = json.value(kDetectID).toInt();
}

void cameraFromJson(CountCamera& camera, const QJsonObject& json) {
    camera.detects.clear();
    const QJsonArray data = json.value(kData).toArray();
    for (const QJsonValue& element : data) {
        const QJsonObject object = element.toObject();
        if (object.value(kDetectID).toInt() == -1) {
            detectFromJson(camera.summary, object);
        } else {
            CountDetect record;
            detectFromJson(record, object);
            camera.detects.append(record);
        }
    }
    camera.cameraID = json.value(kCameraID).toInt();
}

void groupFromJson(CountGroup& group, const QJsonObject& json) {
    group.cameras.clear();
    const QJsonArray datas = json.value(kDatas).toArray();
    for (const QJsonValue& element : datas) {
        const QJsonObject object = element.toObject();
        if (object.value(kCameraID).toInt() == -1) {
            cameraFromJson(group.summary, object);
        } else {
            CountCamera camera;
            cameraFromJson(camera, object);
            group.cameras.append(camera);
        }
    }
    group.groupName = json.value(kGroupName).toString();
    group.morningStart = json.value(kMorningStart).toInt(kDefaultMorningStart);
    group.nightStart = json.value(kNightStart).toInt(kDefaultNightStart);
}

void dayFromJson(CountGroupList& day, const QJsonObject& json) {
    day.date = json.value(kDate).toString();
    day.groups.clear();
    const QJsonArray groups = json.value(kGroups).toArray();
    for (const QJsonValue& element : groups) {
        CountGroup group;
        groupFromJson(group, element.toObject());
        day.groups.append(group);
    }
}

QByteArray documentText(const QJsonObject& json) {
    return QJsonDocument(json).toJson(QJsonDocument::Indented);
}

QJsonObject documentFromText(const QString& text) {
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

}  // namespace stats
