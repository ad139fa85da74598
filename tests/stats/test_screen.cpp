// The statistics screen's frame and the connections the main window makes to it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMetaType>
#include <QSignalSpy>

#include "globals.h"
#include "statisticsdaylist.h"
#include "statisticsmetatypes.h"
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
    void TearDown() override {
        delete StatisticsWidget::instance;
        gpResStatisticsParam = nullptr;
        StatsTest::TearDown();
    }
};

TEST(StatisticsDays, RunningDayFirstThenArchivesNewestFirst) {
    testsupport::WorkDir work;
    EXPECT_EQ(stats::statisticsDays("ResStatistics", "2024-05-01"), QStringList{"2024-05-01"});
    QDir().mkpath("ResStatistics/2024-01-04.db");  // a directory is listed like a file
    QFile("ResStatistics/2024-01-02.db").open(QIODevice::WriteOnly);
    QFile("ResStatistics/2024-01-03.db").open(QIODevice::WriteOnly);
    QFile("ResStatistics/notes.txt").open(QIODevice::WriteOnly);
    EXPECT_EQ(stats::statisticsDays("ResStatistics", "2024-05-01"),
              QStringList({"2024-05-01", "2024-01-04", "2024-01-03", "2024-01-02"}));
    EXPECT_EQ(stats::dayFilePath("ResStatistics", "2024-01-03"),
              QDir("ResStatistics").absolutePath() + "//2024-01-03.db");
}

TEST(StatisticsMetaTypes, RecordsCrossThreadsByName) {
    registerStatisticsMetaTypes();
    EXPECT_NE(QMetaType::type("CountGroup"), QMetaType::UnknownType);
    EXPECT_NE(QMetaType::type("QPair<QString,QString>"), QMetaType::UnknownType);
}

TEST_F(ScreenTest, TheMainWindowsConnectionsHold) {
    registerStatisticsMetaTypes();
    gpResStatisticsParam = &makeModel();
    StatisticsWidget* screen = StatisticsWidget::getInstance(nullptr);
    EXPECT_EQ(StatisticsWidget::getInstance(nullptr), screen);
    EXPECT_TRUE(screen->isHidden());

    ResultSource source;
    EXPECT_TRUE(QObject::connect(&source, SIGNAL(sendRecord(int, int, QList<bool>, QString)),
                                 model.get(), SLOT(addRecord(int, int, QList<bool>, QString))));
    EXPECT_TRUE(QObject::connect(screen, &StatisticsWidget::sigUpdateRecord, model.get(),
                                 &ResStatisticsParam::slotUpdateRecord));
    EXPECT_TRUE(QObject::connect(model.get(), &ResStatisticsParam::sigLoadFinish, screen,
                                 &StatisticsWidget::slotUpdateRecord));
    QObject receiver;
    EXPECT_TRUE(QObject::connect(
        screen, &StatisticsWidget::sigExportData, &receiver, [](QPair<QString, QString>) {},
        Qt::QueuedConnection));
    EXPECT_TRUE(QObject::connect(
        screen, &StatisticsWidget::sigExportProgress, &receiver, [](int, int) {},
        Qt::QueuedConnection));
    EXPECT_TRUE(QObject::connect(
        screen, &StatisticsWidget::sigExportDataFinish, &receiver, [] {}, Qt::QueuedConnection));

    // Row 0 shows the running day; counted cycles reach its figures at once.
    screen->updateList();
    ASSERT_EQ(screen->dayList()->count(), 1);
    EXPECT_EQ(model->curGroupName, "default");
    for (int stage = 0; stage < 3; ++stage)
        emit source.sendRecord(stage, 9, {true, true}, "default");
    EXPECT_TRUE(screen->totalsText().contains("OK 1"));
}

TEST_F(ScreenTest, AnArchivedDayIsLoadedThroughTheStore) {
    gpResStatisticsParam = &makeModel();
    StatisticsWidget* screen = StatisticsWidget::getInstance(nullptr);
    QObject::connect(screen, &StatisticsWidget::sigUpdateRecord, model.get(),
                     &ResStatisticsParam::slotUpdateRecord);
    QObject::connect(model.get(), &ResStatisticsParam::sigLoadFinish, screen,
                     &StatisticsWidget::slotUpdateRecord);
    for (int stage = 0; stage < 3; ++stage) model->addRecord(stage, 9, {false, true}, "A");
    setNow(at(2024, 5, 2, 8, 5));
    EXPECT_TRUE(checkDateAndWait());
    // The archive refreshed the day list and the screen shows the new running day.
    ASSERT_TRUE(testsupport::waitFor([&] { return screen->dayList()->count() == 2; }));
    EXPECT_EQ(screen->dayList()->item(1)->text(), "2024-05-01");

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
