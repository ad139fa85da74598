#include "resstatisticsparam.h"

#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QSemaphore>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <memory>

#include "cyclerule.h"
#include "globals.h"
#include "resstatisticsdatabase.h"
#include "statisticsarchive.h"
#include "statisticsconfigfile.h"
#include "statisticsjson.h"
#include "systemactions.h"

using namespace stats;

namespace {

const QString kTime = QStringLiteral("time");
const QString kMorningsStart = QStringLiteral("morningsStart");
const QString kMorningsEnd = QStringLiteral("morningsEnd");
const QString kNightStart = QStringLiteral("nightStart");
const QString kNightEnd = QStringLiteral("nightEnd");

// Shown when the running database cannot be opened and the language table lacks the text.
const char kDatabaseErrorFallback[] =
    "Res statistics file error, please \r\n restore parameter group \r\n or contact supplier";

qint64 nowSecs() {
    return sys::actions().now().toSecsSinceEpoch();
}

qint64 morningStartOf(const QDate& date, int hour) {
    return QDateTime(date, QTime(qBound(0, hour, kHourSlots - 1), 0, 0)).toSecsSinceEpoch();
}

void completeHost(StatisticsHost& host) {
    if (!host.detectMode) host.detectMode = [] { return 0; };
    if (!host.useStatistics) host.useStatistics = [] { return true; };
    if (!host.currentGroupName)
        host.currentGroupName = [] { return QString::fromLatin1(kDefaultGroupName); };
    if (!host.showWarning)
        host.showWarning = [](const QString& text) { qCritical().noquote() << text; };
    if (!host.storeWritten) host.storeWritten = [](bool) {};
    if (host.archiveDir.isEmpty()) host.archiveDir = QString::fromLatin1(kDefaultArchiveDir);
}

}  // namespace

ResStatisticsParam::ResStatisticsParam(const StatisticsHost& host, QObject* parent)
    : QObject(parent),
      morningsStart(kDefaultMorningStart),
      morningsEnd(kDefaultMorningEnd),
      nightStart(kDefaultNightStart),
      nightEnd(kDefaultNightEnd),
      host_(host) {
    completeHost(host_);
    laodConfig();

    thread_ = new QThread();
    thread_->setObjectName(QStringLiteral("statistics store"));
    database_ = new ResStatisticsDatabase(this);
    database_->setArchiveDir(host_.archiveDir);
    if (database_->refusedByDisk()) {
        // Not a damaged file: the disk takes no new one. Told with the other files that cannot
        // be written; counting goes on in memory and is saved once there is room.
        qCritical() << "statistics: the running database cannot be made on this disk";
        host_.storeWritten(false);
    } else if (!database_->isUsable() || database_->replacedDamagedFile()) {
        QString text = lan(kLanDatabaseError);
        if (text.isEmpty()) text = QString::fromLatin1(kDatabaseErrorFallback);
        if (!database_->isUsable())
            qCritical() << "statistics: the running database cannot be opened or made";
        host_.showWarning(text);
        // Only a usable new database makes a restart worth it; without one the restart would
        // end in the same failure, so counting goes on in memory.
        if (database_->isUsable()) sys::actions().run(QStringLiteral("reboot"), {});
    }

    QJsonObject json;
    database_->loadCountFromJson(QString::fromLatin1(kRunningDbFile), json);
    adoptLoadedDay(json);
    checkCameraDetectCount(gDNum);
    clcCount(curCount_);
    curGroupName = curCount_.groups.isEmpty() ? QString() : curCount_.groups.first().groupName;

    database_->moveToThread(thread_);
    connect(this, &ResStatisticsParam::sigUpdateRecord, database_,
            &ResStatisticsDatabase::slotUpdateRecord);
    connect(this, &ResStatisticsParam::sigSaveRecord, database_,
            &ResStatisticsDatabase::slotSaveRecord);
    connect(database_, &ResStatisticsDatabase::sigLoadFinish, this,
            &ResStatisticsParam::slotRecvRecord);
    connect(database_, &ResStatisticsDatabase::sigDayArchived, this,
            &ResStatisticsParam::onDayArchived);
    connect(database_, &ResStatisticsDatabase::sigSaveFinished, this,
            [this](bool stored) { host_.storeWritten(stored); });
    thread_->start();

    for (int i = 0; i < kMaxStatCameras; ++i) cameraCycleOk_.append(true);

    timer_ = new QTimer(this);
    timer_->setInterval(kSaveIntervalMs);
    connect(timer_, &QTimer::timeout, this, &ResStatisticsParam::checkDate);
}

