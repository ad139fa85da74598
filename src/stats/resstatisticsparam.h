#pragma once
// The statistics model: counts every inspection result of the running production day per
// parameter group, camera, detection stage and hour slot, answers the statistics screens'
// questions per shift, hands the day to the store every minute and begins a new day when a
// day has passed. Lives in the GUI thread; the store runs on a worker thread of its own.

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "statisticsmetatypes.h"
#include "statisticsrecords.h"

class QSemaphore;
class QThread;
class QTimer;
class ResStatisticsDatabase;

// What the model needs of the running application. Empty functions take the defaults.
struct StatisticsHost {
    std::function<int()> detectMode;            // system function in force (default 0)
    std::function<bool()> useStatistics;        // statistics kept (default true)
    std::function<QString()> currentGroupName;  // current parameter group (default "default")
    // Shows a warning and waits until the operator closes it (default: a critical log line).
    std::function<void(const QString&)> showWarning;
    // Told after every save of the running day whether it reached the database (GUI thread).
    std::function<void(bool)> storeWritten;
    // Directory of the archived days, the main window's statistics directory.
    QString archiveDir = QString::fromLatin1(stats::kDefaultArchiveDir);
};

class ResStatisticsParam : public QObject {
    Q_OBJECT
public:
    // Reads the shift configuration, loads the running day from the store (archiving it first
    // when it belongs to an earlier day) and starts the store's thread. The save timer is not
    // started; see setTimer.
    explicit ResStatisticsParam(const StatisticsHost& host = StatisticsHost(),
                                QObject* parent = nullptr);
    // Lets the store finish the saves already asked for, then stops its thread and waits for
    // it before deleting it. A store that does not answer in time (or did not answer the save
    // before the stop) is left to finish and delete itself with its thread.
    ~ResStatisticsParam() override;

    // Hands the running day to the store as the minute check does, without beginning a new day
    // (the next start archives a finished day itself, and an export may be reading the running
    // database), and waits up to waitMs for the store. False when the day did not reach the
    // store's database in that time.
    bool saveBeforeStop(int waitMs);
    // The store has not yet worked off the last save before a stop that it did not answer in
    // time: it hangs (a disk that does not answer), and waiting for it again is in vain.
    bool stopSaveOutstanding() const;

    // Starts (on) or stops the minute check that saves the day and rolls it over.
    void setTimer(bool on);
    bool isTimerActive() const;

    // Grows the detection lists of the current parameter group's records to n (never shrinks).
    void checkCameraDetectCount(int n);
    // Copies the shift starts into the running day's record of the current parameter group.
    void setCurGroup();

    // --- questions of the statistics screens, on the shown day ---
    QStringList getGroups() const;
    CountGroup getGoupFromName(const QString& name) const;
    // camera 8 selects the group record, detect 8 a camera's whole-cycle record.
    int getCount(ShiftType type, bool ok, int camera, int detect) const;
    QList<int> getRes(ShiftType type, bool ok, int camera, int detect) const;
    QList<int> getShiftTimeList(ShiftType type) const;

    // --- shift sums (from the model's morning shift hours) ---
    void clcCount(CountDetect& record) const;
    void clcCount(CountCamera& camera) const;
    void clcCount(CountGroup& group) const;
    void clcCount(CountGroupList& day) const;

    // --- record builders (sizes from the detection-step and camera counts in force) ---
    static void initStuStatisticsCount(sCount& count);
    static void initStuCountDetect(CountDetect& record);
    static void initStuCountCamera(CountCamera& camera);
    static void initStuCountGroup(CountGroup& group, const QString& name);
    void initStuCount(CountGroupList& day) const;

    // --- day document ---
    static QJsonObject StuCountToJson(const CountGroupList& day);
    static QJsonObject StuCountGroupToJson(const CountGroup& group);
    static QJsonObject StuCountCameraToJson(const CountCamera& camera, int cameraID,
                                            int& detectCount);
    static QJsonObject StuCountDetectToJson(const CountDetect& record, int detectID);
    static void StuCountFromJson(CountGroupList& day, const QJsonObject& json);
    static void StuCountGroupFromJson(CountGroup& group, const QJsonObject& json);
    static void StuCountCameraFromJson(CountCamera& camera, const QJsonObject& json);
    static void StuCountDetectFromJson(CountDetect& record, const QJsonObject& json);

