#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTimer>
#include <functional>
#include <optional>
#include <tuple>

#include "appfixture.h"
#include "colorbutton.h"
#include "counterstore.h"
#include "dateseletdialog.h"
#include "deraRazovi.h"
#include "drawroiwidget.h"
#include "fakeusbdisk.h"
#include "globals.h"
#include "indexbutton.h"
#include "iostatuswidget.h"
#include "lostcamerawarnbox.h"
#include "modbusdatasource.h"
#include "modbusserver.h"
#include "numberinput.h"
#include "numcharinput.h"
#include "paramlimits.h"
#include "passwordbox.h"
#include "privatemount.h"
#include "productalarmwarnbox.h"
#include "recordspage.h"
#include "resstatisticsdatabase.h"
#include "resstatisticsparam.h"
#include "sqlitefiles.h"
#include "startup.h"
#include "statisticswidget.h"
#include "warnbox.h"
#include "wizardpara.h"
#include "wizardparastore.h"
#include "wizardparawidget.h"
#include "writefailuretexts.h"

using apptest::installFactoryFiles;
using apptest::prepareProcessGlobals;
using testsupport::recorder;

namespace {

// Questions with the given text among those the answerer saw.
int askedWith(const dialogs::ScopedAnswerer& answers, const QString& text) {
    int n = 0;
    for (const auto& asked : answers.asked()) n += asked.text == text;
    return n;
}

// What the start tells before it has read the parameters is in the factory language.
QString inFactoryLanguage(int entry) {
    return gaLanStr[entry * kLanguageCount + params::kFactoryLanguage];
}
const QString kParamFileError() {
    return inFactoryLanguage(160);
}
const QString kRecordDbError() {
    return inFactoryLanguage(135);
}

void confirm(WarnBox& box) {
    box.findChild<QAbstractButton*>("confirm")->click();
    QCoreApplication::sendPostedEvents();
}

QStringList remarksIn(const QString& file) {
    QStringList texts;
    if (!QFile::exists(file)) return texts;
    storage::SqliteConnection db(file);
    QSqlQuery query("SELECT remarks FROM RECORD", db.database());
    while (query.next()) texts << query.value(0).toString();
    return texts;
}

struct WindowUnderTest {
    std::unique_ptr<DeRaRazovi> window;
    // Up as the start brings it up, its readiness recorded.
    WindowUnderTest() {
        window = std::make_unique<DeRaRazovi>(nullptr);
        window->recordSystemReady();
    }
    ~WindowUnderTest() { window.reset(); }
};

// The roads by which a stop saves the counts.
struct StopWay {
    const char* stop;
    std::function<void(DeRaRazovi&)> then;  // none: the window's end
};
const StopWay kStopWays[] = {
    {"flushed", [](DeRaRazovi& m) { m.FLushAll(); }},
    {"the display gone", [](DeRaRazovi&) { stopBeforeWindowGoes(); }},
    {"the window's end", nullptr},
};

}  // namespace

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        prepareProcessGlobals();
        recorder().clear();
    }
    testsupport::WorkDir dir;
};

TEST_F(MainWindow, TimerTable) {
    installFactoryFiles();
    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    WindowUnderTest w;
    DeRaRazovi& m = *w.window;
    struct Row {
        const char* name;
        QTimer* timer;
        bool singleShot;
        int startedMs;  // -1: not started
    };
    const Row rows[] = {
        {"runTimer", m.runTimer, true, 5},
        {"inCheckTimer", m.inCheckTimer, false, -1},
        {"drawHintTimer", m.drawHintTimer, false, -1},
        {"tempeTimer", m.tempeTimer, false, 600000},
        {"tempe1Timer", m.tempe1Timer, false, 10000},
        {"logoutTimer", m.logoutTimer, false, -1},
        {"showTimer", m.showTimer, false, -1},
        {"outNGTimer", m.outNGTimer, false, -1},
        {"notAllowCloseTimer", m.notAllowCloseTimer, false, -1},
        {"notAllowThimbleTimer", m.notAllowThimbleTimer, false, -1},
        {"reserveOutputTimer", m.reserveOutputTimer, false, -1},
        {"sysFunc4OutputTimer", m.sysFunc4OutputTimer, false, -1},
        {"delayOutput3Timer", m.delayOutput3Timer, false, -1},
        {"clearNGAlarmTimer", m.clearNGAlarmTimer, true, -1},
        {"tempCheckTimer", m.tempCheckTimer, false, 5000},
        {"resetAlarmTimer", m.resetAlarmTimer, false, -1},
        {"checkDateTimer", m.checkDateTimer, false, 60000},
        {"fpsTimer", m.fpsTimer, false, 1000},
    };
    for (const Row& row : rows) {
        ASSERT_NE(row.timer, nullptr) << row.name;
        EXPECT_EQ(row.timer->parent(), &m) << row.name;
        EXPECT_EQ(row.timer->isSingleShot(), row.singleShot) << row.name;
        EXPECT_EQ(row.timer->isActive(), row.startedMs >= 0) << row.name;
        if (row.startedMs >= 0) EXPECT_EQ(row.timer->interval(), row.startedMs) << row.name;
    }
    for (int k = 0; k < 8; ++k) {
        EXPECT_FALSE(m.timerUp[k]->isActive());
        EXPECT_FALSE(m.inputCheckTimer[k]->isActive());
    }
    // The default screen-off time decides the backlight timer.
    EXPECT_EQ(m.lcdTimer->isActive(), gpWPara->screenOffTime > 0);
}

