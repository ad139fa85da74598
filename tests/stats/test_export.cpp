// The export to a USB disk, from the screen's button through the stand-in exporter onto a
// folder that stands in for the mounted disk.
#include <gtest/gtest.h>
#include <signal.h>

#include <QAbstractButton>
#include <QButtonGroup>
#include <QDateEdit>
#include <QSignalSpy>

#include "choosebox.h"
#include "colorbutton.h"
#include "dateseletdialog.h"
#include "dialogseam.h"
#include "exportresultworker.h"
#include "exportselection.h"
#include "fakeusbdisk.h"
#include "languagetable.h"
#include "statisticswidget.h"
#include "statstestutil.h"
#include "warnbox.h"

using namespace statstest;
using testsupport::recorder;

namespace {

QDate day(const char* text) {
    return QDate::fromString(text, "yyyy-MM-dd");
}

class ExportTest : public StatsTest {
protected:
    void SetUp() override {
        StatsTest::SetUp();
        fillLanguageTable();
        gLan = 1;
        gpChooseBox = new ChooseBox(nullptr, 750, 370);
        setNow(at(2024, 3, 31, 10));
        gpResStatisticsParam = &makeModel();
        model->setTimer(true);
        screen = StatisticsWidget::getInstance(nullptr);
        for (const char* name : {"2023-03-31", "2023-04-01", "2023-10-01", "2024-02-29",
                                 "2024-03-01", "2024-03-24", "2024-03-25"})
            writeDay(name);
        recorder().clear();
    }
    void TearDown() override {
        delete screen;
        delete gpChooseBox;
        gpChooseBox = nullptr;
        gpResStatisticsParam = nullptr;
        gLan = 0;
        qunsetenv("MOULDMON_EXPORTER_STANDIN");
        StatsTest::TearDown();
    }
    static void writeDay(const QString& name) {
        QDir().mkpath("ResStatistics");
        QFile("ResStatistics/" + name + ".db").open(QIODevice::WriteOnly);
    }
    // Presses the export button (and again while the export runs); the date dialog takes the
    // preset, every box is confirmed. Returns the texts of the boxes shown.
    // Days by hand, when given, replace the preset's.
    QStringList exportWith(
        testsupport::FakeUsbDisk& disk, int preset,
        const std::function<void()>& afterDialog = [] {}, QPair<QDate, QDate> byHand = {}) {
        screen->setUsbDisk(devices::UsbDiskFinder(disk.mountsFile(), disk.mountPoint()));
        QStringList shown;
        dialogs::ScopedAnswerer answers([&](QDialog* dialog) {
            if (auto* dates = qobject_cast<DateSeletDialog*>(dialog)) {
                dates->presets()->button(preset)->click();
                if (byHand.first.isValid()) {
                    dates->endDate()->setDate(byHand.second);
                    dates->startDate()->setDate(byHand.first);
                }
                afterDialog();
            } else {
                shown << dialog->property("text").toString();
            }
            return int(QDialog::Accepted);
        });
        QSignalSpy finished(screen, &StatisticsWidget::sigExportDataFinish);
        screen->exportButton()->click();
        EXPECT_FALSE(model->isTimerActive());
        screen->exportButton()->click();
        EXPECT_TRUE(testsupport::waitFor([&] { return finished.count() == 1; }, 20000));
        EXPECT_TRUE(screen->exportIdle());
        EXPECT_TRUE(model->isTimerActive());
        EXPECT_TRUE(recorder().ran("umount"));
        return shown;
    }
    // The exporter's results on the disk (in the folder of an export started now) and beside
    // the day files, by the days they hold.
    static QStringList onDisk(const testsupport::FakeUsbDisk& disk) {
        return resultsIn(disk.mountPoint() + "/2024-03-31_10.00.00");
    }
    static QStringList resultsIn(const QString& folder) {
        return QDir(folder)
            .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
            .replaceInStrings("-export", "");
    }

