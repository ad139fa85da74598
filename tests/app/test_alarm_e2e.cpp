// An NG alarm answered on the editing page, end to end: the main window with two simulation
// cameras serving drawn moulds (clean, and with faults of three sizes), the demonstration's
// defect areas and templates, the IO-board simulator on a pseudo-terminal and the fake
// monitoring companion. An input edge raises each alarm; the page's buttons answer it. The
// outputs at the board, the operation records, the clearing methods the companion receives,
// the template and ignore-point files on disk, and the system actions are checked.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QListWidget>
#include <QMouseEvent>
#include <QSqlDatabase>
#include <QWidget>
#include <functional>
#include <tuple>

#include "cammerwidget.h"
#include "colorbutton.h"
#include "combobox.h"
#include "customionamewidget.h"
#include "cyclefakes.h"
#include "demoseed.h"
#include "deraRazovi.h"
#include "detectioncontroller.h"
#include "dialogseam.h"
#include "drawroiwidget.h"
#include "edit.h"
#include "eventwait.h"
#include "fakecompanion.h"
#include "globals.h"
#include "mon_netmn.h"
#include "mouldscene.h"
#include "paramgroupspage.h"
#include "passwordbox.h"
#include "privatemount.h"
#include "recordspage.h"
#include "resstatisticsparam.h"
#include "settingsform.h"
#include "shownframe.h"
#include "statisticswidget.h"
#include "testsupport.h"
#include "warnbox.h"
#include "widgetchangecamera.h"
#include "windowrig.h"
#include "wizardpara.h"
#include "wizardparawidget.h"
#include "writefailuretexts.h"

using cycletest::WindowRig;
using testsupport::recorder;

namespace {

constexpr int kClamp = 0;
constexpr int kAlarm = 2;
constexpr int kWaitMs = 30000;
constexpr int kMouldOpen = 0;  // input terminal 1
constexpr int kDoor = 1;       // the safety door: closing it re-detects during an alarm
constexpr int kUnused = 7;     // an input nothing reads
constexpr int kMouldStep = 1;  // the step it starts (product detection off)

// The pictures each camera serves: a clean open mould, then faults of growing size, and the
// clean mould in a light a little brighter (it passes, and is not the reference's picture).
enum Picture { Clean, PinMissing, RunnerBlocked, PartLeft, CleanBrighter, PictureCount };

QImage drawn(Picture picture) {
    mouldpictures::CavityScene scene;
    scene.pinMissing = picture == PinMissing;
    scene.runnerBlocked = picture == RunnerBlocked;
    scene.partLeft = picture == PartLeft;
    QImage image = mouldpictures::drawCavityHalf(scene).convertToFormat(QImage::Format_Grayscale8);
    if (picture == CleanBrighter)
        for (int y = 0; y < image.height(); ++y) {
            uchar* row = image.scanLine(y);
            for (int x = 0; x < image.width(); ++x) row[x] = uchar(std::min(255, row[x] + 2));
        }
    return image;
}

QString url(const char* name) {
    return QStringLiteral("/inline/bymain/") + name;
}

// The grey bytes of a picture file, row after row; empty when it cannot be read.
QByteArray greyBytes(const QString& path) {
    const QImage image = QImage(path).convertToFormat(QImage::Format_Grayscale8);
    QByteArray bytes;
    for (int y = 0; y < image.height(); ++y)
        bytes.append(reinterpret_cast<const char*>(image.constScanLine(y)), image.width());
    return bytes;
}

int nonZero(const QByteArray& bytes) {
    return int(std::count_if(bytes.begin(), bytes.end(), [](char b) { return b != 0; }));
}

bool red(QRgb p) {
    return qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60;
}

// Pixels red in one grab of a picture that are not red in another (the blink's failed pixels).
int newlyRed(const QImage& before, const QImage& after) {
    int n = 0;
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x)
            n += red(after.pixel(x, y)) && !red(before.pixel(x, y));
    return n;
}

}  // namespace

class AlarmEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        recorder().clear();
        ASSERT_TRUE(companion.listen());
        companion.setHeartbeatResult({{"cntserver", true}, {"register", true}});
        recorder().setServicePort(sys::Service::MonitorLink, companion.port());
    }

    // Two cameras in standard mode with the product step off: the mould-open edge runs the
    // mould step. Two template slots unless the options say otherwise, no password.
    void start(const std::string& options = "") {
        cycletest::RigScenes scenes;
        scenes.pictures = [](int) {
            std::vector<QImage> pictures;
            for (int k = 0; k < PictureCount; ++k) pictures.push_back(drawn(Picture(k)));
            return pictures;
        };
        scenes.regions = [this](QSqlDatabase& db, int) {
            workdirdemo::DemoOptions demo;
            demo.pictureRoot = QDir::current().filePath(QStringLiteral("sim"));
            demo.display = QSize(gShowW, gShowH);
            const workdirdemo::DemoReport report = workdirdemo::seedDemoRegions(db, demo);
            seeded = report.steps;
            return report.ok;
        };
        rig = std::make_unique<WindowRig>(
            2,
            [&](WizardPara& p) {
                cycletest::setOptions(
                    p, "detectMode=0 detectProdEnable=0 detectEnable[0]=0 tempNum=2 " + options);
                p.isPswUsed = 0;
                p.picNumNG = p.picNumOK = 5;
                // The missing pin (55 pixels) fails too.
                p.alarmArea = 20;
            },
            recorder(), scenes);
        ASSERT_TRUE(rig->ok()) << rig->error().toStdString();
        ASSERT_EQ(seeded, QVector<int>{kMouldStep});
        // The program shows its window full screen.
        window().setGeometry(0, 0, gShowW, gShowH);
        window().show();
        link = MON_NETMN::getInstance();
        link->setWorkTask(true, false);
        link->InitStart();
        link->sndHeartBeat();
        // The link is the process's own: a heartbeat must reach this test's companion.
        ASSERT_TRUE(rig->waitFor(
            [&] {
                return link->isAllowSnd() == 1 && !companion.received(url("heartbeat")).isEmpty();
            },
            kWaitMs));
    }
    void TearDown() override {
        if (link) {
            link->setWorkTask(false, false);
            link->InitStart();
        }
        rig.reset();
        if (link) {
            // The link is the process's own and sends what one companion left unanswered again
            // to the next: the next test's companion would count this one's alarms.
            EXPECT_TRUE(
                testsupport::waitFor([&] { return link->unansweredMessages() == 0; }, kWaitMs));
        }
    }

    DeRaRazovi& window() { return rig->window(); }
    DrawROIWidget& page() { return *window().drawROIWidget; }
    CammerWidget& view(int c) { return *window().cammerWidgets[c]; }
    QString folderFile(const QString& name) const { return QDir(rig->folder()).filePath(name); }

    // A mould-open edge with camera c showing pictures[c]; waits until the step is decided.
    void cycle(std::vector<Picture> pictures) {
        const int decided = gAllNum[0];
        for (int c = 0; c < int(pictures.size()); ++c) rig->showPicture(c, pictures[c]);
        rig->setInput(kMouldOpen, true);
        ASSERT_TRUE(rig->waitFor([&] { return gAllNum[0] > decided || window().resultState == 2; },
                                 kWaitMs));
        rig->setInput(kMouldOpen, false);
        ASSERT_TRUE(rig->waitInputSeen(kMouldOpen, false, kWaitMs));
    }
    // An alarm of the mould step: the alarm output is on and the page shows the live image.
    void raiseAlarm(std::vector<Picture> pictures) {
        cycle(pictures);
        ASSERT_TRUE(rig->waitOutput(kAlarm, true, kWaitMs));
        ASSERT_EQ(window().resultState, 2);
        ASSERT_TRUE(page().isVisible());
        ASSERT_EQ(gSource, 1);
    }
    // The alarm is lifted: outputs free, the page closed, detection running again.
    void expectLifted() {
        EXPECT_TRUE(rig->waitOutput(kAlarm, false, kWaitMs));
        EXPECT_TRUE(rig->waitOutput(kClamp, false, kWaitMs));
        EXPECT_NE(window().resultState, 2);
        EXPECT_EQ(window().detectState, 1);
        EXPECT_FALSE(page().isVisible());
        EXPECT_EQ(gSource, -1);
    }
    // The clearing methods of the latest finished alarm, as the companion received them.
    QString lastClearMethod(int finished) {
        EXPECT_TRUE(rig->waitFor(
            [&] { return companion.received(url("alarm_finishtiming")).size() == finished; },
            kWaitMs));
        return companion.received(url("alarm_finishtiming"))
            .value(finished - 1)
            .json()["clear_method"]
            .toString();
    }
    void chooseCamera(int index) { page().cbCamera->setCurrentIndex(index); }
    // A camera's files of the mould step on a disk of their own, which then fills up.
    static void fullDiskFor(const QDir& folder, std::unique_ptr<testsupport::TmpfsMount>& disk) {
        std::vector<std::pair<QString, QByteArray>> files;
        for (const QString& name : folder.entryList(QDir::Files)) {
            QFile f(folder.filePath(name));
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            files.emplace_back(f.fileName(), f.readAll());
        }
        disk = std::make_unique<testsupport::TmpfsMount>(folder.path(), 4 << 20);
        ASSERT_TRUE(disk->isMounted());
        for (const auto& file : files) {
            QFile f(file.first);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(file.second) == file.second.size());
        }
        disk->fill();
    }
    // A resample confirmed, and the next mould its sample; waits for the area check it opens.
    void resample(Picture sample) {
        window().SlotReTrain();
        rig->showPicture(0, sample);
        rig->showPicture(1, sample);
        rig->setInput(kMouldOpen, true);
        ASSERT_TRUE(rig->waitFor([&] { return page().isVisible(); }, kWaitMs));
        rig->setInput(kMouldOpen, false);
        ASSERT_TRUE(rig->waitInputSeen(kMouldOpen, false, kWaitMs));
    }
    bool recorded(const QString& text) { return rig->records().contains(text); }

    fakepeer::FakeCompanion companion;
    std::unique_ptr<WindowRig> rig;
    MON_NETMN* link = nullptr;
    QVector<int> seeded;
};