ResStatisticsParam::~ResStatisticsParam() {
    timer_->stop();
    // Saves already asked for are finished first (the store's queue is worked in order); a
    // store that did not answer the stop's save is not waited for a second time.
    if (stopSaveOutstanding()) {
        qWarning() << "statistics: the store has not answered the save before the stop; it is "
                      "left behind";
        leaveStoreBehind();
        return;
    }
    if (!waitForStore(kStopSaveWaitMs)) {
        qWarning() << "statistics: the store did not finish within" << kStopSaveWaitMs
                   << "ms; it is left behind";
        leaveStoreBehind();
        return;
    }
    thread_->quit();
    thread_->wait();
    delete database_;
    delete thread_;
}

void ResStatisticsParam::leaveStoreBehind() {
    // Destroying a thread that still runs would abort the process. The store works off what
    // it was asked once it is free again, then goes with its thread; it keeps nothing of this
    // model to reach meanwhile.
    database_->forgetOwner();
    QThread* thread = thread_;
    connect(thread, &QThread::finished, database_, &QObject::deleteLater);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    QMetaObject::invokeMethod(
        database_, [thread] { thread->quit(); }, Qt::QueuedConnection);
    database_ = nullptr;
    thread_ = nullptr;
}

std::shared_ptr<QSemaphore> ResStatisticsParam::askStoreToAnswer() {
    auto answered = std::make_shared<QSemaphore>();
    if (!thread_->isRunning()) {
        answered->release();
        return answered;
    }
    // Queued behind every request already sent: it runs once they are all worked off.
    QMetaObject::invokeMethod(
        database_, [answered] { answered->release(); }, Qt::QueuedConnection);
    return answered;
}

bool ResStatisticsParam::waitForStore(int waitMs) {
    return askStoreToAnswer()->tryAcquire(1, waitMs);
}

bool ResStatisticsParam::stopSaveOutstanding() const {
    return unansweredStopSave_ && unansweredStopSave_->available() == 0;
}

bool ResStatisticsParam::saveBeforeStop(int waitMs) {
    if (!host_.useStatistics()) return true;
    // The store reports every save; the last report before the wait ends is this save's.
    auto stored = std::make_shared<std::atomic<bool>>(false);
    const QMetaObject::Connection seen = connect(
        database_, &ResStatisticsDatabase::sigSaveFinished, database_,
        [stored](bool ok) { stored->store(ok); }, Qt::DirectConnection);
    clcCount(curCount_);
    emit sigSaveRecord(getCurDBDate(), StuCountToJson(curCount_), false);
    const std::shared_ptr<QSemaphore> answered = askStoreToAnswer();
    const bool inTime = answered->tryAcquire(1, waitMs);
    disconnect(seen);
    unansweredStopSave_ = inTime ? nullptr : answered;
    if (!inTime) {
        qWarning() << "statistics: the running day was not saved within" << waitMs
                   << "ms before the stop";
        return false;
    }
    if (!stored->load()) {
        qWarning() << "statistics: the running day could not be saved before the stop";
        return false;
    }
    qInfo() << "statistics: the running day is saved before the stop";
    return true;
}

// The running database may still hold a day that never reached its archive (power lost
// during a day change, or an archive that failed before a restart): such a day is archived
// under its own date now, and counting goes on in a new day.
void ResStatisticsParam::adoptLoadedDay(const QJsonObject& json) {
    StuCountFromJson(curCount_, json);
    const QString runningDate = getCurDBDate();
    if (isDayDate(curCount_.date) && curCount_.date != runningDate) {
        qWarning() << "statistics: the running database holds the day" << curCount_.date
                   << "instead of" << runningDate << "- archiving it";
        database_->queueArchive(curCount_.date, json);
        database_->flushPendingArchives();
        curCount_ = newDay(runningDate, currentGroupName(), numCamera, gDNum);
        return;
    }
    if (curCount_.date.isEmpty()) curCount_.date = runningDate;
    padSlots(curCount_);
}

