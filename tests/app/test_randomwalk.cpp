// A random walk over the whole main window. Each seed draws the machine's set-up (the
// detection mode, 1 to 4 cameras, the product step, semi-automatic with its two step delays in
// either order, retries, pulses with their lengths instead of the mould's or the product's
// alarm, the output options, the production-count alarm, the safety door's options, the timed
// release, the camera-loss box, the no-input time-out) and a sequence of what the machine and
// the operator do: mould-open edges, second signals and both in one pass, door closes, with
// clean or faulty moulds, a camera unplugged and plugged in again, the alarm's release timer,
// the no-input time-out, a Modbus master's reset, the count box's and the camera-loss box's
// answers, the page's answers and sources, the tool bar, the settings confirm, group restores,
// Shut Down and Restart, and the program's stop. A box stays open across the machine's events
// (its answerer runs them) until the sequence answers it; a box still open when the sequence
// ends is confirmed then. After every step the walk waits for the state the step leads to (so a
// seed replays the same way on every run) and checks, from the IO board's outputs, the files
// on disk, the window and the remote interfaces:
//  - its own count of cycles and failed cycles (randomwalk/walkmodel.h) against the register
//    server, the HTTP API, the counter file and the pictures' "NG / Total" (at the end of a walk
//    by a Modbus master and an HTTP client we did not write);
//  - the result of each camera against the picture it showed, while the templates, ignore
//    points and areas are the walk's first ones;
//  - the clamp withheld from a cycle's start until its mould step passes or is answered, while
//    an alarm stands, a camera is away, the count alarm stands or the no-input time-out fired;
//    a failure answered by an alarm keeps it on screen;
//  - every pulse (the mould's, the product's on the ejector, the OK/NG pulses) runs its set
//    length on the output words the program publishes, and ends when its timer runs out;
//  - a release timer releases only the mould's alarm it was started for;
//  - a step passes a camera only on a frame of its current link;
//  - a template, an ignore mask or an area changes only by a confirmed answer whose subject held,
//    and only to what was on screen when it was asked (a group restore: to the group's);
//  - the page on the recent failures shows the kept frame its caption names;
//  - an answer declined, or given after its subject changed, records no deed;
//  - the panel is neither restarted nor powered off under an alarm;
//  - every box is asked about a subject; the program's stop ends every road within its bound and
//    nothing acts after it;
//  - every step settles: one that does not (a retry that never ends) ends its walk with what it
//    still waits for.
//  - what each result line adds to the step counts and count.ini, the alarm's and the answers'
//    records with the camera chosen, the ejector and the fourth output, NG pictures, each step
//    on its own opening's pictures, nothing judged while stopped (randomwalk/walksees.cpp).
// The draws and the kept cases are in randomwalk/walkconfigs.cpp, the driver in walkdriver.cpp,
// the checks in walkinvariants.cpp. MOULDMON_WALK_SEEDS=N walks N seeds from
// MOULDMON_WALK_FIRST (default 1) instead of kSeeds; MOULDMON_WALK_CASE walks one case line
// alone; MOULDMON_WALK_KEPT=0 leaves the kept cases out; MOULDMON_WALK_TRACE=1 prints every
// walk's steps and results. A failing walk prints its seed and its
// case line; such lines are kept in the kept cases.
#include <gtest/gtest.h>

#include <QDir>
#include <QListWidget>
#include <QSqlDatabase>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

#include "cammersingleton.h"
#include "cyclefakes.h"
#include "demoseed.h"
#include "deraRazovi.h"
#include "dialogseam.h"
#include "edit.h"
#include "globals.h"
#include "paramgroupspage.h"
#include "passwordbox.h"
#include "randomwalk/walkconfigs.h"
#include "randomwalk/walkdriver.h"
#include "recordingsystemactions.h"
#include "testsupport.h"
#include "windowrig.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

using cycletest::WindowRig;
using walk::Case;
using walk::Disk;

namespace {

constexpr int kMouldStep = 1;
// Under the sanitizers a walk is several times slower and looks for memory faults, not new
// sequences: fewer seeds there, the kept cases all the same.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kSeeds = 12;
#else
constexpr int kSeeds = 30;
#endif
// A walk still going after this is stuck: its case is printed before the test's time-out.
constexpr int kWalkBoundS = 120;

walk::Walk* gWalk = nullptr;
QtMessageHandler gPreviousHandler = nullptr;

void heard(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (gWalk && QThread::currentThread() == qApp->thread()) gWalk->heard(text);
    if (gPreviousHandler) gPreviousHandler(type, context, text);
}

// Prints the case of a walk that does not end, before the test's time-out ends it silently.
class Watchdog {
public:
    explicit Watchdog(const QString& what)
        : what_(what.toStdString()), thread_([this] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (ended_.wait_for(lock, std::chrono::seconds(kWalkBoundS),
                                  [this] { return done_; }))
                  return;
              std::fprintf(stderr, "walk stuck after %d s: %s\n", kWalkBoundS, what_.c_str());
              std::fflush(stderr);
              std::abort();
          }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        ended_.notify_all();
        thread_.join();
    }

private:
    std::string what_;
    std::mutex mutex_;
    std::condition_variable ended_;
    bool done_ = false;
    std::thread thread_;
};