    // --- shift configuration "resstatistics.json" and the day start ---
    void laodConfig();
    void laodConfigFromJson(const QJsonObject& json);
    void saveConfig();
    // Sets json["time"] to the day start; true when one of the four shift hours differs.
    bool checkParam(QJsonObject& json) const;
    // The day start := today at the morning start hour.
    void createNewTime();
    // Date of the running day, "yyyy-MM-dd".
    QString getCurDBDate() const;
    void readTime();

    // --- state ---
    qint64 dayStart() const { return dayStartTime_; }
    const CountGroupList& currentDay() const { return curCount_; }
    const CountGroupList& shownDay() const { return showCount_; }
    QString currentGroupName() const;
    // The system function in force (it names the detection steps on the screens).
    int detectMode() const { return host_.detectMode(); }
    QString archiveDir() const { return host_.archiveDir; }
    // The store; it lives on its own thread, reach it only through signals.
    ResStatisticsDatabase* store() const { return database_; }

    // Shift hours (clock hours 0..23), read and set by the statistics screen.
    int morningsStart;
    int morningsEnd;
    int nightStart;
    int nightEnd;
    // The group shown on the statistics screen.
    QString curGroupName;

signals:
    void sigUpdateRecord(QString dbFile);
    void sigLoadFinish(bool ok);
    void sigSaveRecord(QString curDate, QJsonObject json, bool isMove);
    // A stage result was counted (the shown day has it already when it is the running day).
    void sigRecordCounted();
    // A finished day now lies in the archive directory under this path.
    void sigDayArchived(QString archivePath);

public slots:
    // Counts the result of one detection stage; hour is not used (the slot comes from the
    // clock and the day start). afterCycleEnd: the stage belongs to the cycle whose end was
    // counted last (semi-automatic: the product step judged after the mould step); its
    // failure fails that cycle, not the next one.
    void addRecord(int stage, int hour, QList<bool> cameraOk, QString groupName,
                   bool afterCycleEnd = false);
    // Row 0 shows the running day; any other row loads dbFile through the store.
    void slotUpdateRecord(int row, QString dbFile);
    void slotRecvRecord(QJsonObject json, bool ok);
    // Saves the running day and, once a whole day has passed since its start, begins a new one.
    void checkDate();

private:
    void adoptLoadedDay(const QJsonObject& json);
    // Released once the store has worked off every request already sent to it.
    std::shared_ptr<QSemaphore> askStoreToAnswer();
    // Waits up to waitMs until the store has worked off every request already sent to it.
    bool waitForStore(int waitMs);
    void leaveStoreBehind();
    void beginNewDay();
    int currentSlot() const;
    int groupIndexFor(const QString& name);
    // A failure of a stage judged after the end of the cycle last counted fails that cycle.
    void failEndedCycle(CountGroup& group, const QString& groupName, const QList<bool>& cameraOk,
                        bool stageOk);
    const CountDetect* selectRecord(int camera, int detect, QString* groupName) const;
    void onDayArchived(const QString& path);

    StatisticsHost host_;
    ResStatisticsDatabase* database_ = nullptr;
    QThread* thread_ = nullptr;
    QTimer* timer_ = nullptr;
    // The answer the store still owes to a save before a stop that it did not answer in time.
    std::shared_ptr<QSemaphore> unansweredStopSave_;
    qint64 dayStartTime_ = 0;  // seconds since 1970
    CountGroupList curCount_;
    CountGroupList showCount_;
    QList<bool> cameraCycleOk_;
    bool cycleOk_ = true;
    // The cycle the last end counted, where a stage judged after its end is added.
    struct EndedCycle {
        bool valid = false;
        QString groupName;
        int slot = -1;
        QList<bool> cameraOk;
        bool ok = true;
    };
    EndedCycle lastEnded_;
    // The screen shows the running day: counted records reach the shown day at once.
    bool showingRunningDay_ = false;
};