QString ResStatisticsParam::currentGroupName() const {
    return host_.currentGroupName();
}

void ResStatisticsParam::setTimer(bool on) {
    if (on)
        timer_->start(kSaveIntervalMs);
    else
        timer_->stop();
}

bool ResStatisticsParam::isTimerActive() const {
    return timer_->isActive();
}

// --- counting ---

int ResStatisticsParam::currentSlot() const {
    const qint64 elapsed = nowSecs() - dayStartTime_;
    // Before the day start (first start before the morning hour, clock set back): last slot.
    if (elapsed < 0) return kHourSlots - 1;
    return static_cast<int>(qMin<qint64>(elapsed / kSecondsPerHour, kHourSlots - 1));
}

int ResStatisticsParam::groupIndexFor(const QString& name) {
    for (int i = 0; i < curCount_.groups.size(); ++i)
        if (curCount_.groups.at(i).groupName == name) return i;
    CountGroup group;
    group.morningStart = kDefaultMorningStart;
    group.nightStart = kDefaultNightStart;
    initStuCountGroup(group, name);
    curCount_.groups.append(group);
    return curCount_.groups.size() - 1;
}

void ResStatisticsParam::addRecord(int stage, int hour, QList<bool> cameraOk, QString groupName,
                                   bool afterCycleEnd) {
    Q_UNUSED(hour)
    if (stage < 0 || stage >= kMaxStages) {
        qWarning() << "statistics: result of stage" << stage << "not counted";
        return;
    }
    CountGroup& group = curCount_.groups[groupIndexFor(groupName)];
    // A group made while fewer stages were configured gets records for this stage.
    growStages(group, stage + 1);
    const int slot = currentSlot();

    bool groupStageOk = true;
    const int counted = qMin(cameraOk.size(), group.cameras.size());
    for (int i = 0; i < counted; ++i) {
        const bool ok = cameraOk.at(i);
        countResult(group.cameras[i].detects[stage], slot, ok);
        groupStageOk = groupStageOk && ok;
        if (afterCycleEnd) continue;
        if (i < cameraCycleOk_.size()) cameraCycleOk_[i] = cameraCycleOk_.at(i) && ok;
    }
    countResult(group.summary.detects[stage], slot, groupStageOk);
    if (afterCycleEnd) {
        // The cycle was counted at its end already: a failure now turns it from OK to NG
        // there, and the next cycle starts clean.
        failEndedCycle(group, groupName, cameraOk.mid(0, counted), groupStageOk);
    } else {
        cycleOk_ = cycleOk_ && groupStageOk;
    }

    if (!afterCycleEnd && isCycleEnd(host_.detectMode(), stage, gDNum)) {
        const int cameras = qMin(group.cameras.size(), cameraCycleOk_.size());
        lastEnded_ = EndedCycle{true, groupName, slot, {}, cycleOk_};
        for (int i = 0; i < cameras; ++i) {
            countResult(group.cameras[i].summary, slot, cameraCycleOk_.at(i));
            lastEnded_.cameraOk.append(cameraCycleOk_.at(i));
            cameraCycleOk_[i] = true;
        }
        countResult(group.summary.summary, slot, cycleOk_);
        cycleOk_ = true;
    }
    clcCount(group);
    if (showingRunningDay_) showCount_ = curCount_;
    emit sigRecordCounted();
}

namespace {

// One cycle counted as passed in the slot is counted as failed instead.
void moveToFailed(CountDetect& record, int slot) {
    if (slot < 0 || slot >= record.OK.size() || slot >= record.NG.size() || record.OK.at(slot) <= 0)
        return;
    --record.OK[slot];
    ++record.NG[slot];
}

}  // namespace