TEST_F(AlarmEndToEnd, EachAnswerOfTheAlarmPage) {
    ASSERT_NO_FATAL_FAILURE(start());
    // Every question is confirmed; warnings are acknowledged.
    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    const auto said = [&](const QString& text) {
        int n = 0;
        for (const dialogs::Asked& a : answers.asked()) n += a.text == text;
        return n;
    };
    const QString mask1 = folderFile("cammer12/ignorepoint.bmp");
    const int morning = gpResStatisticsParam->morningsStart;
    const QString template0 = folderFile("cammer12/template0.bmp");
    const QString template1 = folderFile("cammer12/template1.bmp");
    const QByteArray reference = greyBytes(template0);
    ASSERT_FALSE(reference.isEmpty());
    int finished = 0;

    // --- the alarm page, and re-detection ---
    ASSERT_NO_FATAL_FAILURE(raiseAlarm({RunnerBlocked, Clean}));
    EXPECT_TRUE(rig->output(kClamp)) << "closing withheld";
    EXPECT_TRUE(recorded(lan(151).arg(1).chopped(1) + lan(152)));
    EXPECT_EQ(window().curCamera, 2) << "every camera tiled";
    for (QAbstractButton* b : {static_cast<QAbstractButton*>(page().btnAddTemp),
                               static_cast<QAbstractButton*>(page().btnNoCheck),
                               static_cast<QAbstractButton*>(page().btnReCheck),
                               static_cast<QAbstractButton*>(page().btnShowIgnore),
                               static_cast<QAbstractButton*>(page().btnIgnoreAlarm),
                               static_cast<QAbstractButton*>(page().btnDeleteIgnore)})
        EXPECT_TRUE(b->isVisible()) << b->text().toStdString();
    EXPECT_FALSE(page().btnReturn->isVisible());

    // The failed pixels blink red on the failing camera's tile, and only there.
    const auto grabInPhase = [&](int phase) {
        EXPECT_TRUE(rig->waitFor([&] { return view(0).alarmBlink == phase; }, kWaitMs));
        return window().grab().toImage();
    };
    const QImage blinkOn = grabInPhase(1), blinkOff = grabInPhase(0);
    const QRect tile0 = view(0).geometry(), tile1 = view(1).geometry();
    EXPECT_GT(newlyRed(blinkOff.copy(tile0), blinkOn.copy(tile0)), 100);
    EXPECT_EQ(newlyRed(blinkOff.copy(tile1), blinkOn.copy(tile1)), 0);
    const QString shots = qEnvironmentVariable("MOULDMON_ALARM_SHOTS");
    if (!shots.isEmpty()) {
        EXPECT_TRUE(blinkOn.save(QDir(shots).filePath("alarm-page.png")));
    }

    // Still failing: the alarm stays, nothing is counted again.
    const int failedSteps = gFailNum[0];
    page().btnReCheck->click();
    EXPECT_EQ(window().resultState, 2);
    EXPECT_TRUE(rig->output(kAlarm));
    EXPECT_TRUE(page().isVisible());
    EXPECT_EQ(gFailNum[0], failedSteps);
    // On camera 1 with the fault gone, the re-detection passes and lifts the alarm.
    chooseCamera(0);
    EXPECT_EQ(window().curCamera, 0);
    rig->showPicture(0, Clean);
    ASSERT_TRUE(
        rig->waitFor([&] { return view(0).context.grabBuf == view(1).context.grabBuf; }, kWaitMs));
    page().btnReCheck->click();
    expectLifted();
    EXPECT_EQ(lastClearMethod(++finished), QString()) << "a passed re-detection names none";

    // --- "Don't Detect", one camera ---
    ASSERT_NO_FATAL_FAILURE(raiseAlarm({PinMissing, Clean}));
    chooseCamera(1);
    page().btnNoCheck->click();
    EXPECT_EQ(said(lan(107)), 1) << "camera 2 passed";
    EXPECT_TRUE(rig->output(kAlarm));
    chooseCamera(0);
    page().btnNoCheck->click();
    EXPECT_EQ(said(lan(105).arg(1)), 1);
    expectLifted();
    EXPECT_TRUE(recorded(lan(106).arg(1)));
    EXPECT_EQ(lastClearMethod(++finished), QStringLiteral(" 相机1:不检测此模解除"));

    // --- "Don't Detect", all cameras ---
    ASSERT_NO_FATAL_FAILURE(raiseAlarm({PinMissing, PinMissing}));
    EXPECT_TRUE(recorded(lan(151).arg(1) + lan(151).arg(2).chopped(1) + lan(152)));
    page().btnNoCheck->click();
    EXPECT_EQ(said(lan(102)), 1);
    expectLifted();
    EXPECT_TRUE(recorded(lan(103)));
    EXPECT_EQ(lastClearMethod(++finished),
              QStringLiteral(" 相机1:不检测此模解除 相机2:不检测此模解除"));

    // --- ignore points: shown, added (the fault then passes), deleted ---
    ASSERT_NO_FATAL_FAILURE(raiseAlarm({PinMissing, Clean}));
    page().btnShowIgnore->click();
    EXPECT_EQ(said(lan(107)), 2) << "every camera tiled";
    chooseCamera(0);
    page().btnShowIgnore->click();
    EXPECT_EQ(view(0).alarmBlink, 2);
    EXPECT_EQ(page().btnShowIgnore->text(), lan(112));
    page().btnShowIgnore->click();
    EXPECT_EQ(view(0).alarmBlink, 0);
    EXPECT_EQ(page().btnShowIgnore->text(), lan(64));
    EXPECT_FALSE(QFile::exists(mask1) && nonZero(greyBytes(mask1)) > 0);
    page().btnIgnoreAlarm->click();
    EXPECT_EQ(said(lan(113)), 1);
    EXPECT_TRUE(recorded(lan(114).arg(1)));
    const int ignored = nonZero(greyBytes(mask1));
    EXPECT_GT(ignored, 0) << "the failed pixels are ignored from now on";
    EXPECT_TRUE(rig->output(kAlarm)) << "ignoring answers nothing by itself";
    page().btnReCheck->click();
    expectLifted();
    lastClearMethod(++finished);
    const int passedBefore = gAllNum[0] - gFailNum[0];
    ASSERT_NO_FATAL_FAILURE(cycle({PinMissing, Clean}));
    EXPECT_EQ(gAllNum[0] - gFailNum[0], passedBefore + 1) << "the ignored fault passes";
    EXPECT_NE(window().resultState, 2);

    ASSERT_NO_FATAL_FAILURE(raiseAlarm({RunnerBlocked, Clean}));
    chooseCamera(0);
    page().btnDeleteIgnore->click();
    EXPECT_EQ(said(lan(116)), 1);
    EXPECT_TRUE(recorded(lan(117).arg(1)));
    EXPECT_EQ(nonZero(greyBytes(mask1)), 0);
    EXPECT_EQ(greyBytes(mask1).size(), view(0).pixelCount);

    // --- "Add As Temp", library not full: slot 1 ---
    EXPECT_FALSE(QFile::exists(template1));
    const QByteArray fault(reinterpret_cast<const char*>(view(0).context.alignedBuf.data()),
                           int(view(0).context.alignedBuf.size()));
    page().btnAddTemp->click();
    EXPECT_EQ(said(lan(108)), 1);
    expectLifted();
    EXPECT_EQ(greyBytes(template1), fault) << "the failed frame is template 1";
    EXPECT_EQ(greyBytes(template0), reference);
    EXPECT_EQ(view(0).context.templateCount[kMouldStep], 2);
    EXPECT_TRUE(recorded(lan(109).arg(1)));
    EXPECT_EQ(lastClearMethod(++finished), QStringLiteral(" 相机1:添加为模板解除"));

    // --- "Add As Temp", library full: a leftover past the slots gives its place ---
    const QString leftover = folderFile("cammer12/template5.bmp");
    const QString copy = folderFile("cammer12/template_copy.bmp");
    ASSERT_TRUE(QFile::copy(template1, leftover) && QFile::copy(template1, copy));
    const auto age = [](const QString& path, int days) {
        QFile f(path);
        return f.open(QIODevice::ReadWrite) &&
               f.setFileTime(QDateTime::currentDateTime().addDays(-days),
                             QFileDevice::FileModificationTime);
    };
    ASSERT_TRUE(age(template0, 30) && age(copy, 20) && age(leftover, 10));
    ASSERT_NO_FATAL_FAILURE(raiseAlarm({PartLeft, Clean}));
    chooseCamera(0);
    const QByteArray partLeft(reinterpret_cast<const char*>(view(0).context.alignedBuf.data()),
                              int(view(0).context.alignedBuf.size()));
    page().btnAddTemp->click();
    expectLifted();
    EXPECT_FALSE(QFile::exists(leftover)) << "past the last slot: removed";
    EXPECT_TRUE(QFile::exists(copy)) << "not a template of any slot";
    EXPECT_EQ(greyBytes(template1), partLeft) << "the last slot is replaced";
    EXPECT_EQ(greyBytes(template0), reference) << "the reference is never replaced";
    EXPECT_EQ(view(0).context.templateCount[kMouldStep], 2);
    EXPECT_EQ(lastClearMethod(++finished), QStringLiteral(" 相机1:添加为模板解除"));

    // Nothing asked the machine to restart or to power off.
    for (const char* program : {"reboot", "poweroff", "shutdown", "halt"})
        EXPECT_FALSE(recorder().ran(program)) << program;
}

