#pragma once
// Shared helpers of the statistics tests: a working folder with the fake clock, the counts
// in force, a model factory and readers of what the store wrote.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QJsonObject>
#include <QStringList>
#include <memory>

#include "globals.h"
#include "resstatisticsdatabase.h"
#include "resstatisticsparam.h"
#include "testsupport.h"

namespace statstest {

inline QDateTime at(int year, int month, int day, int hour, int minute = 0, int second = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}
inline void setNow(const QDateTime& when) {
    testsupport::recorder().setNow(when);
}

// Runs statements on a database file (made when missing).
void execSql(const QString& file, const QStringList& statements);
// The document stored in a statistics database file (empty when there is none).
QString storedText(const QString& file);
QJsonObject storedDay(const QString& file);
// Replaces the stored document text directly (to see whether the store writes it again).
void overwriteStoredText(const QString& file, const QString& text);
// OK count of the first group, camera 0, stage 0 at a slot, in a day document.
int storedOk(const QJsonObject& day, int slot);
// "OK/NG" day totals of a record, for compact exact comparisons.
QString totals(const CountDetect& record);
// Totals of every stage record, then the whole-cycle record, of a camera (or group) record.
QStringList totals(const CountCamera& camera);
// The shift configuration file.
QJsonObject readConfig();
// Files of the archive directory, by name.
QStringList archiveNames();

// Working folder, fake clock and camera/stage counts for one test; restores the globals.
class StatsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void useCounts(int cameras, int stages) {
        numCamera = cameras;
        gDNum = stages;
    }
    // Drops the model and moves to a new empty working folder.
    void freshWorkDir();
    // A model made in the working folder; what its store reports lands in saves/archived.
    ResStatisticsParam& makeModel(int detectMode = 3);
    void dropModel() { model.reset(); }
    // checkDate, then waits until the store has answered; returns the store's answer.
    bool checkDateAndWait();
    // Whole OK results of stage 0 on both cameras of the default group.
    void countOk(int times = 1) {
        for (int i = 0; i < times; ++i) model->addRecord(0, 0, {true, true}, "default");
    }
    int runningOk(int slot) const {
        return model->currentDay().groups[0].cameras[0].detects[0].OK.at(slot);
    }

    std::unique_ptr<testsupport::WorkDir> work;
    std::unique_ptr<ResStatisticsParam> model;
    QList<bool> saves;
    QStringList archived;
    StatisticsHost host;
    int detectMode = 3;
    QString groupName = QStringLiteral("default");
    bool useStatistics = true;
    QStringList warnings;

private:
    int savedCameras_ = 0;
    int savedStages_ = 0;
};

}  // namespace statstest
