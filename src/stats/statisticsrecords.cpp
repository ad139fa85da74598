#include "statisticsrecords.h"

#include <QtGlobal>

namespace stats {

namespace {

QList<int> zeroSlots() {
    QList<int> slotCounts;
    slotCounts.reserve(kHourSlots);
    for (int i = 0; i < kHourSlots; ++i) slotCounts.append(0);
    return slotCounts;
}

void padList(QList<int>& slotCounts) {
    while (slotCounts.size() < kHourSlots) slotCounts.append(0);
}

void padRecord(CountDetect& record) {
    padList(record.OK);
    padList(record.NG);
}

void padCamera(CountCamera& camera) {
    for (CountDetect& record : camera.detects) padRecord(record);
    padRecord(camera.summary);
}

void addSlots(QList<int>& into, const QList<int>& from) {
    for (int k = 0; k < from.size(); ++k) {
        if (k < into.size())
            into[k] += from.at(k);
        else
            into.append(from.at(k));
    }
}

void addRecord(CountDetect& into, const CountDetect& from) {
    addSlots(into.OK, from.OK);
    addSlots(into.NG, from.NG);
}

void addCamera(CountCamera& into, const CountCamera& from) {
    for (int d = 0; d < from.detects.size(); ++d) {
        if (d < into.detects.size())
            addRecord(into.detects[d], from.detects.at(d));
        else
            into.detects.append(from.detects.at(d));
    }
    addRecord(into.summary, from.summary);
}

}  // namespace

int boundedCameraCount(int cameras) {
    return qBound(0, cameras, kMaxStatCameras);
}

int boundedStageCount(int stages) {
    return qBound(0, stages, kMaxStages);
}

CountDetect newDetect() {
    CountDetect record;
    record.detectID = -1;
    record.OK = zeroSlots();
    record.NG = zeroSlots();
    return record;
}

CountCamera newCamera(int detectCount) {
    CountCamera camera;
    camera.cameraID = -1;
    camera.summary = newDetect();
    const int stages = boundedStageCount(detectCount);
    for (int i = 0; i < stages; ++i) camera.detects.append(newDetect());
    return camera;
}

void fillGroup(CountGroup& group, const QString& name, int cameraCount, int detectCount) {
    group.cameras.clear();
    const int cameras = boundedCameraCount(cameraCount);
    for (int i = 0; i < cameras; ++i) group.cameras.append(newCamera(detectCount));
    group.summary = newCamera(detectCount);
    group.groupName = name;
}

CountGroupList newDay(const QString& date, const QString& groupName, int cameraCount,
                      int detectCount) {
    CountGroup group;
    group.morningStart = kDefaultMorningStart;
    group.nightStart = kDefaultNightStart;
    fillGroup(group, groupName, cameraCount, detectCount);
    CountGroupList day;
    day.date = date;
    day.groups.append(group);
    return day;
}

int morningSlotCount(int morningsStart, int morningsEnd) {
    return (morningsEnd + kHourSlots - morningsStart) % kHourSlots;
}

void computeSums(CountDetect& record, int morningSlots) {
    record.morning = sCount();
    record.night = sCount();
    record.all = sCount();
    for (int k = 0; k < record.OK.size(); ++k) {
        const int value = record.OK.at(k);
        (k < morningSlots ? record.morning : record.night).OK += value;
        record.all.OK += value;
    }
    for (int k = 0; k < record.NG.size(); ++k) {
        const int value = record.NG.at(k);
        (k < morningSlots ? record.morning : record.night).NG += value;
        record.all.NG += value;
    }
}

void computeSums(CountCamera& camera, int morningSlots) {
    for (CountDetect& record : camera.detects) computeSums(record, morningSlots);
    computeSums(camera.summary, morningSlots);
}

void computeSums(CountGroup& group, int morningSlots) {
    for (CountCamera& camera : group.cameras) computeSums(camera, morningSlots);
    computeSums(group.summary, morningSlots);
}

void computeSums(CountGroupList& day, int morningSlots) {
    for (CountGroup& group : day.groups) computeSums(group, morningSlots);
}

void growStages(CountCamera& camera, int n) {
    const int target = boundedStageCount(n);
    while (camera.detects.size() < target) camera.detects.append(newDetect());
}

void growStages(CountGroup& group, int n) {
    growStages(group.summary, n);
    for (CountCamera& camera : group.cameras) growStages(camera, n);
}

void padSlots(CountGroupList& day) {
    for (CountGroup& group : day.groups) {
        for (CountCamera& camera : group.cameras) padCamera(camera);
        padCamera(group.summary);
    }
}

bool countResult(CountDetect& record, int slot, bool ok) {
    QList<int>& slotCounts = ok ? record.OK : record.NG;
    if (slot < 0 || slot >= slotCounts.size()) return false;
    ++slotCounts[slot];
    return true;
}

void addDay(CountGroupList& into, const CountGroupList& from) {
    for (const CountGroup& group : from.groups) {
        CountGroup* same = nullptr;
        for (CountGroup& candidate : into.groups)
            if (candidate.groupName == group.groupName) same = &candidate;
        if (!same) {
            into.groups.append(group);
            continue;
        }
        for (int c = 0; c < group.cameras.size(); ++c) {
            if (c < same->cameras.size())
                addCamera(same->cameras[c], group.cameras.at(c));
            else
                same->cameras.append(group.cameras.at(c));
        }
        addCamera(same->summary, group.summary);
    }
}

}  // namespace stats