    StatisticsWidget* screen = nullptr;
};

TEST_F(ExportTest, EachPresetPutsItsDaysOnTheDisk) {
    ASSERT_TRUE(testsupport::installExporterStandIn());
    const QStringList dayFiles = archiveNames();
    const struct {
        int preset;
        QStringList days;
    } rows[] = {
        {stats::PresetOneDay, {"ResStatistics"}},
        {stats::PresetSevenDays, {"2024-03-25", "ResStatistics"}},
        {stats::PresetOneMonth, {"2024-03-01", "2024-03-24", "2024-03-25", "ResStatistics"}},
        {stats::PresetSixMonths,
         {"2023-10-01", "2024-02-29", "2024-03-01", "2024-03-24", "2024-03-25", "ResStatistics"}},
        {stats::PresetOneYear,
         {"2023-04-01", "2023-10-01", "2024-02-29", "2024-03-01", "2024-03-24", "2024-03-25",
          "ResStatistics"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.preset);
        testsupport::FakeUsbDisk disk;
        QSignalSpy progress(screen, &StatisticsWidget::sigExportProgress);
        EXPECT_EQ(exportWith(disk, row.preset), QStringList({lan(654), lan(147)}));
        EXPECT_EQ(onDisk(disk), row.days);
        const int n = row.days.size();
        EXPECT_EQ(progress.first(), (QVariantList{n, 0}));
        EXPECT_EQ(progress.last(), (QVariantList{n, n}));
        EXPECT_TRUE(resultsIn("ResStatistics").isEmpty());
        EXPECT_EQ(archiveNames(), dayFiles);
    }
}

TEST_F(ExportTest, EveryFailureIsReportedAndTheButtonWorksAgain) {
    const struct {
        const char* name;
        const char* standIn;  // nullptr: no exporter installed
        bool pull, busyDisk;
        QStringList onDisk, leftBeside;
    } rows[] = {
        {"no exporter", nullptr, false, false, {}, {}},
        {"exporter fails", "fail", false, false, {"2024-03-25"}, {}},
        {"exporter quits early", "quit", false, false, {"2024-03-25"}, {}},
        {"exporter crashes", "crash", false, false, {"2024-03-25"}, {}},
        {"exporter hangs", "hang", false, false, {"2024-03-25"}, {}},
        {"disk pulled", "", true, false, {}, {"2024-03-25", "ResStatistics"}},
        {"disk busy", "", false, true, {"2024-03-25", "ResStatistics"}, {}},
    };
    screen->exportWorker()->setExporterTimeLimitMs(300);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QDir("cnt_net").removeRecursively();
        ASSERT_TRUE(!row.standIn || testsupport::installExporterStandIn());
        qputenv("MOULDMON_EXPORTER_STANDIN", row.standIn ? row.standIn : "");
        testsupport::FakeUsbDisk disk;
        if (row.busyDisk) disk.failUnmount();
        const auto pullAfterDialog = [&] { row.pull ? disk.setMountTable() : void(); };
        EXPECT_EQ(exportWith(disk, stats::PresetSevenDays, pullAfterDialog),
                  QStringList({lan(654), "Failed to export the data"}));
        EXPECT_EQ(onDisk(disk), row.onDisk);
        EXPECT_EQ(QDir(disk.mountPoint()).isEmpty(), row.pull) << "nothing at all on a pulled disk";
        EXPECT_EQ(resultsIn("ResStatistics"), row.leftBeside);
        for (const QString& d : resultsIn("ResStatistics"))
            QDir("ResStatistics/" + d + "-export").removeRecursively();
    }
}

// The notice that the export started, with its progress on the main screen, goes when it ends:
// up beside the box of its end it would tell an export that no longer runs.
TEST_F(ExportTest, TheNoticeOfTheStartGoesWithTheEnd) {
    ASSERT_TRUE(testsupport::installExporterStandIn());
    WarnBox shared(nullptr);
    gpWarnBox = &shared;
    QSignalSpy shown(&shared, &WarnBox::sigShown);
    testsupport::FakeUsbDisk disk;
    exportWith(disk, stats::PresetOneDay);
    gpWarnBox = nullptr;
    EXPECT_EQ(shown.count(), 1) << "the start told";
    EXPECT_FALSE(shared.isVisible()) << shared.text().toStdString();
}

// Days without statistics: the operator is told so, the exporter is not run, and nothing is
// left on the disk, which is released all the same.
TEST_F(ExportTest, DaysWithoutStatisticsExportNothing) {
    ASSERT_TRUE(testsupport::installExporterStandIn());
    const QPair<QDate, QDate> ranges[] = {{day("2024-01-01"), day("2024-01-31")},
                                          {day("2022-01-01"), day("2022-12-31")}};
    for (const auto& range : ranges) {
        SCOPED_TRACE(range.first.toString().toStdString());
        testsupport::FakeUsbDisk disk;
        QSignalSpy progress(screen, &StatisticsWidget::sigExportProgress);
        recorder().clear();
        EXPECT_EQ(exportWith(
                      disk, stats::PresetCustom, [] {}, range),
                  QStringList({lan(654), "There are no statistics to export for these days"}));
        EXPECT_TRUE(QDir(disk.mountPoint()).isEmpty());
        EXPECT_EQ(progress.count(), 0) << "no exporter run";
        EXPECT_TRUE(resultsIn("ResStatistics").isEmpty());
    }
}

TEST_F(ExportTest, NoDiskIsAskedForUntilTheOperatorDeclines) {
    dialogs::ScopedAnswerer answers({QDialog::Accepted, QDialog::Rejected});
    screen->exportButton()->click();
    ASSERT_EQ(answers.count(), 2);
    EXPECT_EQ(answers.asked().at(1).text, lan(320));
    EXPECT_EQ(recorder().programs(), QStringList({"blkid", "blkid"}));
    EXPECT_TRUE(screen->exportIdle());
}

TEST_F(ExportTest, DateDialogAndDayFiles) {
    DateSeletDialog dialog;
    EXPECT_EQ(dialog.getDays(), qMakePair(QString("2024-03-31"), QString("2024-03-31")));
    dialog.presets()->button(stats::PresetOneMonth)->click();
    EXPECT_EQ(dialog.getDays(), qMakePair(QString("2024-03-01"), QString("2024-03-31")));
    dialog.startDate()->setDate(day("2024-03-20"));  // by hand: the range becomes custom
    EXPECT_TRUE(dialog.presets()->button(stats::PresetCustom)->isChecked());
    EXPECT_EQ(dialog.getDays(), qMakePair(QString("2024-03-20"), QString("2024-03-31")));

    writeDay("2024-03-25.1");
    writeDay("notes");
    QDir().mkpath("ResStatistics/2024-03-26.db");
    const auto files = [](const char* first, const char* last) {
        return stats::exportFiles("./ResStatistics", day(first), day(last), day("2024-03-28"));
    };
    EXPECT_EQ(files("2024-03-25", "2024-03-28"),
              QStringList({"./ResStatistics/2024-03-25.1.db", "./ResStatistics/2024-03-25.db",
                           "./ResStatistics/2024-03-26.db", "./ResStatistics.db"}));
    EXPECT_TRUE(files("2024-03-28", "2024-03-25").isEmpty());
}

TEST_F(ExportTest, OnlyLinesBeginningWithDoneCount) {
    ExportResultWorker worker;
    QSignalSpy progress(&worker, &ExportResultWorker::exportProgress);
    const auto end = worker.exportToHistogram(
        "/bin/sh", {"-c", "printf 'Done a\\ndone b\\n Done c\\nDoneness\\nx\\000Done\\nDone'"},
        5000);
    EXPECT_TRUE(end.ok());
    EXPECT_EQ(worker.done, 3);  // the last line counts without its line end
    EXPECT_EQ(progress.count(), 3);
}

TEST_F(ExportTest, ClosingTheScreenStopsTheExporter) {
    ASSERT_TRUE(testsupport::installExporterStandIn());
    qputenv("MOULDMON_EXPORTER_STANDIN", "hang");
    qputenv("MOULDMON_EXPORTER_STANDIN_PID", "exporter.pid");
    testsupport::FakeUsbDisk disk;
    screen->setUsbDisk(devices::UsbDiskFinder(disk.mountsFile(), disk.mountPoint()));
    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    screen->exportButton()->click();
    ASSERT_TRUE(
        testsupport::waitFor([] { return QDir("ResStatistics/ResStatistics-export").exists(); }));
    qunsetenv("MOULDMON_EXPORTER_STANDIN_PID");
    QFile pidFile("exporter.pid");
    ASSERT_TRUE(pidFile.open(QIODevice::ReadOnly));
    const pid_t pid = pidFile.readAll().trimmed().toInt();
    ASSERT_EQ(kill(pid, 0), 0);
    delete screen;
    screen = nullptr;
    EXPECT_NE(kill(pid, 0), 0) << "the exporter outlived the screen";
}

}  // namespace