void ResStatisticsParam::failEndedCycle(CountGroup& group, const QString& groupName,
                                        const QList<bool>& cameraOk, bool stageOk) {
    // A day begun or a group changed since that end: the cycle is not in this record.
    if (!lastEnded_.valid || lastEnded_.groupName != groupName) return;
    const int cameras =
        qMin(qMin(cameraOk.size(), lastEnded_.cameraOk.size()), group.cameras.size());
    for (int i = 0; i < cameras; ++i) {
        if (cameraOk.at(i) || !lastEnded_.cameraOk.at(i)) continue;
        moveToFailed(group.cameras[i].summary, lastEnded_.slot);
        lastEnded_.cameraOk[i] = false;
    }
    if (!stageOk && lastEnded_.ok) {
        moveToFailed(group.summary.summary, lastEnded_.slot);
        lastEnded_.ok = false;
    }
}

void ResStatisticsParam::checkCameraDetectCount(int n) {
    const QString name = currentGroupName();
    for (CountGroup& group : curCount_.groups)
        if (group.groupName == name) growStages(group, n);
}

void ResStatisticsParam::setCurGroup() {
    const QString name = currentGroupName();
    for (CountGroup& group : curCount_.groups) {
        if (group.groupName == name) {
            group.morningStart = morningsStart;
            group.nightStart = nightStart;
            return;
        }
    }
}

// --- the day ---

void ResStatisticsParam::checkDate() {
    if (!host_.useStatistics()) return;
    // Signed: while the day start still lies ahead the day is not over.
    const qint64 elapsed = nowSecs() - dayStartTime_;
    clcCount(curCount_);
    const bool dayOver = elapsed >= kSecondsPerDay;
    emit sigSaveRecord(getCurDBDate(), StuCountToJson(curCount_), dayOver);
    if (dayOver) beginNewDay();
}

void ResStatisticsParam::beginNewDay() {
    const qint64 previousStart = dayStartTime_;
    const QDate previousDate = QDateTime::fromSecsSinceEpoch(previousStart).date();
    createNewTime();
    // Never begin the same day again (a day start hour of 0 on a 25-hour day).
    if (dayStartTime_ <= previousStart)
        dayStartTime_ = morningStartOf(previousDate.addDays(1), morningsStart);
    saveConfig();
    curCount_ = newDay(getCurDBDate(), currentGroupName(), numCamera, gDNum);
    lastEnded_ = EndedCycle{};
    clcCount(curCount_);
    if (showingRunningDay_) showCount_ = curCount_;
}

void ResStatisticsParam::onDayArchived(const QString& path) {
    qInfo() << "statistics: day archived as" << path;
    emit sigDayArchived(path);
}

// --- the shown day ---

void ResStatisticsParam::slotUpdateRecord(int row, QString dbFile) {
    showingRunningDay_ = row == 0;
    if (row == 0) {
        showCount_ = curCount_;
        clcCount(showCount_);
        emit sigLoadFinish(true);
        return;
    }
    emit sigUpdateRecord(dbFile);
}

void ResStatisticsParam::slotRecvRecord(QJsonObject json, bool ok) {
    // An archived day asked for before the running day was chosen again arrives late; showing
    // it would put an old day's counts under the running day's row.
    if (showingRunningDay_) return;
    if (ok)
        StuCountFromJson(showCount_, json);
    else
        initStuCount(showCount_);
    clcCount(showCount_);
    emit sigLoadFinish(ok);
}

QStringList ResStatisticsParam::getGroups() const {
    QStringList names;
    for (const CountGroup& group : showCount_.groups) names.append(group.groupName);
    return names;
}

CountGroup ResStatisticsParam::getGoupFromName(const QString& name) const {
    for (const CountGroup& group : showCount_.groups)
        if (group.groupName == name) return group;
    CountGroup missing;
    missing.morningStart = kDefaultMorningStart;
    missing.nightStart = kDefaultNightStart;
    missing.groupName = QString::fromLatin1(kMissingGroupName);
    return missing;
}