// "Re-detected" in every detection mode: the step that failed is inspected again on the
// newest picture, and its pass lifts the alarm and lets the cycle go on.
TEST_F(AlarmEndToEnd, ReDetectionLiftsTheAlarmInEachMode) {
    const struct {
        const char* options;
        int failedStep;
        int stepsAfter;  // steps the lifted alarm runs by itself
    } rows[] = {
        // A passed product step runs the mould step next.
        {"detectMode=0 detectProdEnable", 0, 1},
        {"detectMode=1 moldSide=0 detectProdEnable", 0, 0},
        {"detectMode=2 moldSide=2 detectProdEnable", 0, 0},
        {"detectMode=3 detectNum=2 detectProdEnable sequentialDetect outputOwner[0]=0 "
         "outputOwner[1]=1 detectTrigIn[0]=0 detectTrigIn[1]=1 detectCutMode[0]=1 "
         "detectCutMode[1]=1",
         0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.options);
        // The rig's own scenes: a black picture passes, a white one fails every step.
        rig = std::make_unique<WindowRig>(
            1, [&](WizardPara& p) { cycletest::setOptions(p, row.options); }, recorder());
        ASSERT_TRUE(rig->ok()) << rig->error().toStdString();
        rig->setScene(0, true);
        rig->setInput(kMouldOpen, true);
        ASSERT_TRUE(rig->waitOutput(kAlarm, true, kWaitMs));
        rig->setInput(kMouldOpen, false);
        ASSERT_EQ(window().curDetect, row.failedStep);
        ASSERT_TRUE(page().isVisibleTo(&window()));

        rig->setScene(0, false);
        const int steps = gAllNum[0];
        ASSERT_TRUE(rig->waitFor(
            [&] {
                const auto& frame = view(0).context.grabBuf;
                return std::all_of(frame.begin(), frame.end(), [](uchar b) { return b == 0; });
            },
            kWaitMs));
        page().btnReCheck->click();
        EXPECT_TRUE(rig->waitOutput(kAlarm, false, kWaitMs));
        EXPECT_NE(window().resultState, 2);
        EXPECT_EQ(window().detectState, 1);
        EXPECT_FALSE(page().isVisibleTo(&window()));
        EXPECT_TRUE(rig->waitFor([&] { return gAllNum[0] == steps + row.stepsAfter; }, kWaitMs))
            << "the answer counts no step again";
        rig.reset();
    }
}

// The operator answers, or the timed release fires, after the alarm is gone: re-detected on a
// clean picture first, or lifted by the safety door closed while the page's question was open.
// Nothing is asked, recorded or switched after the lift; the areas stay and judge the next mould.
TEST_F(AlarmEndToEnd, NothingAnswersAnAlarmThatIsGone) {
    ASSERT_NO_FATAL_FAILURE(start("moldNGTimedRelease output4Pulse=100"));
    const QString paramDb = folderFile("PARAM.db");
    const auto bytes = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray params = bytes(paramDb);
    const int areas = view(0).liveParam->roiCount[kMouldStep];
    ASSERT_GT(areas, 0);
    int recordsAtLift = 0, pendingAtLift = 0, askedAtLift = 0;
    std::function<void()> lifted;
    QString doorAt;  // the question during which the door closes
    // The questions asked are confirmed, a save of the areas declined (it must not be asked).
    dialogs::ScopedAnswerer answers([&](QDialog* d) {
        const QString text = d->property("text").toString();
        if (text == doorAt) {
            rig->setInput(kDoor, true);
            EXPECT_TRUE(rig->waitFor([&] { return window().resultState != 2; }, kWaitMs));
            lifted();
        }
        return int(text == lan(72) ? QDialog::Rejected : QDialog::Accepted);
    });
    lifted = [&] {
        expectLifted();
        recordsAtLift = rig->records().size();
        pendingAtLift = window().detectPending[kMouldStep];
        askedAtLift = answers.count();
        rig->clearChanges();
    };
    bool marker = false;
    const auto nothingSinceLift = [&] {
        // The board has taken every output word written before the window sees this input.
        marker = !marker;
        rig->setInput(kUnused, marker);
        ASSERT_TRUE(rig->waitInputSeen(kUnused, marker, kWaitMs));
        EXPECT_EQ(rig->records().mid(recordsAtLift), QStringList());
        EXPECT_EQ(window().detectPending[kMouldStep], pendingAtLift);
        EXPECT_TRUE(rig->changes().empty());
        EXPECT_FALSE(page().isVisible());
        EXPECT_EQ(view(0).liveParam->roiCount[kMouldStep], areas);
        EXPECT_EQ(bytes(paramDb), params);
        for (const dialogs::Asked& a : answers.asked().mid(askedAtLift)) EXPECT_NE(a.text, lan(72));
    };
    const auto cleanOnCamera1 = [&] {
        rig->showPicture(0, Clean);
        return rig->waitFor([&] { return view(0).context.grabBuf == view(1).context.grabBuf; },
                            kWaitMs);
    };

    // Re-detected on a clean picture within the timed release; then the release is due.
    ASSERT_NO_FATAL_FAILURE(raiseAlarm({PinMissing, Clean}));
    chooseCamera(0);
    ASSERT_TRUE(cleanOnCamera1());
    page().btnReCheck->click();
    lifted();
    EXPECT_FALSE(window().clearNGAlarmTimer->isActive());
    window().SlotClearNGAlarm();
    nothingSinceLift();

    const struct {
        int camera;  // 2: every camera tiled
        QAbstractButton* button;
        QString question;
    } rows[] = {
        {0, page().btnNoCheck, lan(105).arg(1)}, {2, page().btnNoCheck, lan(102)},
        {0, page().btnAddTemp, lan(108)},        {0, page().btnIgnoreAlarm, lan(113)},
        {0, page().btnDeleteIgnore, lan(116)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.question.toStdString());
        ASSERT_NO_FATAL_FAILURE(raiseAlarm({PinMissing, Clean}));
        chooseCamera(row.camera);
        ASSERT_TRUE(cleanOnCamera1());
        doorAt = row.question;
        row.button->click();
        EXPECT_EQ(answers.asked().value(askedAtLift).text, row.question);
        nothingSinceLift();
        rig->setInput(kDoor, false);
        ASSERT_TRUE(rig->waitInputSeen(kDoor, false, kWaitMs));
    }
    ASSERT_NO_FATAL_FAILURE(raiseAlarm({PinMissing, Clean})) << "the areas judge the next mould";
}

