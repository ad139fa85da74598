#pragma once
// Shared helpers of the statistics tests: a working folder with the fake clock, the counts
// in force, a model factory and readers of what the store wrote.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QStringList>
#include <memory>

#include "resstatisticsdatabase.h"
#include "resstatisticsparam.h"
#include "testsupport.h"

namespace statstest {

QDateTime at(int year, int month, int day, int hour, int minute = 0, int second = 0);
void setNow(const QDateTime& when);

// The document stored in a statistics database file (empty when there is none).
QJsonObject storedDay(const QString& file);
QString storedText(const QString& file);
// Replaces the stored document text directly (to see whether the store writes it again).
void overwriteStoredText(const QString& file, const QString& text);
// Files of the archive directory, by name.
QStringList archiveNames();

// Collects the warnings logged while it lives (from any thread).
class WarningCapture {
public:
    WarningCapture();
    ~WarningCapture();
    QStringList messages() const;
    bool contains(const QString& part) const;
};

// Collects what the store reports, on the test's thread.
class StoreWatcher : public QObject {
public:
    explicit StoreWatcher(ResStatisticsParam& model);
    QList<bool> saves;
    QStringList archived;
};

// Working folder, fake clock and camera/stage counts for one test; restores the globals.
class StatsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void useCounts(int cameras, int stages);
    // Drops the model and moves to a new empty working folder.
    void freshWorkDir();
    // A model (and a watcher of its store) made in the working folder.
    ResStatisticsParam& makeModel(int detectMode = 3);
    void dropModel();
    // checkDate, then waits until the store has answered; returns the store's answer.
    bool checkDateAndWait();

    std::unique_ptr<testsupport::WorkDir> work;
    std::unique_ptr<ResStatisticsParam> model;
    std::unique_ptr<StoreWatcher> watcher;
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