TEST_F(MainWindow, ComesUpWithoutCamerasAndWritesTheFirstRecord) {
    installFactoryFiles();
    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    WindowUnderTest w;
    EXPECT_EQ(numCamera, 0);
    EXPECT_EQ(w.window->detectState, 1);
    EXPECT_EQ(w.window->resultState, 0);
    EXPECT_EQ(w.window->cycleState, 3);
    EXPECT_EQ(w.window->loginLevel, 0);
    // Without any camera only the serial-number question of the camera check is asked.
    EXPECT_EQ(askedWith(answers, kParamFileError()) + askedWith(answers, kRecordDbError()), 0);
    EXPECT_EQ(askedWith(answers, lan(134)), 1);
    EXPECT_FALSE(recorder().ran("reboot"));
    EXPECT_TRUE(QDir("RECORD").exists());
    EXPECT_TRUE(QDir("ResStatistics").exists());
    EXPECT_TRUE(QFile::exists("cnt_net/workspace"));
    EXPECT_TRUE(w.window->versionLabel->text().endsWith("18.12.1.45"));
    QSqlQuery query("SELECT remarks FROM RECORD", w.window->recordDb);
    ASSERT_TRUE(query.next());
    EXPECT_EQ(query.value(0).toString(), lan(150).arg(0));
}