// An NG alarm arrives while the Shut Down question is open: it closes the settings screen and
// ends the question with the visit. Confirmed all the same, nothing is recorded and the system
// is asked for nothing; the alarm keeps its outputs: the clamp stays withheld and detection
// stopped until the alarm is answered.
TEST_F(AlarmEndToEnd, ShutDownConfirmedAfterAnAlarmArrivedKeepsTheAlarm) {
    ASSERT_NO_FATAL_FAILURE(start());
    dialogs::ScopedAnswerer answers([&](QDialog* d) {
        if (d->property("text").toString() == lan(291))
            [&] { ASSERT_NO_FATAL_FAILURE(raiseAlarm({PinMissing, Clean})); }();
        return int(QDialog::Accepted);
    });
    window().SlotSystemPara();
    window().wizardParaWidget->findChild<ColorButton*>(QStringLiteral("stop1"))->click();
    ASSERT_EQ(answers.asked().value(0).text, lan(291));
    EXPECT_FALSE(recorded(lan(292)));
    EXPECT_FALSE(recorder().ran("poweroff"));
    // The board has taken every output word written before the window sees this input.
    rig->setInput(kUnused, true);
    ASSERT_TRUE(rig->waitInputSeen(kUnused, true, kWaitMs));
    EXPECT_TRUE(rig->output(kAlarm));
    EXPECT_TRUE(rig->output(kClamp));
    EXPECT_EQ(window().resultState, 2);
    EXPECT_NE(window().detectState, 1);
    EXPECT_TRUE(page().isVisible());
}

// An NG alarm hides the settings screen while its language question is open: the confirm of
// the cancelled visit stores nothing and restarts nothing.
TEST_F(AlarmEndToEnd, LanguageConfirmOfAVisitTheAlarmCancelledChangesNothing) {
    ASSERT_NO_FATAL_FAILURE(start());
    const int language = gLan;
    dialogs::ScopedAnswerer answers([&](QDialog* d) {
        if (d->property("text").toString() == lan(318))
            [&] { ASSERT_NO_FATAL_FAILURE(raiseAlarm({PinMissing, Clean})); }();
        return int(QDialog::Accepted);
    });
    window().SlotSystemPara();
    WizardParaWidget& screen = *window().wizardParaWidget;
    auto* choice = qobject_cast<ComboBox*>(screen.form()->editorOf(QStringLiteral("gLan")));
    ASSERT_TRUE(screen.isVisible() && choice);
    const int other = choice->findData((language + 1) % 4);
    choice->setCurrentIndex(other);
    emit choice->activated(other);
    screen.accept();
    EXPECT_EQ(answers.asked().value(0).text, lan(318));
    EXPECT_EQ(window().resultState, 2);
    EXPECT_FALSE(screen.isVisible());
    EXPECT_FALSE(recorded(lan(319)));
    EXPECT_FALSE(recorder().ran("reboot"));
    EXPECT_EQ(gLan, language);
    gLan = language;
}

// The question of an answer is open while the safety door lifts the alarm it was asked about
// (camera 1 shows a clean mould) and the next mould raises another. The old answer leaves the
// new alarm shown with its outputs, and writes nothing about it.
TEST_F(AlarmEndToEnd, AnAnswerToALiftedAlarmLeavesTheNextAlarm) {
    ASSERT_NO_FATAL_FAILURE(start("moldNGTimedRelease output4Pulse=100"));
    const QString mask1 = folderFile("cammer12/ignorepoint.bmp");
    const QString lateQuestion[] = {lan(72), lan(115).arg(2000), lan(38)};
    QString liftAt;
    int raised = 0;
    // Confirms everything but a save of the areas.
    dialogs::ScopedAnswerer answers([&](QDialog* d) {
        const QString text = d->property("text").toString();
        if (text == liftAt) {
            liftAt.clear();
            [&] {
                rig->showPicture(0, Clean);
                ASSERT_TRUE(rig->waitFor(
                    [&] { return view(0).context.grabBuf == view(1).context.grabBuf; }, kWaitMs));
                rig->setInput(kDoor, true);
                ASSERT_TRUE(rig->waitFor([&] { return window().resultState != 2; }, kWaitMs));
                rig->setInput(kDoor, false);
                ASSERT_TRUE(rig->waitInputSeen(kDoor, false, kWaitMs));
                ASSERT_NO_FATAL_FAILURE(raiseAlarm({PinMissing, Clean}));
                ++raised;
            }();
        }
        return int(text == lan(72) ? QDialog::Rejected : QDialog::Accepted);
    });
    const struct {
        const char* name;
        Picture fault;
        std::function<void()> answer;
    } rows[] = {
        // An area changed on the alarm page makes the timed release ask to save it.
        {"timed release", PinMissing,
         [&] {
             view(0).editParam->roiParam1[kMouldStep][0] += 1;
             window().SlotClearNGAlarm();
         }},
        // The runner fault is larger than an ignored area may be: the warning is modal.
        {"ignore points", PartLeft,
         [&] {
             chooseCamera(0);
             page().btnIgnoreAlarm->click();
         }},
        {"copy of an area", PinMissing,
         [&] {
             chooseCamera(0);
             page().cbSource->setCurrentIndex(0);
             page().btnCopyArea->click();
             const QPoint at = view(0).rect().center();
             QMouseEvent press(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton,
                               Qt::NoModifier);
             QMouseEvent release(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton,
                                 Qt::NoModifier);
             QApplication::sendEvent(&view(0), &press);
             QApplication::sendEvent(&view(0), &release);
         }},
    };
    int row = 0;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        ASSERT_NO_FATAL_FAILURE(raiseAlarm({r.fault, Clean}));
        liftAt = lateQuestion[row++];
        const int records = rig->records().size();
        raised = 0;
        r.answer();
        ASSERT_EQ(raised, 1) << "the question was asked";
        // The board has taken every output word written before the window sees this input.
        rig->setInput(kUnused, row % 2);
        ASSERT_TRUE(rig->waitInputSeen(kUnused, row % 2, kWaitMs));
        EXPECT_EQ(window().resultState, 2);
        EXPECT_TRUE(rig->output(kAlarm));
        EXPECT_TRUE(rig->output(kClamp));
        EXPECT_TRUE(page().isVisible());
        EXPECT_EQ(gSource, 1);
        EXPECT_EQ(rig->records().mid(records).filter(lan(103)), QStringList());
        EXPECT_EQ(rig->records().mid(records).filter(lan(114).arg(1)), QStringList());
        EXPECT_FALSE(QFile::exists(mask1) && nonZero(greyBytes(mask1)) > 0);
        EXPECT_TRUE(view(0).liveParam->sameParameters(*view(0).editParam))
            << "no edit waits to be saved";
        // Answered: the next row starts on a free screen.
        chooseCamera(2);
        page().btnNoCheck->click();
        expectLifted();
    }
}