const CountDetect* ResStatisticsParam::selectRecord(int camera, int detect,
                                                    QString* groupName) const {
    const CountGroup* group = nullptr;
    for (const CountGroup& candidate : showCount_.groups) {
        if (candidate.groupName == curGroupName) {
            group = &candidate;
            break;
        }
    }
    if (!group || group->groupName == QLatin1String(kMissingGroupName)) return nullptr;
    if (groupName) *groupName = group->groupName;
    const CountCamera* cameraRecord = nullptr;
    if (camera == kSummaryIndex)
        cameraRecord = &group->summary;
    else if (camera >= 0 && camera < group->cameras.size())
        cameraRecord = &group->cameras.at(camera);
    if (!cameraRecord) return nullptr;
    if (detect == kSummaryIndex) return &cameraRecord->summary;
    if (detect >= 0 && detect < cameraRecord->detects.size())
        return &cameraRecord->detects.at(detect);
    return nullptr;
}

int ResStatisticsParam::getCount(ShiftType type, bool ok, int camera, int detect) const {
    const CountDetect* record = selectRecord(camera, detect, nullptr);
    if (!record) return 0;
    switch (type) {
        case SHIFT_MORNING:
            return ok ? record->morning.OK : record->morning.NG;
        case SHIFT_NIGHT:
            return ok ? record->night.OK : record->night.NG;
        case SHIFT_ALLDAY:
            return ok ? record->all.OK : record->all.NG;
    }
    return 0;
}

QList<int> ResStatisticsParam::getRes(ShiftType type, bool ok, int camera, int detect) const {
    const CountDetect* record = selectRecord(camera, detect, nullptr);
    if (!record) return {};
    const QList<int>& slotCounts = ok ? record->OK : record->NG;
    switch (type) {
        case SHIFT_MORNING: {
            const int count = morningSlotCount(morningsStart, morningsEnd);
            return count > 0 ? slotCounts.mid(0, count) : QList<int>();
        }
        case SHIFT_NIGHT: {
            const int first = (nightStart + kHourSlots - morningsStart) % kHourSlots;
            const int count = (nightEnd + kHourSlots - nightStart) % kHourSlots;
            if (first < 0 || count <= 0) return {};
            return slotCounts.mid(first, count);
        }
        case SHIFT_ALLDAY:
            return slotCounts.mid(0, kHourSlots);
    }
    return {};
}

QList<int> ResStatisticsParam::getShiftTimeList(ShiftType type) const {
    QList<int> hours;
    int start = 0;
    int end = 0;
    switch (type) {
        case SHIFT_ALLDAY:
            for (int h = 0; h < kHourSlots; ++h) hours.append(h);
            return hours;
        case SHIFT_MORNING:
            start = morningsStart;
            end = morningsEnd;
            break;
        case SHIFT_NIGHT:
            start = nightStart;
            end = nightEnd;
            break;
        default:
            return hours;
    }
    if (end <= start) end += kHourSlots;
    if (end <= start) return hours;
    for (int h = start; h < end; ++h) hours.append(h % kHourSlots);
    return hours;
}

// --- sums and builders ---

void ResStatisticsParam::clcCount(CountDetect& record) const {
    computeSums(record, morningSlotCount(morningsStart, morningsEnd));
}
void ResStatisticsParam::clcCount(CountCamera& camera) const {
    computeSums(camera, morningSlotCount(morningsStart, morningsEnd));
}
void ResStatisticsParam::clcCount(CountGroup& group) const {
    computeSums(group, morningSlotCount(morningsStart, morningsEnd));
}
void ResStatisticsParam::clcCount(CountGroupList& day) const {
    computeSums(day, morningSlotCount(morningsStart, morningsEnd));
}

void ResStatisticsParam::initStuStatisticsCount(sCount& count) {
    count = sCount();
}

void ResStatisticsParam::initStuCountDetect(CountDetect& record) {
    record = newDetect();
}

void ResStatisticsParam::initStuCountCamera(CountCamera& camera) {
    camera = newCamera(gDNum);
}

void ResStatisticsParam::initStuCountGroup(CountGroup& group, const QString& name) {
    fillGroup(group, name, numCamera, gDNum);
}