// Lays the demonstration's areas and templates into the product and the mould step. The
// demonstration fills the enabled steps on the mould-open input only: it seeds them in the
// standard mode with both steps on that input, as every mode numbers the product and the mould
// step 0 and 1 (otherwise the mould step on the second signal, of semi-automatic and of the
// other modes, would judge without areas). With upperOnly the mould step keeps its upper area
// alone.
bool seedRegions(QSqlDatabase& db, int cameras, const Case& c) {
    auto para = std::make_unique<WizardPara>();
    auto seeding = std::make_unique<WizardPara>();
    bool ok = para->LoadDatafromFile(db) && seeding->LoadDatafromFile(db);
    seeding->detectMode = seeding->detectModeNext = 0;
    seeding->semiAuto = 0;
    seeding->detectProdEnable = 1;
    ok = ok && seeding->SaveDatatoFile(db);
    workdirdemo::DemoOptions demo;
    demo.pictureRoot = QDir::current().filePath(QStringLiteral("sim"));
    demo.display = QSize(gShowW, gShowH);
    const workdirdemo::DemoReport seeded = workdirdemo::seedDemoRegions(db, demo);
    ok = ok && seeded.ok && seeded.steps.size() == walk::kStepsKept;
    ok = ok && para->SaveDatatoFile(db);
    for (int cam = 0; cam < cameras && ok && c.upperOnly; ++cam) {
        auto table = std::make_unique<CammerSingleton>(cam);
        table->LoadDatafromFile(db, 1.0f, 1.0f, nullptr);
        table->roiCount[kMouldStep] = std::min(table->roiCount[kMouldStep], 1);
        ok = table->SaveDatatoFile(db);
    }
    return ok;
}

// The case's simulation cameras in standard mode, the demonstration's areas and templates, two
// template slots; backs up the configuration as group "same", and as group "other" of the
// two-colour mode. Returns the files the groups hold.
std::unique_ptr<WindowRig> startWindow(const Case& c, Disk* groups) {
    cycletest::RigScenes scenes;
    scenes.pictures = [](int) { return walk::pictures(); };
    scenes.regions = [&c](QSqlDatabase& db, int cameras) { return seedRegions(db, cameras, c); };
    auto rig = std::make_unique<WindowRig>(
        c.cameras,
        [&c](WizardPara& p) {
            cycletest::setOptions(p, "detectMode=0 detectProdEnable=0 detectEnable[0]=0");
            if (c.mode == walk::TwoColour)
                cycletest::setOptions(p, "detectMode=1 moldSide=0 detectProdEnable");
            // Two steps of their own: the product step on the mould-open input, the mould step
            // on the second signal, one after the other.
            if (c.mode == walk::MultiStep)
                cycletest::setOptions(p,
                                      "detectMode=3 detectNum=2 detectProdEnable sequentialDetect "
                                      "outputOwner[0]=0 outputOwner[1]=1 detectTrigIn[0]=0 "
                                      "detectTrigIn[1]=1 detectCutMode[0]=1 detectCutMode[1]=1");
            p.detectProdEnable = c.productStep();
            p.semiAuto = c.semi;
            for (int d = 0; d < walk::kStepsKept; ++d) p.trigInDelay[d] = c.delays[d];
            p.clampPulseOnMoldNG = c.mouldPulse;
            p.ejectorPulseOnProdNG = c.productPulse;
            p.moldOKNum = c.okCount;
            // Drawn on, or left as the factory has them.
            if (c.doorReset) p.safeDoorResetAlarm = 1;
            if (c.doorTrigger) p.safeDoorTrigger = 1;
            if (c.lostBox) p.cameraLostOpt = 1;
            p.okNgPulse = c.okNgPulse;
            if (c.clampPulse) p.clampPulse = c.clampPulse;
            if (c.ejectorPulse) p.ejectorPulse = c.ejectorPulse;
            p.reDetectNum = c.reDetect;
            p.cutClampOnMoldAlarm = c.cutOnAlarm;
            p.preCutTime = c.preCut;
            p.cutClampAfterMoldOK = c.cutAfterOk;
            p.cutEjectorOnProdAlarm = c.cutEjector;
            p.stopClampOnStop = c.stopClamp;
            p.inputTimeout = c.noInput;
            p.sysUsage = c.extTrigger;
            p.tempNum = 2;
            p.picNumNG = p.picNumOK = 5;
            p.alarmArea = 20;  // the missing pin fails too
            p.isPswUsed = p.pswAddTemp = p.pswNotDetect = p.pswStopDetect = c.password;
            p.setPassword(QStringLiteral("2468"));
            p.moldNGTimedRelease = c.timedRelease;
            p.output4Pulse = 600;  // released by the walk's "time" only
        },
        testsupport::recorder(), scenes);
    if (!rig->ok()) return rig;
    DeRaRazovi& w = rig->window();
    w.setGeometry(0, 0, gShowW, gShowH);
    w.show();
    {
        dialogs::ScopedAnswerer yes([](QDialog* d) {
            if (auto* password = qobject_cast<PasswordBox*>(d)) {
                password->setEnteredPassword(gpWPara->passwordText());
                password->accept();
            }
            return int(QDialog::Accepted);
        });
        w.SlotSystemPara();
        settings::ParamGroupsPage& page = *w.wizardParaWidget->groupsPage();
        for (const char* name : {"other", "same"}) {
            page.nameField()->setText(QLatin1String(name));
            page.backup();
        }
        w.wizardParaWidget->reject();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "walkGroup");
            db.setDatabaseName(QStringLiteral("paraGroup/other/PARAM.db"));
            auto para = std::make_unique<WizardPara>();
            int language = gLan, steps = 0;
            if (db.open() && para->readStored(db, &language, &steps)) {
                para->detectMode = para->detectModeNext = c.mode == walk::TwoColour ? 0 : 1;
                para->SaveDatatoFile(db);
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("walkGroup"));
        page.reload();
    }
    w.loginLevel = Unlogged;
    *groups = walk::readDisk();
    return rig;
}

}  // namespace