// The password of a tool-bar command is typed while an NG alarm arrives: the command opens
// nothing over the alarm, and a refused area check leaves detection stopped by it.
TEST_F(AlarmEndToEnd, APasswordTypedWhileAnAlarmArrivesOpensNothingOverIt) {
    ASSERT_NO_FATAL_FAILURE(start());
    gpWPara->isPswUsed = 1;
    ASSERT_TRUE(gpWPara->setPassword(QStringLiteral("2468")));
    bool correct = true, raiseInBox = true;
    int sourceInBox = -2;
    dialogs::ScopedAnswerer answers([&](QDialog* d) {
        if (auto* box = qobject_cast<PasswordBox*>(d)) {
            sourceInBox = gSource;
            if (raiseInBox) [&] { ASSERT_NO_FATAL_FAILURE(raiseAlarm({PinMissing, Clean})); }();
            box->setEnteredPassword(correct ? QStringLiteral("2468") : QStringLiteral("1357"));
            box->accept();
            return box->result();
        }
        return int(QDialog::Accepted);
    });
    const struct {
        const char* name;
        bool correct;
        std::function<void()> command;
    } rows[] = {
        {"settings", true, [&] { window().SlotSystemPara(); }},
        {"area editor", true, [&] { window().SlotAdjustArea(); }},
        {"area check", true, [&] { window().CheckArea(); }},
        {"area check refused", false, [&] { window().CheckArea(); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        window().loginLevel = 0;
        correct = row.correct;
        const int asked = answers.count();
        row.command();
        ASSERT_GT(answers.count(), asked) << "the password was asked";
        EXPECT_EQ(window().loginLevel, row.correct ? 1 : 0);
        EXPECT_EQ(window().resultState, 2);
        EXPECT_FALSE(window().wizardParaWidget->isVisible());
        EXPECT_TRUE(page().isVisible());
        EXPECT_EQ(gSource, 1);
        EXPECT_EQ(gFromTrain, 0);
        EXPECT_NE(window().detectState, 1);
        EXPECT_TRUE(rig->output(kAlarm));
        gFromTrain = 0;
        window().loginLevel = 2;
        chooseCamera(2);
        page().btnNoCheck->click();
        expectLifted();
    }

    // The alarm page switched to the templates shows the live image while the password is
    // typed, and after a refusal.
    ASSERT_NO_FATAL_FAILURE(raiseAlarm({PinMissing, Clean}));
    raiseInBox = correct = false;
    window().loginLevel = 0;
    chooseCamera(0);
    page().cbSource->setCurrentIndex(0);
    EXPECT_EQ(sourceInBox, 1);
    EXPECT_EQ(gSource, 1);
}

// An NG alarm hides the settings screen while a box of one of its roads is open: the road does
// nothing more after it. Nothing is stored, recorded, restarted or stopped, and the alarm is
// shown with its outputs. A confirm stores before its password notice: what is stored stays,
// and no restart follows. A restore is in force before the refusal of its restart is told: an
// "Add As Temp" given to the alarm raised meanwhile takes a free slot of the restored templates
// and writes over none of them. The statistics screen's question goes the same way.
TEST_F(AlarmEndToEnd, ConfirmsOfAVisitTheAlarmCancelledChangeNothing) {
    ASSERT_NO_FATAL_FAILURE(start("tempNum=3"));
    const int language = gLan;
    const int otherLanguage = (language + 1) % kLanguageCount;
    QString alarmAt;
    Picture fault = PinMissing;
    dialogs::ScopedAnswerer answers([&](QDialog* d) {
        if (!alarmAt.isEmpty() && d->property("text").toString().contains(alarmAt)) {
            alarmAt.clear();
            [&] { ASSERT_NO_FATAL_FAILURE(raiseAlarm({fault, Clean})); }();
        }
        return int(QDialog::Accepted);
    });
    // In the language in force when it is written.
    const auto alarmRecord = [] { return lan(151).arg(1).chopped(1) + lan(152); };
    const auto groups = [](WizardParaWidget& screen) {
        return screen.findChild<settings::ParamGroupsPage*>();
    };
    const auto choose = [&](WizardParaWidget& screen, const char* group) {
        QListWidget* list = groups(screen)->list();
        list->setCurrentItem(list->findItems(group, Qt::MatchExactly).value(0));
    };
    const auto stopButton = [](WizardParaWidget& screen, int command) {
        screen.findChild<ColorButton*>(QStringLiteral("stop%1").arg(command))->click();
    };
    const int morning = gpResStatisticsParam->morningsStart;
    const QString template0 = folderFile("cammer12/template0.bmp");
    const QString template1 = folderFile("cammer12/template1.bmp");
    const struct {
        const char* name;
        QString alarmAt;  // words of the box the alarm comes in
        std::function<void(WizardParaWidget&)> road;
        std::function<void()> check;  // what the road left, once the alarm is answered
        const char* program;          // the one system command asked for before the box
        std::function<void()> answer;
    } rows[] = {
        {"group restore", lan(285),
         [&](WizardParaWidget& screen) {
             groups(screen)->nameField()->setText(QStringLiteral("kept"));
             ASSERT_TRUE(groups(screen)->backup());
             choose(screen, "kept");
             EXPECT_FALSE(groups(screen)->restore());
         }},
        {"records clear", lan(297),
         [](WizardParaWidget& screen) {
             EXPECT_FALSE(screen.findChild<settings::RecordsPage*>()->clear());
         }},
        {"group backup", lan(283),
         [&](WizardParaWidget& screen) {
             groups(screen)->nameField()->setText(QStringLiteral("unsaved"));
             EXPECT_FALSE(groups(screen)->backup());
         },
         [&] { EXPECT_FALSE(QDir(folderFile("paraGroup/unsaved")).exists()); }},
        {"group delete", lan(287),
         [&](WizardParaWidget& screen) {
             choose(screen, "kept");
             EXPECT_FALSE(groups(screen)->remove());
         },
         [&] { EXPECT_TRUE(QDir(folderFile("paraGroup/kept")).exists()); }},
        {"restart", lan(293), [&](WizardParaWidget& screen) { stopButton(screen, 2); }},
        {"exit", lan(294), [&](WizardParaWidget& screen) { stopButton(screen, 0); },
         [&] { EXPECT_TRUE(view(0).isOpen); }},
        {"refused restart of a restore", QStringLiteral("reboot (1)"),
         [&](WizardParaWidget& screen) {
             // The group holds a second template the cameras no longer have.
             ASSERT_TRUE(QFile::copy(template0, template1));
             groups(screen)->nameField()->setText(QStringLiteral("two templates"));
             ASSERT_TRUE(groups(screen)->backup());
             ASSERT_TRUE(QFile::remove(template1));
             recorder().scriptCommand(QStringLiteral("reboot"), sys::CommandResult{true, 1, {}});
             choose(screen, "two templates");
             EXPECT_TRUE(groups(screen)->restore());
             recorder().scriptCommand(QStringLiteral("reboot"), sys::CommandResult{true, 0, {}});
         },
         [&] {
             EXPECT_EQ(greyBytes(template1), greyBytes(template0)) << "restored, not overwritten";
             EXPECT_TRUE(QFileInfo::exists(folderFile("cammer12/template2.bmp")));
             // The missing pin passes from now on.
             fault = RunnerBlocked;
         },
         "reboot",
         [&] {
             chooseCamera(0);
             page().btnAddTemp->click();
         }},
        {"statistics shift hours", lan(234),
         [&](WizardParaWidget&) {
             StatisticsWidget* statistics = StatisticsWidget::getInstance(&window());
             statistics->show();
             statistics->hourBox(0)->setCurrentIndex(morning + 1);
             statistics->SlotConfirm();
         },
         [&] { EXPECT_EQ(gpResStatisticsParam->morningsStart, morning); }},
        // Last: the language changes.
        {"password notice", gaLanStr[279 * kLanguageCount + otherLanguage],
         [&](WizardParaWidget& screen) {
             auto* choice = qobject_cast<ComboBox*>(screen.form()->editorOf("gLan"));
             ASSERT_TRUE(choice);
             choice->setCurrentIndex(choice->findData(otherLanguage));
             emit choice->activated(choice->currentIndex());
             for (Edit* field : screen.form()->findChildren<Edit*>())
                 if (field->echoMode() == QLineEdit::Password) field->setText("4321");
             screen.accept();
         },
         [&] {
             EXPECT_EQ(gpWPara->passwordText(), QString("4321")) << "stored before the notice";
             gLan = language;
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        window().SlotSystemPara();
        window().loginLevel = 2;
        recorder().clear();
        alarmAt = row.alarmAt;
        ASSERT_NO_FATAL_FAILURE(row.road(*window().wizardParaWidget));
        ASSERT_TRUE(alarmAt.isEmpty()) << "the alarm came in the box";
        EXPECT_EQ(window().resultState, 2);
        EXPECT_FALSE(window().wizardParaWidget->isVisible());
        EXPECT_EQ(rig->records().value(rig->records().size() - 1), alarmRecord())
            << "nothing recorded after the box";
        EXPECT_EQ(recorder().programs().filter(QRegExp("^(reboot|poweroff)$")),
                  row.program ? QStringList{row.program} : QStringList());
        if (row.answer) {
            row.answer();
        } else {
            chooseCamera(2);
            page().btnNoCheck->click();
        }
        expectLifted();
        if (row.check) row.check();
    }
    for (const dialogs::Asked& box : answers.asked())
        EXPECT_TRUE(box.aboutSubject) << box.text.toStdString();
}

// An NG alarm arrives while the camera numbers or the IO names (opened from the settings
// screen) or the statistics are on screen: they go with the settings screen, and nothing is
// left over the failed pictures.
TEST_F(AlarmEndToEnd, AnAlarmLeavesNoPageOverTheFailedPictures) {
    ASSERT_NO_FATAL_FAILURE(start());
    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    QWidget* const covers[] = {window().changeCameraWidget, window().customIONameWidget,
                               StatisticsWidget::getInstance(&window())};
    for (QWidget* cover : covers) {
        SCOPED_TRACE(cover->metaObject()->className());
        window().SlotSystemPara();
        cover->show();
        cover->raise();
        ASSERT_NO_FATAL_FAILURE(raiseAlarm({PinMissing, Clean}));
        EXPECT_FALSE(cover->isVisible());
        chooseCamera(2);
        page().btnNoCheck->click();
        expectLifted();
    }
}

// An area is changed on the area-setting page and the page's save question is open when an NG
// alarm opens the page again for itself. The edits asked about went with the old opening: a
// Confirm saves nothing, and says so instead of passing for a save.
TEST_F(AlarmEndToEnd, ASaveConfirmedAfterAnAlarmReopenedThePageSaysItSavedNothing) {
    ASSERT_NO_FATAL_FAILURE(start());
    const QByteArray params = [&] {
        QFile f(folderFile("PARAM.db"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    dialogs::ScopedAnswerer answers([&](QDialog* d) {
        if (d->property("text").toString() == lan(72))
            [&] { ASSERT_NO_FATAL_FAILURE(raiseAlarm({PinMissing, Clean})); }();
        return int(QDialog::Accepted);
    });
    window().SlotAdjustArea();
    ASSERT_EQ(window().resultState, 3);
    view(0).editParam->roiParam1[kMouldStep][0] += 1;
    page().btnReturn->click();
    EXPECT_EQ(window().resultState, 2);
    ASSERT_EQ(answers.count(), 2);
    EXPECT_EQ(answers.asked()[0].text, lan(72));
    EXPECT_EQ(answers.asked()[1].className, QStringLiteral("WarnBox"));
    EXPECT_TRUE(answers.asked()[1].text.contains(QStringLiteral("参数未保存")));
    EXPECT_TRUE(view(0).liveParam->sameParameters(*view(0).editParam));
    QFile stored(folderFile("PARAM.db"));
    EXPECT_TRUE(stored.open(QIODevice::ReadOnly) && stored.readAll() == params);
}

// The re-sampling question is open while an NG alarm is raised and released by its timer,
// the mould it failed on looked at by nobody. The confirm given before leaves the templates
// alone: sampled now, they could learn that fault.
TEST_F(AlarmEndToEnd, AResampleConfirmedAcrossAnAlarmResamplesNothing) {
    ASSERT_NO_FATAL_FAILURE(start("moldNGTimedRelease output4Pulse=100"));
    dialogs::ScopedAnswerer answers([&](QDialog* d) {
        if (d->property("text").toString() == lan(137))
            [&] {
                ASSERT_NO_FATAL_FAILURE(raiseAlarm({PinMissing, Clean}));
                window().SlotClearNGAlarm();
                ASSERT_NO_FATAL_FAILURE(expectLifted());
            }();
        return int(QDialog::Accepted);
    });
    const int records = rig->records().size();
    window().SlotReTrain();
    ASSERT_EQ(answers.count(), 1);
    EXPECT_EQ(rig->records().mid(records).filter(lan(139)), QStringList());
    EXPECT_EQ(view(0).reTrainPending[kMouldStep], 0);
}

// A resample on a disk that takes no more files: camera 1's template 0 and the ignore points the
// resample clears cannot be written. Both stay in force as the disk keeps them (the fault still
// fails, the clean mould passes), the operator is told which files and why, and the records
// follow the press with the refusals. The automatic update that cannot write its templates is
// told with the other files the disk refuses, every camera's file that it refuses.
TEST_F(AlarmEndToEnd, AResampleTheDiskRefusesKeepsTheOldTemplateAndSaysWhy) {
    if (!testsupport::inPrivateMountNamespace()) return;
    ASSERT_NO_FATAL_FAILURE(start());
    engine::EngineContext& ctx = view(0).context;
    ctx.ignoreMask[kMouldStep][0] = 255;  // far from every fault
    ASSERT_TRUE(view(0).SaveIgnorePoint(kMouldStep));
    const std::vector<uchar> mask = ctx.ignoreMask[kMouldStep];
    const QDir folder(folderFile("cammer12"));
    std::unique_ptr<testsupport::TmpfsMount> disk, secondDisk;
    ASSERT_NO_FATAL_FAILURE(fullDiskFor(folder, disk));
    const QString template0 = folder.filePath("template0.bmp");
    const QByteArray reference = greyBytes(template0);
    const auto inForce = [&] {
        const std::vector<uchar>& t = ctx.templateBuf[kMouldStep][0];
        return QByteArray(reinterpret_cast<const char*>(t.data()), int(t.size()));
    };
    ASSERT_TRUE(inForce() == reference);
    const QString maskUnwritten =
        lang::cannotWriteText("cammer12/ignorepoint.bmp", storage::WriteCause::NoSpace);
    const QString templateUnwritten =
        lang::cannotWriteText("cammer12/template0.bmp", storage::WriteCause::NoSpace);

    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    const int before = rig->records().size();
    window().SlotReTrain();
    EXPECT_TRUE(gpWarnBox->isVisible() && gpWarnBox->text().contains(maskUnwritten))
        << gpWarnBox->text().toStdString();
    // The next judged frame, the fault, is the sample.
    rig->showPicture(0, PinMissing);
    rig->showPicture(1, Clean);
    rig->setInput(kMouldOpen, true);
    ASSERT_TRUE(rig->waitFor([&] { return page().isVisible(); }, kWaitMs));
    rig->setInput(kMouldOpen, false);
    ASSERT_TRUE(rig->waitInputSeen(kMouldOpen, false, kWaitMs));
    // Each warning in its turn.
    const auto confirmShown = [] {
        if (gpWarnBox->isVisible()) gpWarnBox->findChild<QAbstractButton*>("confirm")->click();
    };
    confirmShown();
    EXPECT_TRUE(rig->waitFor(
        [&] { return gpWarnBox->isVisible() && gpWarnBox->text().contains(templateUnwritten); },
        kWaitMs))
        << gpWarnBox->text().toStdString();
    confirmShown();
    const QStringList records = rig->records().mid(before);
    const auto position = [&](const QString& text) {
        for (int i = 0; i < records.size(); ++i)
            if (records[i].contains(text)) return i;
        return -1;
    };
    const int press = records.indexOf(lan(585) + lan(139));
    EXPECT_TRUE(press >= 0 && press < position(maskUnwritten) &&
                position(maskUnwritten) < position(templateUnwritten))
        << records.join(" | ").toStdString();
    EXPECT_TRUE(inForce() == reference);
    EXPECT_TRUE(greyBytes(template0) == reference);
    EXPECT_TRUE(ctx.ignoreMask[kMouldStep] == mask);

    // Back from the page: trained on the templates in force.
    page().btnReturn->click();
    ASSERT_TRUE(rig->waitFor([&] { return !window().cycle().reTrainAll; }, kWaitMs));
    ASSERT_NO_FATAL_FAILURE(cycle({PinMissing, Clean}));
    EXPECT_EQ(window().resultState, 2) << "the fault still fails";
    if (window().resultState == 2) {
        chooseCamera(0);
        rig->showPicture(0, Clean);
        ASSERT_TRUE(rig->waitFor([&] { return view(0).context.grabBuf == view(1).context.grabBuf; },
                                 kWaitMs));
        page().btnReCheck->click();
        expectLifted();
    }

    // Camera 2's disk is full too: the update names both cameras' files.
    ASSERT_NO_FATAL_FAILURE(fullDiskFor(folderFile("cammer22"), secondDisk));
    const QString secondUnwritten =
        lang::cannotWriteText("cammer22/template0.bmp", storage::WriteCause::NoSpace);
    testsupport::MessageCatcher errors(QtCriticalMsg);
    gpWPara->templateAutoUpdate = 1;
    ASSERT_NO_FATAL_FAILURE(cycle({Clean, Clean}));
    EXPECT_NE(window().resultState, 2);
    EXPECT_TRUE(rig->waitFor(
        [&] {
            return gpWarnBox->isVisible() && gpWarnBox->text().contains(templateUnwritten) &&
                   gpWarnBox->text().contains(secondUnwritten);
        },
        kWaitMs))
        << gpWarnBox->text().toStdString();
    const QStringList logged = errors.messages().filter("templates cannot be written");
    EXPECT_TRUE(logged.size() == 1 && logged[0].contains("cammer12/template0.bmp") &&
                logged[0].contains("cammer22/template0.bmp"))
        << logged.join(" | ").toStdString();
}

// "Add As Temp" accepted a failing mould as template 1; a resample on a full disk cannot store
// its new template 0. Every template stays, on the disk and in force (the accepted mould still
// passes), and the box and the records say so. Once the disk takes it, the new template 0
// replaces the whole set.
TEST_F(AlarmEndToEnd, ARefusedResampleKeepsTheTemplatesAddedAndSaysSo) {
    if (!testsupport::inPrivateMountNamespace()) return;
    ASSERT_NO_FATAL_FAILURE(start());
    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    engine::EngineContext& ctx = view(0).context;
    ASSERT_NO_FATAL_FAILURE(raiseAlarm({PartLeft, Clean}));
    chooseCamera(0);
    page().btnAddTemp->click();
    expectLifted();
    ASSERT_EQ(ctx.templateCount[kMouldStep], 2);
    const QString template1 = folderFile("cammer12/template1.bmp");
    const QByteArray accepted = greyBytes(template1);
    ASSERT_FALSE(accepted.isEmpty());

    std::unique_ptr<testsupport::TmpfsMount> disk;
    ASSERT_NO_FATAL_FAILURE(fullDiskFor(folderFile("cammer12"), disk));
    const QString told = lang::templateNotResampledText(1, 2, "cammer12/template0.bmp");
    const int before = rig->records().size();
    ASSERT_NO_FATAL_FAILURE(resample(Clean));
    EXPECT_TRUE(rig->waitFor(
        [&] { return gpWarnBox->isVisible() && gpWarnBox->text().contains(told); }, kWaitMs))
        << gpWarnBox->text().toStdString() << " / " << told.toStdString();
    EXPECT_TRUE(rig->records().mid(before).contains(told));
    EXPECT_TRUE(greyBytes(template1) == accepted);
    EXPECT_EQ(std::make_tuple(ctx.templateCount[kMouldStep], ctx.templateUsed[kMouldStep][1]),
              std::make_tuple(2, 1));
    gpWarnBox->findChild<QAbstractButton*>("confirm")->click();
    page().btnReturn->click();
    ASSERT_TRUE(rig->waitFor([&] { return !window().cycle().reTrainAll; }, kWaitMs));
    ASSERT_NO_FATAL_FAILURE(cycle({PartLeft, Clean}));
    EXPECT_NE(window().resultState, 2) << "the mould accepted as a template still passes";

    disk->unfill();
    ASSERT_NO_FATAL_FAILURE(resample(Clean));
    EXPECT_TRUE(rig->waitFor([&] { return !QFile::exists(template1); }, kWaitMs));
    EXPECT_EQ(std::make_tuple(ctx.templateCount[kMouldStep], ctx.templateUsed[kMouldStep][1]),
              std::make_tuple(1, 0));
    page().btnReturn->click();
}

// The roads through the question mechanism. While a box is open the machine goes on, and what
// the box was asked about changes: on the alarm page the safety door closes and its re-check
// judges a new frame (the blocked runner) that still fails, the alarm, its number, the page,
// the camera and the step all as they were; over the tool bar or the area-setting page an NG
// alarm arrives. The answer given afterwards was about what is gone: it stores no template,
// ignores no pixel, skips no mould, releases, stops and opens nothing, and leaves the alarm
// shown for the picture actually judged. Every box was asked about its subject.
TEST_F(AlarmEndToEnd, AnAnswerAcrossAChangeOfItsSubjectActsOnNothing) {
    ASSERT_NO_FATAL_FAILURE(start());
    const int withoutSubject = dialogs::boxesRunWithoutSubject();
    const QString template1 = folderFile("cammer12/template1.bmp");
    const QString mask1 = folderFile("cammer12/ignorepoint.bmp");
    // The door closes on the blocked runner, which fails again.
    const auto reCheckFails = [&] {
        const quint32 alarm = window().cycle().alarmSerial();
        const quint32 judged = window().cycle().judgementSerial();
        const int opening = page().page().opening();
        const auto before = view(0).context.grabBuf;
        rig->showPicture(0, RunnerBlocked);
        ASSERT_TRUE(rig->waitFor([&] { return view(0).context.grabBuf != before; }, kWaitMs));
        rig->setInput(kDoor, true);
        ASSERT_TRUE(
            rig->waitFor([&] { return window().cycle().judgementSerial() != judged; }, kWaitMs));
        rig->setInput(kDoor, false);
        ASSERT_TRUE(rig->waitInputSeen(kDoor, false, kWaitMs));
        ASSERT_EQ(window().resultState, 2);
        ASSERT_EQ(window().cycle().alarmSerial(), alarm);
        ASSERT_EQ(page().page().opening(), opening);
    };
    const auto alarmArrives = [&] { ASSERT_NO_FATAL_FAILURE(raiseAlarm({PinMissing, Clean})); };
    int recordsBefore = 0;
    const auto recordedNow = [&](const QString& text) {
        return rig->records().mid(recordsBefore).contains(text);
    };
    QString at;  // the box during which the subject changes ("password": the password box)
    std::function<void()> during;
    dialogs::ScopedAnswerer answers([&](QDialog* d) {
        auto* password = qobject_cast<PasswordBox*>(d);
        const QString text = password ? QStringLiteral("password") : d->property("text").toString();
        if (text == at) {
            at.clear();
            during();
        }
        if (!password) return int(QDialog::Accepted);
        password->setEnteredPassword(QStringLiteral("2468"));
        password->accept();
        return password->result();
    });
    const struct {
        const char* name;
        bool alarmFirst;  // an alarm on camera 1 (the missing pin) is answered
        QString question;
        std::function<void()> press;
        std::function<void()> change;
        std::function<void()> nothingDone;
    } rows[] = {
        {"Add As Temp", true, lan(108),
         [&] {
             chooseCamera(0);
             page().btnAddTemp->click();
         },
         reCheckFails,
         [&] {
             EXPECT_FALSE(QFile::exists(template1)) << "the runner frame is no template";
             EXPECT_FALSE(recordedNow(lan(109).arg(1)));
         }},
        {"Ignore Alarm P", true, lan(113),
         [&] {
             chooseCamera(0);
             page().btnIgnoreAlarm->click();
         },
         reCheckFails,
         [&] {
             EXPECT_FALSE(QFile::exists(mask1) && nonZero(greyBytes(mask1)) > 0);
             EXPECT_FALSE(recordedNow(lan(114).arg(1)));
         }},
        {"Don't Detect", true, lan(105).arg(1),
         [&] {
             chooseCamera(0);
             page().btnNoCheck->click();
         },
         reCheckFails, [&] { EXPECT_FALSE(recordedNow(lan(106).arg(1))); }},
        {"Don't Detect, every camera", true, lan(102), [&] { page().btnNoCheck->click(); },
         reCheckFails, [&] { EXPECT_FALSE(recordedNow(lan(103))); }},
        // An area changed on the alarm page makes the timed release ask to save it first.
        {"timed release", true, lan(72),
         [&] {
             view(0).editParam->roiParam1[kMouldStep][0] += 1;
             window().SlotClearNGAlarm();
         },
         reCheckFails,
         [&] {
             EXPECT_FALSE(recordedNow(lan(103))) << "released";
             EXPECT_FALSE(view(0).liveParam->sameParameters(*view(0).editParam)) << "saved";
             view(0).editParam->copyFrom(*view(0).liveParam);
         }},
        // The alarm page shows the live image until the templates' password is given.
        {"templates' password", true, QStringLiteral("password"),
         [&] {
             gpWPara->isPswUsed = 1;
             ASSERT_TRUE(gpWPara->setPassword(QStringLiteral("2468")));
             window().loginLevel = 0;
             chooseCamera(0);
             page().cbSource->setCurrentIndex(0);
             gpWPara->isPswUsed = 0;
         },
         reCheckFails,
         [&] {
             EXPECT_EQ(gSource, 1) << "the judged frame on the live image";
             EXPECT_EQ(page().cbSource->currentIndex(), 1) << "and the choice says so";
         }},
        {"stop of detection", false, lan(140), [&] { window().SlotStartStop(); }, alarmArrives,
         [&] { EXPECT_FALSE(recordedNow(lan(141))); }},
        {"tool-bar password", false, QStringLiteral("password"),
         [&] {
             gpWPara->isPswUsed = 1;
             ASSERT_TRUE(gpWPara->setPassword(QStringLiteral("2468")));
             window().loginLevel = 0;
             window().SlotSystemPara();
             gpWPara->isPswUsed = 0;
         },
         alarmArrives, [&] { EXPECT_FALSE(window().wizardParaWidget->isVisible()); }},
        // The product step is off: choosing it on the area-setting page warns.
        {"product step warning", false, lan(118),
         [&] {
             window().SlotAdjustArea();
             chooseCamera(0);
             page().cbDetect->setCurrentIndex(0);
         },
         alarmArrives,
         [&] {
             EXPECT_EQ(page().cbDetect->currentIndex(), window().curDetect);
             EXPECT_EQ(window().editDetect, window().curDetect);
         }},
    };
    bool marker = false;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.alarmFirst) ASSERT_NO_FATAL_FAILURE(raiseAlarm({PinMissing, Clean}));
        const int asked = answers.count();
        recordsBefore = rig->records().size();
        at = row.question;
        during = row.change;
        row.press();
        ASSERT_TRUE(at.isEmpty()) << "the question was asked";
        row.nothingDone();
        for (const dialogs::Asked& a : answers.asked().mid(asked))
            EXPECT_TRUE(a.aboutSubject) << a.className.toStdString() << " " << a.text.toStdString();
        // The board has taken every output word written before the window sees this input.
        marker = !marker;
        rig->setInput(kUnused, marker);
        ASSERT_TRUE(rig->waitInputSeen(kUnused, marker, kWaitMs));
        // The door opened again silences the horn; the clamp stays held.
        EXPECT_EQ(window().resultState, 2);
        EXPECT_TRUE(rig->output(kClamp));
        EXPECT_TRUE(page().isVisible());
        EXPECT_EQ(gSource, 1);
        // Answered: the next row starts on a free screen.
        rig->showPicture(0, Clean);
        chooseCamera(2);
        page().btnNoCheck->click();
        expectLifted();
    }
    EXPECT_EQ(dialogs::boxesRunWithoutSubject(), withoutSubject);
}

// The alarm page on another source than the live image when the door is closed on a fault
// that fails again: the alarm now stands on a frame judged just now, so the page turns to the
// live image and says so; before, the judged frame went on screen under the template's or the
// recent NG slot's caption. The re-check button writes its step's result line as the door does.
TEST_F(AlarmEndToEnd, AReCheckLeavesThePageShowingWhatItsCaptionNames) {
    ASSERT_NO_FATAL_FAILURE(start());
    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    testsupport::MessageCatcher log(QtInfoMsg);
    const QString template0 = folderFile("cammer12/template0.bmp");
    const QByteArray reference = greyBytes(template0);
    const QString failedAgain = QStringLiteral("Detection result: step 2 of 2 NG (camera 1)");
    const auto doorCloses = [&] {
        const quint32 judged = window().cycle().judgementSerial();
        rig->setInput(kDoor, true);
        ASSERT_TRUE(
            rig->waitFor([&] { return window().cycle().judgementSerial() != judged; }, kWaitMs));
        rig->setInput(kDoor, false);
        ASSERT_TRUE(rig->waitInputSeen(kDoor, false, kWaitMs));
    };
    const struct {
        const char* name;
        int source;  // chosen on camera 1 before the re-check
        std::function<void()> reCheck;
    } rows[] = {
        {"template, door", 0, doorCloses},
        {"recent NG, door", 2, doorCloses},
        {"live, re-check button", 1, [&] { page().btnReCheck->click(); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_NO_FATAL_FAILURE(raiseAlarm({PinMissing, Clean}));
        chooseCamera(0);
        page().cbSource->setCurrentIndex(row.source);
        ASSERT_EQ(gSource, row.source);
        EXPECT_EQ(shownframe::mismatch(view(0), window().editDetect), QString());
        // The blocked runner is served before the re-check judges it.
        const auto before = view(0).context.grabBuf;
        rig->showPicture(0, RunnerBlocked);
        ASSERT_TRUE(rig->waitFor([&] { return view(0).context.grabBuf != before; }, kWaitMs));
        const int lines = log.count(failedAgain);
        row.reCheck();
        EXPECT_EQ(window().resultState, 2);
        EXPECT_EQ(log.count(failedAgain), lines + 1) << "the re-check's result line";
        EXPECT_EQ(gSource, 1) << "the page turned to the judged frame";
        EXPECT_EQ(page().cbSource->currentIndex(), 1) << "and its caption says so";
        EXPECT_EQ(shownframe::mismatch(view(0), window().editDetect), QString());
        EXPECT_EQ(greyBytes(template0), reference) << "the template file is unchanged";
        rig->showPicture(0, Clean);
        page().cbSource->setCurrentIndex(1);
        chooseCamera(2);
        page().btnNoCheck->click();
        expectLifted();
    }
}

// A mould that fails in a pulse mode raises no alarm while the area-setting page is open: the
// page keeps showing what its source names (also the reference a passing mould replaced), and "Add
// As Temp" on the recent NG frames adds the frame shown at the press or nothing. A failure kept in
// the ring while the question is open may take the slot on show: the question then ends by itself
// and adds nothing.
TEST_F(AlarmEndToEnd, AFailureInAPulseModeChangesNothingThePageShowsOrAdds) {
    ASSERT_NO_FATAL_FAILURE(start("clampPulseOnMoldNG=1"));
    // Set here: the demonstration's seeding stores its own choice of it.
    gpWPara->templateAutoUpdate = 1;
    const QString template1 = folderFile("cammer12/template1.bmp");
    const auto failsUnseen = [&] {
        const int kept = view(0).recentNgCount[kMouldStep];
        ASSERT_NO_FATAL_FAILURE(cycle({RunnerBlocked, Clean}));
        ASSERT_TRUE(
            rig->waitFor([&] { return view(0).recentNgCount[kMouldStep] > kept; }, kWaitMs));
        ASSERT_NE(window().resultState, 2) << "no alarm in the pulse mode";
    };
    QString at;
    std::function<void()> during;
    dialogs::ScopedAnswerer answers([&](QDialog* d) {
        if (d->property("text").toString() == at) {
            at.clear();
            during();
        }
        return int(QDialog::Accepted);
    });
    const struct {
        const char* name;
        int source;
        std::function<void()> act;
    } rows[] = {
        {"template", 0, failsUnseen},
        // A passing mould becomes the reference template, which is on show.
        {"template, updated by a passing mould", 0,
         [&] {
             const auto before = view(0).context.templateBuf[kMouldStep][0];
             const auto grabbed = view(0).context.grabBuf;
             rig->showPicture(0, CleanBrighter);
             ASSERT_TRUE(rig->waitFor([&] { return view(0).context.grabBuf != grabbed; }, kWaitMs));
             ASSERT_NO_FATAL_FAILURE(cycle({CleanBrighter, Clean}));
             ASSERT_TRUE(view(0).context.templateBuf[kMouldStep][0] != before);
         }},
        {"recent NG, question across the failure", 2,
         [&] {
             at = lan(108);
             during = failsUnseen;
             const int asked = answers.count();
             page().btnAddTemp->click();
             ASSERT_TRUE(at.isEmpty()) << "the question was asked";
             EXPECT_EQ(answers.count(), asked + 1);
             EXPECT_FALSE(QFile::exists(template1)) << "a frame nobody was shown is no template";
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        window().SlotAdjustArea();
        chooseCamera(0);
        page().cbDetect->setCurrentIndex(kMouldStep);
        page().cbSource->setCurrentIndex(row.source);
        ASSERT_EQ(gSource, row.source);
        row.act();
        EXPECT_EQ(gSource, row.source);
        EXPECT_EQ(shownframe::mismatch(view(0), window().editDetect), QString());
        page().btnReturn->click();
        ASSERT_FALSE(page().isVisible());
    }
}