TEST_F(MainWindow, AMissingOrDamagedParameterFileIsRestoredAndSaidBeforeTheReboot) {
    enum Damage { Missing, RandomBytes, NoTables, Truncated };
    const struct {
        Damage damage;
        bool restorable;
        int entry;  // the text shown, in the factory language as its button
    } rows[] = {
        {Missing, true, 160},  {Missing, false, 160},  {RandomBytes, true, 135},
        {NoTables, true, 135}, {Truncated, true, 135}, {RandomBytes, false, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(
            QString("damage %1, restorable %2").arg(row.damage).arg(row.restorable).toStdString());
        testsupport::WorkDir work;
        recorder().clear();
        installFactoryFiles();
        QFile file("PARAM.db");
        if (row.damage == Missing) {
            ASSERT_TRUE(file.remove());
        } else if (row.damage == Truncated) {
            ASSERT_TRUE(file.resize(file.size() / 2));
        } else {
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            if (row.damage == RandomBytes)
                for (int i = 0; i < 2000; ++i) file.write(QByteArray::number(i * 7919 % 65521));
            file.close();
        }
        if (!row.restorable) {
            // No factory copy can be made: a file stands where its folder belongs.
            ASSERT_TRUE(QDir("paraGroup/default").removeRecursively());
            ASSERT_TRUE(QFile("paraGroup/default").open(QIODevice::WriteOnly));
        }
        QByteArray before;
        if (file.open(QIODevice::ReadOnly)) before = file.readAll();
        file.close();

        QStringList buttons;  // of every box answered, in order
        dialogs::ScopedAnswerer answers([&](QDialog* box) {
            const auto* button = box->findChild<QAbstractButton*>("confirm");
            buttons << (button ? button->text() : QString());
            return int(QDialog::Accepted);
        });
        gLan = 1;  // another language, as an earlier window in this process may leave it
        WindowUnderTest w;
        EXPECT_EQ(askedWith(answers, inFactoryLanguage(row.entry)), 1);
        for (int i = 0; i < answers.count(); ++i)
            if (answers.asked()[i].text == inFactoryLanguage(row.entry))
                EXPECT_EQ(buttons.value(i), inFactoryLanguage(121)) << "one language a box";
        const QStringList programs = recorder().programs();
        EXPECT_EQ(programs.contains("reboot"), row.restorable);
        if (row.restorable) EXPECT_EQ(programs.indexOf("reboot"), programs.indexOf("sync") + 1);
        // The program never runs on a damaged file: it runs on the restored one, or on its
        // built-in values with the operator told; the damaged file is kept.
        EXPECT_EQ(w.window->paramDb.isOpen(), row.restorable);
        const QStringList kept = QDir().entryList({"PARAM.db.damaged-*"});
        if (row.restorable) {
            EXPECT_TRUE(WizardParaStore::checkDatabase("PARAM.db").usable());
            ASSERT_EQ(kept.size(), row.damage == Missing ? 0 : 1);
            if (!kept.isEmpty()) {
                QFile keptFile(kept.first());
                ASSERT_TRUE(keptFile.open(QIODevice::ReadOnly));
                EXPECT_EQ(keptFile.readAll(), before);
            }
        } else {
            EXPECT_TRUE(kept.isEmpty());
            EXPECT_EQ(QFile::exists("PARAM.db"), row.damage != Missing) << "no empty file is made";
            if (file.open(QIODevice::ReadOnly)) EXPECT_EQ(file.readAll(), before);
        }
    }
}

TEST_F(MainWindow, WithoutAParameterFileAConfirmAfterARefusedPowerOffIsToldNotStored) {
    installFactoryFiles();
    ASSERT_TRUE(QFile::remove("PARAM.db"));
    ASSERT_TRUE(QDir("paraGroup/default").removeRecursively());
    ASSERT_TRUE(QFile("paraGroup/default").open(QIODevice::WriteOnly));  // nothing to restore
    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    WindowUnderTest w;
    DeRaRazovi& m = *w.window;
    recorder().scriptCommand("poweroff", sys::CommandResult{true, 1, {}});
    m.HandPanelToSystem("poweroff");
    EXPECT_FALSE(m.paramDb.isOpen());

    gpWParaBak->reDetectNum = gpWPara->reDetectNum + 1;
    m.wizardParaWidget->accept();
    EXPECT_EQ(askedWith(answers, lang::cannotWriteText("PARAM.db")), 1);
    QSqlQuery query("SELECT remarks FROM RECORD", m.recordDb);
    while (query.next()) EXPECT_FALSE(query.value(0).toString().startsWith(lan(235)));
    EXPECT_FALSE(QFile::exists("PARAM.db"));
}

TEST_F(MainWindow, MissingRecordDatabase) {
    installFactoryFiles();
    QFile::remove("RECORD.db");
    {
        dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
        WindowUnderTest w;
        EXPECT_EQ(askedWith(answers, kRecordDbError()), 1);
        EXPECT_TRUE(recorder().ran("reboot"));
    }
    recorder().clear();
    QFile::remove("RECORD.db");
    QFile::remove("RECORDNULL.db");
    QDir().mkpath("RECORDNULL.db");  // the template cannot be copied
    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    WindowUnderTest w;
    EXPECT_EQ(askedWith(answers, kRecordDbError()), 1);
    EXPECT_FALSE(recorder().ran("reboot"));
}

TEST_F(MainWindow, WritesThatFailAreToldOnceAndResumeWhenWritingWorksAgain) {
    if (!testsupport::inPrivateMountNamespace()) return;
    testsupport::TmpfsMount disk("disk", 4 << 20);
    ASSERT_TRUE(disk.isMounted());
    QDir::setCurrent(disk.path());
    installFactoryFiles();
    // The panel starts with its working folder read-only.
    ASSERT_TRUE(disk.setReadOnly(true));
    testsupport::MessageCatcher errors(QtCriticalMsg);
    const auto told = [&](const char* store) {
        return errors.count(QString("%1 cannot be written").arg(store));
    };
    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    {
        WindowUnderTest w;
        DeRaRazovi& m = *w.window;
        gpWPara->useStatistics = 1;
        QSignalSpy saved(gpResStatisticsParam->store(), &ResStatisticsDatabase::sigSaveFinished);
        const auto writeAll = [&](const QString& record) {
            m.InsertRecord(record);
            m.CountWrite();
            const int before = saved.count();
            gpResStatisticsParam->addRecord(0, 0, {}, "default");
            gpResStatisticsParam->checkDate();
            // The store answers from its own thread; its answer then passes two queues.
            EXPECT_TRUE(testsupport::waitFor([&] { return saved.count() > before; }));
            for (int pass = 0; pass < 3; ++pass) QCoreApplication::sendPostedEvents();
        };
        const char* stores[] = {"operation records", "production counters", "statistics"};

        // One box names every file that fails and why, and never blames the database.
        const auto toldEveryFile = [&](storage::WriteCause cause) {
            const QString text = gpWarnBox->text();
            EXPECT_FALSE(text.contains(lan(135))) << text.toStdString();
            for (const char* file :
                 {"RECORD.db", "cnt_net/workspace/count.ini", "ResStatistics.db"})
                EXPECT_TRUE(text.contains(lang::cannotWriteText(file, cause)))
                    << file << " in " << text.toStdString();
        };

        writeAll("waited 1");
        EXPECT_TRUE(gpWarnBox->isVisible());
        toldEveryFile(storage::WriteCause::ReadOnly);
        // Its own words, in whatever lines the box broke them into.
        const QRegularExpression space(QStringLiteral("\\s"));
        EXPECT_EQ(gpWarnBox->findChild<QLabel*>("message")->text().remove(space),
                  gpWarnBox->text().remove(space));
        for (const char* store : stores) EXPECT_EQ(told(store), 1) << store;
        confirm(*gpWarnBox);
        writeAll("waited 2");
        EXPECT_FALSE(gpWarnBox->isVisible()) << "told once";

        ASSERT_TRUE(disk.setReadOnly(false));
        gSyncNGNum = 4242;
        writeAll("kept");
        const auto remarks = [&] {
            QStringList texts;
            QSqlQuery query("SELECT remarks FROM RECORD", m.recordDb);
            while (query.next()) texts << query.value(0).toString();
            return texts;
        };
        // The records made meanwhile waited and are written in their places.
        EXPECT_EQ(remarks(), QStringList({lan(150).arg(0), "waited 1", "waited 2", "kept"}));
        EXPECT_EQ(
            CounterStore(QDir::current().filePath("cnt_net/workspace/count.ini")).read().syncNGNum,
            gSyncNGNum);

        // A full disk later is told again.
        disk.fill(0);
        writeAll("waited 3");
        EXPECT_TRUE(gpWarnBox->isVisible());
        toldEveryFile(storage::WriteCause::NoSpace);
        for (const char* store : stores) EXPECT_EQ(told(store), 2) << store;
        disk.unfill();
        // With room again, the minute's day check writes what waited, with no new record.
        m.SlotCheckDate();
        EXPECT_EQ(remarks().mid(4), QStringList{"waited 3"});
    }
    QDir::setCurrent(dir.path());
}

TEST_F(MainWindow, ARecordThatWaitedForTheDiskIsWrittenWithinSecondsOrByTheFlush) {
    installFactoryFiles();
    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    struct Way {
        const char* record;
        std::function<void(DeRaRazovi&)> then;
        bool waits;  // for the retry, well within the minute of the day check
    };
    const Way ways[] = {
        {"left to the retry", [](DeRaRazovi&) {}, true},
        {"flushed for a stop", [](DeRaRazovi& m) { m.FLushAll(); }, false},
        // As when the display goes: the process ends without the window's end.
        {"stopped with the window still there", [](DeRaRazovi&) { stopBeforeWindowGoes(); }, false},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.record);
        WindowUnderTest w;
        const auto stored = [&] {
            QSqlDatabase db = w.window->recordDb;  // closed by the flush
            QSqlQuery query(db);
            return (db.isOpen() || db.open()) &&
                   query.exec(
                       QString("SELECT 1 FROM RECORD WHERE remarks = '%1'").arg(way.record)) &&
                   query.next();
        };
        // SQLite cannot make its rollback journal: the record waits.
        ASSERT_TRUE(QDir().mkpath("RECORD.db-journal"));
        w.window->InsertRecord(way.record);
        ASSERT_TRUE(QDir("RECORD.db-journal").removeRecursively());
        ASSERT_FALSE(stored());
        way.then(*w.window);
        EXPECT_TRUE(way.waits ? testsupport::waitFor(stored, 15000) : stored());
    }
}