void ResStatisticsParam::initStuCount(CountGroupList& day) const {
    day = newDay(getCurDBDate(), QString::fromLatin1(kDefaultGroupName), numCamera, gDNum);
}

// --- day document ---

QJsonObject ResStatisticsParam::StuCountToJson(const CountGroupList& day) {
    return dayToJson(day, gDNum);
}
QJsonObject ResStatisticsParam::StuCountGroupToJson(const CountGroup& group) {
    return groupToJson(group, gDNum);
}
QJsonObject ResStatisticsParam::StuCountCameraToJson(const CountCamera& camera, int cameraID,
                                                     int& detectCount) {
    return cameraToJson(camera, cameraID, detectCount);
}
QJsonObject ResStatisticsParam::StuCountDetectToJson(const CountDetect& record, int detectID) {
    return detectToJson(record, detectID);
}
void ResStatisticsParam::StuCountFromJson(CountGroupList& day, const QJsonObject& json) {
    dayFromJson(day, json);
}
void ResStatisticsParam::StuCountGroupFromJson(CountGroup& group, const QJsonObject& json) {
    groupFromJson(group, json);
}
void ResStatisticsParam::StuCountCameraFromJson(CountCamera& camera, const QJsonObject& json) {
    cameraFromJson(camera, json);
}
void ResStatisticsParam::StuCountDetectFromJson(CountDetect& record, const QJsonObject& json) {
    detectFromJson(record, json);
}

// --- configuration ---

void ResStatisticsParam::laodConfig() {
    const QString path = QString::fromLatin1(kConfigFile);
    QJsonObject json;
    QString error;
    switch (readJsonObjectFile(path, json, &error)) {
        case ReadResult::Missing:
            createNewTime();
            saveConfig();
            return;
        case ReadResult::Unparsable:
            qWarning().noquote() << "laodConfig fail, Error parsing JSON:" << error;
            createNewTime();
            saveConfig();
            return;
        case ReadResult::Ok:
            laodConfigFromJson(json);
            break;
    }
    if (dayStartTime_ <= 0) {
        qWarning() << "statistics: no day start in" << path << "- a new day begins";
        createNewTime();
        saveConfig();
    }
}

void ResStatisticsParam::laodConfigFromJson(const QJsonObject& json) {
    if (json.contains(kTime)) dayStartTime_ = dayStartFromJson(json.value(kTime));
    morningsStart = shiftHourFromJson(json, kMorningsStart);
    morningsEnd = shiftHourFromJson(json, kMorningsEnd);
    nightStart = shiftHourFromJson(json, kNightStart);
    nightEnd = shiftHourFromJson(json, kNightEnd);
}

void ResStatisticsParam::saveConfig() {
    QJsonObject json;
    json.insert(kTime, QString::number(dayStartTime_));
    json.insert(kMorningsStart, morningsStart);
    json.insert(kMorningsEnd, morningsEnd);
    json.insert(kNightStart, nightStart);
    json.insert(kNightEnd, nightEnd);
    writeJsonObjectFile(QString::fromLatin1(kConfigFile), json);
}

bool ResStatisticsParam::checkParam(QJsonObject& json) const {
    json.insert(kTime, QString::number(dayStartTime_));
    return json.value(kMorningsStart).toInt() != morningsStart ||
           json.value(kMorningsEnd).toInt() != morningsEnd ||
           json.value(kNightStart).toInt() != nightStart ||
           json.value(kNightEnd).toInt() != nightEnd;
}

void ResStatisticsParam::createNewTime() {
    dayStartTime_ = morningStartOf(sys::actions().now().date(), morningsStart);
}

QString ResStatisticsParam::getCurDBDate() const {
    return QDateTime::fromSecsSinceEpoch(dayStartTime_).toString(QString::fromLatin1(kDateFormat));
}

void ResStatisticsParam::readTime() {
    QFile file(QString::fromLatin1(kDayStartFile));
    if (file.open(QIODevice::ReadOnly)) {
        dayStartTime_ = dayStartFromText(QString::fromLatin1(file.readAll()));
        return;
    }
    createNewTime();
    writeTextFile(file.fileName(), QByteArray::number(dayStartTime_));
}
