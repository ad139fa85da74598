// The statistics screen's frame and the connections the main window makes to it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QSignalSpy>

#include "globals.h"
#include "statisticsdaylist.h"
#include "statisticswidget.h"
#include "statstestutil.h"

using namespace statstest;

namespace {

// Stands in for the main window's result signal, connected by name as the main window does.
class ResultSource : public QObject {
    Q_OBJECT
signals:
    void sendRecord(int stage, int hour, QList<bool> cameraOk, QString groupName);
};

class ScreenTest : public StatsTest {
protected:
    StatisticsWidget* makeScreen() {
        gpResStatisticsParam = &makeModel();
        StatisticsWidget* screen = StatisticsWidget::getInstance(nullptr);
        EXPECT_EQ(StatisticsWidget::getInstance(nullptr), screen);
        EXPECT_TRUE(QObject::connect(screen, &StatisticsWidget::sigUpdateRecord, model.get(),
                                     &ResStatisticsParam::slotUpdateRecord));
        EXPECT_TRUE(QObject::connect(model.get(), &ResStatisticsParam::sigLoadFinish, screen,
                                     &StatisticsWidget::slotUpdateRecord));
        return screen;
    }
    void TearDown() override {
        delete StatisticsWidget::instance;
        gpResStatisticsParam = nullptr;
        StatsTest::TearDown();
    }
};

TEST_F(ScreenTest, TheRunningDayFollowsResultsAndAnArchivedDayIsLoadedThroughTheStore) {
    StatisticsWidget* screen = makeScreen();
    ResultSource source;
    ASSERT_TRUE(QObject::connect(&source, SIGNAL(sendRecord(int, int, QList<bool>, QString)),
                                 model.get(), SLOT(addRecord(int, int, QList<bool>, QString))));
    screen->updateList();
    ASSERT_EQ(screen->dayList()->count(), 1);
    EXPECT_EQ(model->curGroupName, "default");
    // Counted cycles reach the shown running day at once.
    for (int stage = 0; stage < 3; ++stage)
        emit source.sendRecord(stage, 9, {true, false}, "default");
    EXPECT_TRUE(screen->totalsText().contains("NG 1"));
    for (int stage = 0; stage < 3; ++stage) emit source.sendRecord(stage, 9, {false, true}, "A");

    QDir().mkpath("ResStatistics/2024-01-04.db");  // a directory is listed like a file
    for (const char* name : {"2024-01-03.db", "notes.txt"})
        QFile(QString("ResStatistics/") + name).open(QIODevice::WriteOnly);
    setNow(at(2024, 5, 2, 8, 5));
    EXPECT_TRUE(checkDateAndWait());
    // The archive refreshed the day list (running day first, then the archives, newest
    // first) and the screen shows the new running day.
    ASSERT_TRUE(testsupport::waitFor([&] { return screen->dayList()->count() == 4; }));
    QStringList days;
    for (int row = 0; row < screen->dayList()->count(); ++row)
        days << screen->dayList()->item(row)->text();
    EXPECT_EQ(days, QStringList({"2024-05-02", "2024-05-01", "2024-01-04", "2024-01-03"}));
    EXPECT_TRUE(screen->totalsText().contains("OK 0  NG 0"));

    QSignalSpy shown(model.get(), &ResStatisticsParam::sigLoadFinish);
    screen->dayList()->setCurrentRow(1);
    screen->UpdateRecord(screen->dayList()->item(1));
    ASSERT_TRUE(testsupport::waitFor([&] { return shown.count() == 1; }));
    EXPECT_TRUE(shown.at(0).at(0).toBool());
    EXPECT_EQ(model->getGroups(), QStringList({"default", "A"}));
    model->curGroupName = "A";
    EXPECT_EQ(model->getCount(SHIFT_ALLDAY, false, 8, 8), 1);

    // While an archived day is on view, new results leave it alone.
    model->addRecord(0, 9, {true, true}, "A");
    EXPECT_EQ(model->getCount(SHIFT_ALLDAY, true, 0, 0), 0);

    // A day that cannot be read is shown as an empty "default" day.
    model->slotUpdateRecord(2, stats::dayFilePath("ResStatistics", "1999-01-01"));
    ASSERT_TRUE(testsupport::waitFor([&] { return shown.count() == 2; }));
    EXPECT_FALSE(shown.at(1).at(0).toBool());
    EXPECT_EQ(model->getGroups(), QStringList{"default"});
    EXPECT_EQ(model->shownDay().date, "2024-05-02");
}

}  // namespace

#include "test_screen.moc"