TEST_F(MainWindow, AfterARefusedMidnightRolloverTheNewDaysRecordsGoIntoTheNewDaysFile) {
    if (!testsupport::inPrivateMountNamespace()) return;
    const QDate day1(2026, 3, 1);
    const QDateTime midnight(day1.addDays(1), QTime(0, 0));
    const struct {
        const char* name;
        QStringList alarms;  // made after midnight, while the archive is refused or after
        bool archivesOnly;   // the archives' disk refuses, RECORD.db's takes every record
    } cases[] = {
        {"full disk at the check, records after the room came back", {"alarm 1", "alarm 2"}, false},
        {"no record: retried by itself", {}, false},
        {"archives refused, records on the disk at once", {"alarm 1", "alarm 2"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TmpfsMount disk("disk", 4 << 20);
        ASSERT_TRUE(disk.isMounted());
        QDir::setCurrent(disk.path());
        testsupport::TmpfsMount archives("RECORD", 1 << 20);
        ASSERT_TRUE(archives.isMounted());
        installFactoryFiles();
        recorder().setNow(QDateTime(day1, QTime(23, 59)));
        dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
        {
            WindowUnderTest w;
            DeRaRazovi& m = *w.window;
            m.InsertRecord("evening");
            if (c.archivesOnly)
                ASSERT_TRUE(archives.setReadOnly(true));
            else
                disk.fill(0);
            recorder().setNow(midnight.addSecs(1));
            m.SlotCheckDate();
            if (!c.archivesOnly) disk.unfill();
            for (const QString& alarm : c.alarms) {
                recorder().setNow(recorder().now().addSecs(100));
                m.InsertRecord(alarm);
                EXPECT_TRUE(remarksIn("RECORD.db").contains(alarm)) << "kept only in memory";
            }
            if (c.archivesOnly) {
                QCoreApplication::sendPostedEvents();
                EXPECT_EQ(gpWarnBox->text(),
                          lang::cannotWriteText("RECORD", storage::WriteCause::ReadOnly));
                ASSERT_TRUE(archives.setReadOnly(false));
            }
            const QString archive = "RECORD/2026-03-01.db";
            EXPECT_TRUE(testsupport::waitFor([&] { return !remarksIn(archive).isEmpty(); }, 15000));
            recorder().setNow(midnight.addSecs(300));
            m.SlotCheckDate();
            EXPECT_EQ(remarksIn(archive), QStringList({lan(150).arg(0), "evening"}));
            EXPECT_EQ(remarksIn("RECORD.db"), c.alarms);
        }
        recorder().setNow(QDateTime());
        QDir::setCurrent(dir.path());
    }
}

// After midnight, before any record of the new day, the operator clears the records (系统参数,
// 操作记录, 删除, the service code, 确定) while the day before still waits for its archive: refused
// at midnight, or not rolled over yet in the first minute. The page lists none of the new day's
// records, the clear takes only those, and the day before reaches its archive whole.
TEST_F(MainWindow, ARecordsClearAfterMidnightKeepsTheDayBeforeForItsArchive) {
    if (!testsupport::inPrivateMountNamespace()) return;
    const QDateTime midnight(QDate(2026, 3, 2), QTime(0, 0));
    for (const bool refused : {true, false}) {
        SCOPED_TRACE(refused ? "the archive refused at midnight" : "the first minute, a free disk");
        testsupport::TmpfsMount disk("disk", 4 << 20);
        ASSERT_TRUE(disk.isMounted());
        QDir::setCurrent(disk.path());
        testsupport::TmpfsMount archives("RECORD", 1 << 20);
        ASSERT_TRUE(archives.isMounted());
        installFactoryFiles();
        recorder().setNow(midnight.addSecs(-60));
        dialogs::ScopedAnswerer answers([](QDialog* d) {
            if (auto* box = qobject_cast<PasswordBox*>(d)) {
                box->setEnteredPassword(gpWPara->serviceCodeText());
                box->accept();
                return box->result();
            }
            return int(QDialog::Accepted);
        });
        {
            WindowUnderTest w;
            DeRaRazovi& m = *w.window;
            m.InsertRecord("alarm");
            m.InsertRecord("released");
            const QStringList dayBefore = remarksIn("RECORD.db");
            ASSERT_EQ(dayBefore.size(), 3) << "the start's, the alarm's and the release's";
            ASSERT_TRUE(!refused || archives.setReadOnly(true));
            recorder().setNow(midnight.addSecs(refused ? 1 : 30));
            if (refused) m.SlotCheckDate();
            m.SlotSystemPara();
            ASSERT_TRUE(m.wizardParaWidget->openSection(WizardParaWidget::Records));
            QTableWidget* listed = m.wizardParaWidget->recordsPage()->table();
            EXPECT_EQ(listed->rowCount(), 0) << "none of the new day's";
            testsupport::MessageCatcher told(QtInfoMsg);
            m.wizardParaWidget->findChild<QAbstractButton*>("clearRecords")->click();
            EXPECT_EQ(told.count("operation records are written again"), 0)
                << "the day before still waits for its archive";
            ASSERT_EQ(listed->rowCount(), 1);
            EXPECT_EQ(listed->item(0, 2)->text(), lan(298));
            ASSERT_TRUE(!refused || archives.setReadOnly(false));
            recorder().setNow(midnight.addSecs(300));
            m.SlotCheckDate();
            EXPECT_EQ(remarksIn("RECORD/2026-03-01.db"), dayBefore);
            EXPECT_EQ(remarksIn("RECORD.db"), QStringList{lan(298)});
        }
        recorder().setNow(QDateTime());
        QDir::setCurrent(dir.path());
    }
}

// The question of a clear stays up over midnight while records are made, of the old day and
// of the new: the clear deletes no row the question did not list.
TEST_F(MainWindow, ARecordsClearDeletesOnlyTheRowsItsQuestionStoodOver) {
    installFactoryFiles();
    const QDateTime midnight(QDate(2026, 3, 2), QTime(0, 0));
    recorder().setNow(midnight.addSecs(-60));
    DeRaRazovi* window = nullptr;
    dialogs::ScopedAnswerer answers([&](QDialog* d) {
        if (auto* box = qobject_cast<PasswordBox*>(d)) {
            box->setEnteredPassword(gpWPara->serviceCodeText());
            box->accept();
            return box->result();
        }
        if (window && d->property("text").toString() == lan(297)) {
            window->InsertRecord("before midnight");
            recorder().setNow(midnight.addSecs(30));
            window->InsertRecord("after midnight");
        }
        return int(QDialog::Accepted);
    });
    {
        WindowUnderTest w;
        window = w.window.get();
        window->InsertRecord("alarm");
        const QStringList listed = remarksIn("RECORD.db");
        window->SlotSystemPara();
        ASSERT_TRUE(window->wizardParaWidget->openSection(WizardParaWidget::Records));
        window->wizardParaWidget->findChild<QAbstractButton*>("clearRecords")->click();
        EXPECT_EQ(remarksIn("RECORD/2026-03-01.db"), listed + QStringList{"before midnight"});
        EXPECT_EQ(remarksIn("RECORD.db"), (QStringList{"after midnight", lan(298)}));
    }
    recorder().setNow(QDateTime());
}

TEST_F(MainWindow, CountsTheDiskRefusedAreWrittenByEveryStopOnceItTakesThem) {
    installFactoryFiles();
    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    const QString file = QDir::current().filePath("cnt_net/workspace/count.ini");
    const auto stored = [&] { return CounterStore(file).read().syncNGNum; };
    int count = 4242;
    for (const StopWay& way : kStopWays) {
        SCOPED_TRACE(way.stop);
        {
            WindowUnderTest w;
            // A folder in the file's place: the write of the new count fails.
            QFile::remove(file);
            ASSERT_TRUE(QDir().mkpath(file));
            gSyncNGNum = ++count;
            w.window->CountWrite();
            ASSERT_TRUE(QDir(file).removeRecursively());
            if (way.then) {
                way.then(*w.window);
                EXPECT_EQ(stored(), count);
            }
        }
        EXPECT_EQ(stored(), count);
    }
}

TEST_F(MainWindow, StepsCountedBeforeTheirCycleEndsAreWrittenByEveryStop) {
    // A cycle's steps are saved with its end, which a stop does not wait for.
    installFactoryFiles();
    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    const auto stored = [] {
        return CounterStore(QDir::current().filePath("cnt_net/workspace/count.ini"))
            .read()
            .allNum[0];
    };
    int steps = 0;
    for (const StopWay& way : kStopWays) {
        SCOPED_TRACE(way.stop);
        {
            WindowUnderTest w;
            ASSERT_EQ(gAllNum[0], steps);
            gAllNum[0] = ++steps;
            if (way.then) {
                way.then(*w.window);
                EXPECT_EQ(stored(), steps);
            }
        }
        EXPECT_EQ(stored(), steps);
    }
}

TEST_F(MainWindow, NoRoadWritesTheCountsBeforeTheStartHasReadThem) {
    // Masters are served, and events answered, long before the start reads count.ini: here
    // while the camera question is up.
    installFactoryFiles();
    const QString file = QDir::current().filePath("cnt_net/workspace/count.ini");
    ProductionCounters stored;
    stored.allNum[0] = 40;
    stored.allCycleNum[0] = 12;
    stored.failCycleNum[0] = 3;
    stored.syncNGCycleNum = 6;
    ASSERT_TRUE(CounterStore(file).write(stored));
    const auto reset = [] { return gpWin->modbusServer->globalsSource()->resetCounters(); };
    std::optional<modbus::ResetOutcome> early;
    dialogs::ScopedAnswerer answers([&](QDialog*) {
        if (!early && gpWin && gpWin->modbusServer) {
            early = reset();
            gpWin->CountWrite();           // a counted step
            gpWin->saveUnsavedCounters();  // a stop, the minute's check
        }
        return int(QDialog::Rejected);
    });
    WindowUnderTest w;
    ASSERT_TRUE(early.has_value()) << "nothing was asked during the start";
    EXPECT_EQ(*early, modbus::ResetOutcome::Busy);
    EXPECT_EQ(CounterStore(file).read(), stored);
    EXPECT_EQ(ProductionCounters::fromGlobals(), stored);
    // Once read, a reset zeroes the cycles and keeps the rest, as it always did.
    EXPECT_EQ(reset(), modbus::ResetOutcome::Done);
    stored.allCycleNum[0] = stored.failCycleNum[0] = 0;
    EXPECT_EQ(CounterStore(file).read(), stored);
}

TEST_F(MainWindow, AStartOnAFullDiskTellsEachFileItCannotMakeAndKeepsTheListShown) {
    if (!testsupport::inPrivateMountNamespace()) return;
    for (const auto cause : {storage::WriteCause::NoSpace, storage::WriteCause::ReadOnly}) {
        SCOPED_TRACE(storage::writeCauseName(cause));
        // A fresh working folder: nothing in it yet.
        testsupport::TmpfsMount disk("disk", 4 << 20);
        ASSERT_TRUE(disk.isMounted());
        QDir::setCurrent(disk.path());
        if (cause == storage::WriteCause::NoSpace) disk.fill(0);
        ASSERT_TRUE(disk.setReadOnly(cause == storage::WriteCause::ReadOnly));
        dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
        {
            WindowUnderTest w;
            QCoreApplication::sendPostedEvents();
            // Only the simulated-camera question: no file is called damaged or unopenable.
            ASSERT_EQ(answers.count(), 1);
            EXPECT_EQ(answers.asked()[0].text, lan(134));
            EXPECT_FALSE(recorder().ran("reboot"));
            ASSERT_TRUE(gpWarnBox->isVisible());
            const QString list = gpWarnBox->text();
            for (const char* file : {"RECORD.db", "PARAM.db", "ResStatistics.db", "SN.db"})
                EXPECT_TRUE(list.contains(lang::cannotWriteText(file, cause)))
                    << file << " in " << list.toStdString();

            // A later warning is answered with its own words and leaves the list on the box,
            // until the list itself is confirmed.
            gpWarnBox->setText("settings not saved");
            gpWarnBox->exec();
            EXPECT_EQ(answers.asked().last().text, "settings not saved");
            EXPECT_TRUE(gpWarnBox->isVisible());
            EXPECT_EQ(gpWarnBox->text(), list);
            QSignalSpy confirmed(gpWarnBox, &QDialog::finished);
            confirm(*gpWarnBox);
            ASSERT_EQ(confirmed.count(), 1);
            EXPECT_FALSE(gpWarnBox->isVisible());
        }
        QDir::setCurrent(dir.path());
    }
}

TEST_F(MainWindow, StatisticsButtonAndExportStatusLabel) {
    installFactoryFiles();
    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    WindowUnderTest w;
    DeRaRazovi& m = *w.window;
    auto* button = m.indexButton->findChild<QPushButton*>("statistics");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->isHidden(), gpWPara->useStatistics == 0);
    button->click();
    ASSERT_NE(StatisticsWidget::instance, nullptr);
    EXPECT_EQ(StatisticsWidget::instance->parentWidget(), &m);
    EXPECT_FALSE(StatisticsWidget::instance->isHidden());

    // An export of the last seven days (one archived day and the running day) onto a disk.
    StatisticsWidget& screen = *StatisticsWidget::instance;
    ASSERT_TRUE(testsupport::installExporterStandIn());
    QFile(QString("ResStatistics/%1.db")
              .arg(recorder().now().date().addDays(-1).toString("yyyy-MM-dd")))
        .open(QIODevice::WriteOnly);
    testsupport::FakeUsbDisk disk;
    screen.setUsbDisk(devices::UsbDiskFinder(disk.mountsFile(), disk.mountPoint()));
    dialogs::ScopedAnswerer sevenDays([](QDialog* dialog) {
        if (auto* dates = qobject_cast<DateSeletDialog*>(dialog))
            dates->presets()->button(2)->click();
        return int(QDialog::Accepted);
    });
    QStringList labels;
    QObject::connect(&screen, &StatisticsWidget::sigExportProgress,
                     [&] { labels << m.exportLabel->text(); });
    screen.exportButton()->click();
    EXPECT_EQ(m.exportLabel->text(), QString("生产统计导出中"));
    ASSERT_TRUE(testsupport::waitFor([&] { return screen.exportIdle(); }));
    EXPECT_EQ(labels, QStringList({"生产统计导出中0%", "生产统计导出中50%", "生产统计导出中100%"}));
    EXPECT_TRUE(m.exportLabel->text().isEmpty());
    m.SlotExportStart({});
    m.SlotExportProgress(0, 0);  // no file: no percentage
    EXPECT_EQ(m.exportLabel->text(), QString("生产统计导出中"));
}

// What a camera view's presses and drags reach in the window while areas are edited.
TEST_F(MainWindow, CameraViewsReachTheWindowWhileEditing) {
    installFactoryFiles();
    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    WindowUnderTest w;
    DeRaRazovi& m = *w.window;
    const cameraview::CameraViewHooks hooks = m.viewHooks();
    m.indexButton->hide();
    hooks.viewTouched();  // a press brings the tool bar back and restarts its collapse timer
    EXPECT_FALSE(m.indexButton->isHidden());
    EXPECT_TRUE(m.indexButton->isCollapseTimerActive());

    hooks.pressedAt({100, 50});
    hooks.panZoom({130, 70});  // not magnified: nothing pans
    EXPECT_EQ(std::make_tuple(m.zoomX, m.zoomY, m.lastPressX), std::make_tuple(0, 0, 100));
    m.zoomScale = 2.0f;
    hooks.panZoom({130, 70});
    hooks.panZoom({120, 90});
    EXPECT_EQ(std::make_tuple(m.zoomX, m.zoomY), std::make_tuple(20, 40));

    m.drawTool = 2;
    m.copyAreaArmed = 1;
    EXPECT_TRUE(hooks.hostState().copyAreaArmed);
    hooks.setDrawTool(0);
    hooks.disarmCopy();
    EXPECT_EQ(std::make_tuple(m.drawTool, m.copyAreaArmed), std::make_tuple(0, 0));
    EXPECT_EQ(hooks.doubleTap, m.viewHooks().doubleTap);  // one reference for every view
}

// The tool bar's area command opens the editing page; its return closes it again.
TEST_F(MainWindow, AreaSettingOpensAndLeavesTheEditingPage) {
    installFactoryFiles();
    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    WindowUnderTest w;
    DeRaRazovi& m = *w.window;
    m.SlotAdjustArea();
    EXPECT_FALSE(m.drawROIWidget->isHidden());
    EXPECT_EQ(std::make_tuple(m.resultState, gSource), std::make_tuple(3, 0));
    EXPECT_TRUE(m.indexButton->isHidden() && m.ioStatusWidget->isHidden());
    m.drawROIWidget->btnReturn->click();
    EXPECT_TRUE(m.drawROIWidget->isHidden());
    EXPECT_EQ(std::make_tuple(m.resultState, gSource), std::make_tuple(0, -1));
    EXPECT_FALSE(m.indexButton->isHidden() || m.ioStatusWidget->isHidden());
}

TEST_F(MainWindow, KeypadsAreReplacedButNotWhileTheWindowGoesAway) {
    installFactoryFiles();
    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    auto window = std::make_unique<DeRaRazovi>(nullptr);
    NumberInput* first = gpNumPad;
    ASSERT_NE(first, nullptr);
    delete first;
    ASSERT_NE(gpNumPad, nullptr);
    EXPECT_NE(gpNumPad, first);
    EXPECT_EQ(gpNumPad->parentWidget(), nullptr) << "a replacement keypad has no parent";
    delete gpNumPad;  // the replacement is replaced too
    ASSERT_NE(gpNumPad, nullptr);
    // Adopted keypads die with the window; nothing new may appear then.
    dialogs::adopt(gpNumPad, window.get());
    window.reset();
    QCoreApplication::processEvents();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        EXPECT_EQ(qobject_cast<NumberInput*>(w), nullptr);
        EXPECT_EQ(qobject_cast<NumCharInput*>(w), nullptr);
    }
}