TEST(RandomWalk, SequencesFromFixedSeedsBreakNoInvariant) {
    std::vector<std::pair<QString, Case>> cases;
    // MOULDMON_WALK_KEPT=0 leaves the kept cases out: what the seeds alone find.
    if (!qEnvironmentVariableIsSet("MOULDMON_WALK_KEPT") ||
        qEnvironmentVariableIntValue("MOULDMON_WALK_KEPT") != 0)
        for (const char* kept : walk::keptCases())
            cases.emplace_back(QStringLiteral("kept case"), Case::parse(QLatin1String(kept)));
    const int first = qEnvironmentVariableIsSet("MOULDMON_WALK_FIRST")
                          ? qEnvironmentVariableIntValue("MOULDMON_WALK_FIRST")
                          : 1;
    const int seeds = qEnvironmentVariableIsSet("MOULDMON_WALK_SEEDS")
                          ? qEnvironmentVariableIntValue("MOULDMON_WALK_SEEDS")
                          : kSeeds;
    for (int seed = first; seed < first + seeds; ++seed)
        cases.emplace_back(QStringLiteral("seed %1").arg(seed), walk::drawCase(quint32(seed)));
    if (qEnvironmentVariableIsSet("MOULDMON_WALK_CASE"))
        cases = {{QStringLiteral("case"), Case::parse(qEnvironmentVariable("MOULDMON_WALK_CASE"))}};

    const int language = gLan;
    gPreviousHandler = qInstallMessageHandler(heard);
    for (const auto& [name, c] : cases) {
        Watchdog watchdog(name + QStringLiteral(": ") + c.line());
        testsupport::recorder().clear();
        Disk groups;
        std::unique_ptr<WindowRig> rig = startWindow(c, &groups);
        ASSERT_TRUE(rig->ok()) << rig->error().toStdString();
        walk::Walk walk(*rig, c, groups);
        gWalk = &walk;
        walk.run();
        gWalk = nullptr;
        rig.reset();
        gLan = language;
        // MOULDMON_WALK_TRACE=1 prints every walk: two runs of the same seeds walk alike.
        if (qEnvironmentVariableIntValue("MOULDMON_WALK_TRACE"))
            std::fprintf(stderr, "walked %s (%s):%s; pulses timed %d\n", qPrintable(name),
                         qPrintable(c.line()), qPrintable(walk.trace()), walk.pulsesTimed());
        EXPECT_TRUE(walk.violations().isEmpty())
            << name.toStdString() << "\n  case: " << c.line().toStdString()
            << "\n  walked:" << walk.trace().toStdString() << "\n  "
            << walk.violations().join(QStringLiteral("\n  ")).toStdString();
    }
    qInstallMessageHandler(gPreviousHandler);
}