TEST_F(MainWindow, EveryWarningBoxWakesTheScreen) {
    installFactoryFiles();
    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    WindowUnderTest w;
    DeRaRazovi& m = *w.window;
    linux_kernel_proc_version = QStringLiteral("Linux version 6.5.0-14-generic");  // sysfs
    gpWPara->screenOffTime = 60;
    // Each box, shown without blocking or run modally (answered by the test, so shown to the
    // program only).
    const QList<QPair<QDialog*, bool>> warnings = {{gpWarnBox, false},
                                                   {gpWarnBox, true},
                                                   {gpLostCameraWarnBox, false},
                                                   {gpProductAlarmWarnBox, false}};
    for (const auto& [box, modal] : warnings) {
        m.TimerLCD();
        recorder().clear();
        modal ? void(box->exec()) : box->show();
        const QString name = box->metaObject()->className();
        EXPECT_EQ(m.isScreenOff, 0) << name.toStdString();
        EXPECT_TRUE(m.lcdTimer->isActive() && m.lcdTimer->interval() == 60000)
            << name.toStdString();
        ASSERT_FALSE(recorder().recorded().isEmpty());
        EXPECT_EQ(recorder().recorded().last().data, QByteArray("0\n")) << "backlight on";
        box->hide();
    }

    // The boxes the statistics screen makes for itself: "still exporting" for a second export
    // asked while one runs, and the result of the export.
    ASSERT_NE(StatisticsWidget::instance, nullptr);
    StatisticsWidget& screen = *StatisticsWidget::instance;
    ASSERT_TRUE(testsupport::installExporterStandIn());
    testsupport::FakeUsbDisk disk;
    screen.setUsbDisk(devices::UsbDiskFinder(disk.mountsFile(), disk.mountPoint()));
    QStringList litFor;
    dialogs::ScopedAnswerer ownBoxes([&](QDialog* dialog) {
        if (auto* dates = qobject_cast<DateSeletDialog*>(dialog)) {
            dates->presets()->button(2)->click();
        } else if (dialog != gpWarnBox && qobject_cast<WarnBox*>(dialog)) {
            if (m.isScreenOff == 0) litFor << dialog->property("text").toString();
            m.TimerLCD();
        }
        return int(QDialog::Accepted);
    });
    m.TimerLCD();
    screen.exportButton()->click();
    m.TimerLCD();
    screen.exportButton()->click();  // the first one has not finished: its result is queued
    ASSERT_TRUE(testsupport::waitFor([&] { return screen.exportIdle(); }));
    EXPECT_EQ(litFor.size(), 2) << litFor.join(" | ").toStdString();
    linux_kernel_proc_version.clear();
}
