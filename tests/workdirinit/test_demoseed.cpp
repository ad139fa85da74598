// The demonstration set-up of a working folder: seeded into a fresh folder, it must make the
// program's own camera view (over the real simulation camera plug-in and the recognition
// engine) pass the clean pictures and fail the fault picture in the step input terminal 1
// triggers; it must never touch an operator's areas or templates; and it must number the
// cameras as the program does.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QPluginLoader>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <memory>
#include <tuple>
#include <vector>

#include "buttonpictures.h"
#include "camerainterface.h"
#include "cammerrecong.h"
#include "cammersingleton.h"
#include "cammerwidget.h"
#include "demoseed.h"
#include "globals.h"
#include "templatefiles.h"
#include "testsupport.h"
#include "wizardpara.h"
#include "wizardparalayout.h"
#include "wizardparastore.h"

using namespace workdirdemo;

namespace {

const QString kPictures = QStringLiteral(SIMCAMERA_PICTURES);
const QSize kDisplay(1920, 1080);
const char* const kConnection = "demoseedtest";

CameraInterface* simPlugin() {
    static QPluginLoader loader(QStringLiteral(SIMCAMERA_PLUGIN));
    return qobject_cast<CameraInterface*>(loader.instance());
}

QByteArray fileHash(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1);
}

// Every row of a table as "name=value", in name order.
QStringList tableRows(QSqlDatabase db, const QString& table) {
    QStringList rows;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("select name, value from %1 order by name").arg(table))) return rows;
    while (q.next()) rows << q.value(0).toString() + QLatin1Char('=') + q.value(1).toString();
    return rows;
}

// A fresh working folder with the factory parameter database open, and the process globals a
// view reads, restored afterwards.
class DemoSeedTest : public ::testing::Test {
protected:
    static auto tiedGlobals() {
        return std::tie(gShowW, gShowH, gDNum, gTempNum, gisColor, gisGrayHue, numCamera, gLan,
                        gpWPara);
    }

    void SetUp() override {
        saved_ = std::make_unique<Saved>(Saved{tiedGlobals()});
        ASSERT_TRUE(WizardParaStore::createDefaultDatabase(work.file(QStringLiteral("PARAM.db"))));
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QLatin1String(kConnection));
        db.setDatabaseName(work.file(QStringLiteral("PARAM.db")));
        ASSERT_TRUE(db.open());
    }

    void TearDown() override {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QLatin1String(kConnection));
        tiedGlobals() = saved_->globals;
    }

    DemoReport seed() {
        DemoOptions options;
        options.pictureRoot = kPictures;
        options.display = kDisplay;
        return seedDemoRegions(db, options);
    }

    // The results of one step on the camera's pictures in the order the camera serves them,
    // through a camera view set up as the program sets it up.
    struct Inspection {
        std::vector<bool> cameraOK;
        std::vector<std::vector<bool>> regionOK;
        std::vector<std::vector<int>> values;
        std::vector<QRect> imageRects;
    };
    Inspection inspectOnView(const _cameraInfo& info, int cameraNo, int step, int pictures) {
        Inspection result;
        WizardPara para;
        EXPECT_TRUE(para.LoadDatafromFile(db));
        gShowW = kDisplay.width();
        gShowH = kDisplay.height();
        gpWPara = &para;
        gTempNum = para.tempNum;
        gisColor = para.isColor;
        gisGrayHue = para.isGrayHue;

        cameraview::CameraViewHooks hooks;
        hooks.createCamera = [](const _cameraInfo& i) { return simPlugin()->createCamera(i); };
        hooks.paramDatabase = [this] { return db; };
        hooks.hostState = [step] {
            cameraview::ViewHostState s;
            s.curDetect = step;
            return s;
        };
        CammerWidget view(nullptr, cameraNo, info, hooks);
        EXPECT_TRUE(view.isOpen);
        if (!view.isOpen || !view.recong) return result;
        // Frames change by software trigger only: the run does not depend on timing.
        view.CameraChangeTrig(true);
        for (int i = 0; i < view.liveParam->roiCount[step]; ++i)
            result.imageRects.push_back(view.liveParam->roiImageRect(step, i));

        for (int k = 0; k < pictures; ++k) {
            if (k > 0) view.ManualUpdateImage();
            // The first picture was taken (and dropped as new) by the switch to the trigger.
            EXPECT_EQ(view.UpdateImage(), k > 0) << "picture " << k;
            // As the detection cycle inspects a camera.
            view.recong->HomoTransShape(step);
            view.recong->ShapeMatch();
            view.recong->Run(step);
            result.cameraOK.push_back(view.isOK);
            std::vector<bool> regions;
            std::vector<int> values;
            for (int i = 0; i < view.liveParam->roiCount[step]; ++i) {
                regions.push_back(view.context.roiOK[step][i] != 0);
                values.push_back(view.context.roiValue[step][i]);
            }
            result.regionOK.push_back(regions);
            result.values.push_back(values);
        }
        gpWPara = nullptr;
        return result;
    }

    testsupport::WorkDir work;
    QSqlDatabase db;

private:
    struct Saved {
        decltype(std::make_tuple(gShowW, gShowH, gDNum, gTempNum, gisColor, gisGrayHue, numCamera,
                                 gLan, gpWPara)) globals;
    };
    std::unique_ptr<Saved> saved_;
};

}  // namespace

TEST_F(DemoSeedTest, CleanPicturesPassAndTheFaultPictureFailsOnTheProgramsView) {
    const DemoReport report = seed();
    ASSERT_TRUE(report.ok) << report.error.toStdString();
    // With the factory parameters input terminal 1 triggers the mould step (step 2) only.
    ASSERT_EQ(report.steps, QVector<int>({1}));
    ASSERT_EQ(report.cameras.size(), 2);
    const int step = report.steps.first();

    ASSERT_NE(simPlugin(), nullptr);
    qputenv("MOULDMON_SIM_PICTURES", kPictures.toLocal8Bit());
    const QVector<_cameraInfo> cameras = simPlugin()->findCameras();
    qunsetenv("MOULDMON_SIM_PICTURES");
    ASSERT_EQ(cameras.size(), 2);

    // The fault lies in the upper half of mould-a (a cup left in the upper right cavity) and
    // in the lower half of mould-b (the lower middle core pin).
    struct Expected {
        QString name;
        int faultRegion;
    };
    const Expected expected[] = {{QStringLiteral("mould-a"), 0}, {QStringLiteral("mould-b"), 1}};
    for (int n = 0; n < 2; ++n) {
        SCOPED_TRACE(expected[n].name.toStdString());
        EXPECT_EQ(report.cameras[n].kind, CameraOutcome::Kind::Seeded);
        EXPECT_EQ(report.cameras[n].camera.name, expected[n].name);
        EXPECT_TRUE(QFile::exists(failimage::templatePath(n, step, 0)));

        const Inspection seen = inspectOnView(cameras[n], n, step, 3);
        ASSERT_EQ(seen.cameraOK.size(), 3u);
        EXPECT_EQ(seen.cameraOK, std::vector<bool>({true, true, false}));
        EXPECT_EQ(seen.regionOK[2][size_t(expected[n].faultRegion)], false);
        EXPECT_EQ(seen.regionOK[2][size_t(1 - expected[n].faultRegion)], true);
        // Clearly inside the limits: the lighting change of picture 2 is not close to an NG.
        for (int k = 0; k < 2; ++k)
            for (int v : seen.values[size_t(k)]) EXPECT_LT(v, 20) << "picture " << k + 1;

        // The view reads the stored display coordinates back onto the intended halves.
        const QVector<QRect> meant = demoImageRegions(QSize(1280, 720));
        ASSERT_EQ(seen.imageRects.size(), size_t(meant.size()));
        for (int i = 0; i < meant.size(); ++i) {
            const QRect got = seen.imageRects[size_t(i)];
            EXPECT_LE(std::abs(got.left() - meant[i].left()), 1) << i;
            EXPECT_LE(std::abs(got.top() - meant[i].top()), 1) << i;
            EXPECT_LE(std::abs(got.right() - meant[i].right()), 1) << i;
            EXPECT_LE(std::abs(got.bottom() - meant[i].bottom()), 1) << i;
        }
    }
}

TEST_F(DemoSeedTest, AnOperatorsAreasAndTemplatesAreNeverReplaced) {
    // Camera 2 has an area of its own; camera 1 has only a template (kept, areas added).
    {
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("create table cammer1 (name text, value text)")));
        ASSERT_TRUE(q.exec(QStringLiteral("insert into cammer1 values ('detect0', '1')")));
        ASSERT_TRUE(
            q.exec(QStringLiteral("insert into cammer1 values ('ROI0-0', '3 25 100 5 1 0 0 "
                                  "10 10 200 200')")));
    }
    const QStringList operatorRows = tableRows(db, QStringLiteral("cammer1"));
    const QString ownTemplate = failimage::templatePath(0, 1, 0);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(ownTemplate).path()));
    QImage own(64, 48, QImage::Format_Grayscale8);
    own.fill(77);
    ASSERT_TRUE(own.save(ownTemplate, "BMP"));
    const QByteArray ownHash = fileHash(ownTemplate);

    DemoReport report = seed();
    ASSERT_TRUE(report.ok) << report.error.toStdString();
    ASSERT_EQ(report.cameras.size(), 2);
    EXPECT_EQ(report.cameras[0].kind, CameraOutcome::Kind::Seeded);
    EXPECT_EQ(report.cameras[0].templatesKept, QStringList({ownTemplate}));
    EXPECT_EQ(fileHash(ownTemplate), ownHash);
    EXPECT_EQ(report.cameras[1].kind, CameraOutcome::Kind::KeptRegions);
    // The program's load adds the missing detection rows; the operator's rows stay as they are.
    QStringList after = tableRows(db, QStringLiteral("cammer1"));
    for (const QString& row : operatorRows) EXPECT_TRUE(after.contains(row)) << row.toStdString();
    EXPECT_FALSE(QFile::exists(failimage::templatePath(1, 1, 0)));

    // A second run (the run command seeds before every start) changes nothing.
    const QStringList seeded = tableRows(db, QStringLiteral("cammer0"));
    ASSERT_TRUE(seeded.contains(QStringLiteral("detect1=2 0 0 0 0 0 0 0 0")));
    report = seed();
    ASSERT_TRUE(report.ok);
    EXPECT_EQ(report.cameras[0].kind, CameraOutcome::Kind::KeptRegions);
    EXPECT_EQ(report.cameras[1].kind, CameraOutcome::Kind::KeptRegions);
    EXPECT_EQ(tableRows(db, QStringLiteral("cammer0")), seeded);
    EXPECT_EQ(tableRows(db, QStringLiteral("cammer1")), after);
}

TEST_F(DemoSeedTest, AreasLandOnThePictureHalvesOnAnyDisplay) {
    const QSize picture(1280, 720);
    const QVector<QRect> meant = demoImageRegions(picture);
    for (const QSize display : {QSize(1366, 768), QSize(800, 600), QSize(1024, 1280)}) {
        SCOPED_TRACE(
            QStringLiteral("%1x%2").arg(display.width()).arg(display.height()).toStdString());
        for (const char* table : {"cammer0", "cammer1"})
            QSqlQuery(db).exec(QStringLiteral("drop table if exists %1").arg(table));
        DemoOptions options;
        options.pictureRoot = kPictures;
        options.display = display;
        ASSERT_TRUE(seedDemoRegions(db, options).ok);

        // Read back as the camera view reads them, with its display scale.
        auto loaded = std::make_unique<CammerSingleton>(0);
        const float sx = float(display.width()) / float(picture.width());
        const float sy = float(display.height()) / float(picture.height());
        ASSERT_TRUE(loaded->LoadDatafromFile(db, sx, sy, nullptr).tableRead);
        ASSERT_EQ(loaded->roiCount[1], meant.size());
        for (int i = 0; i < meant.size(); ++i) {
            const QRect got = loaded->roiImageRect(1, i);
            EXPECT_TRUE(meant[i].adjusted(-1, -1, 1, 1).contains(got)) << i;
            EXPECT_GE(got.width(), meant[i].width() - 2) << i;
            EXPECT_GE(got.height(), meant[i].height() - 2) << i;
        }
    }
}

TEST_F(DemoSeedTest, CamerasAreNumberedAsTheProgramNumbersThem) {
    // Without stored serial numbers: folder-name order, as the plug-in lists them.
    QVector<SimulationCamera> cameras = simulationCameras(kPictures, QString());
    ASSERT_EQ(cameras.size(), 2);
    EXPECT_EQ(cameras[0].name, QStringLiteral("mould-a"));
    EXPECT_EQ(cameras[1].cameraNo, 1);

    // Stored serial numbers come first in slot order; unknown ones and empty slots are skipped.
    const QString sn = work.file(QStringLiteral("SN.db"));
    {
        QSqlDatabase s = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("sn"));
        s.setDatabaseName(sn);
        ASSERT_TRUE(s.open());
        QSqlQuery q(s);
        ASSERT_TRUE(q.exec(QStringLiteral("create table sysparam (name text, value text)")));
        ASSERT_TRUE(q.exec(QStringLiteral("insert into sysparam values ('serialNB0', '0')")));
        ASSERT_TRUE(q.exec(
            QStringLiteral("insert into sysparam values ('serialNB1', 'SIMCAM-elsewhere')")));
        ASSERT_TRUE(
            q.exec(QStringLiteral("insert into sysparam values ('serialNB2', 'SIMCAM-mould-b')")));
        s.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("sn"));
    cameras = simulationCameras(kPictures, sn);
    ASSERT_EQ(cameras.size(), 2);
    EXPECT_EQ(cameras[0].name, QStringLiteral("mould-b"));
    EXPECT_EQ(cameras[0].cameraNo, 0);
    EXPECT_EQ(cameras[1].name, QStringLiteral("mould-a"));
    EXPECT_EQ(cameras[1].cameraNo, 1);
}

TEST_F(DemoSeedTest, StepsAreTheEnabledOnesOnInputTerminalOne) {
    struct Case {
        int mode;
        int productDetection;
        int semiAuto;
        QVector<int> steps;
    };
    const Case cases[] = {
        {0, 0, 0, {1}},     // factory: the mould step
        {0, 1, 0, {0, 1}},  // product detection: both steps run on the open edge
        {0, 1, 1, {0}},     // semi-automatic: the mould step waits for input terminal 3
        {0, 0, 1, {}},
    };
    for (const Case& c : cases) {
        WizardPara p;
        p.detectMode = c.mode;
        p.detectProdEnable = c.productDetection;
        p.semiAuto = c.semiAuto;
        const int count = params::deriveLayout(p);
        EXPECT_EQ(stepsOnMouldOpen(p, count), c.steps)
            << c.mode << " " << c.productDetection << " " << c.semiAuto;
    }

    // With nothing on input terminal 1 there is nothing to set up, which is not a failure.
    {
        WizardPara stored;
        ASSERT_TRUE(stored.LoadDatafromFile(db));
        stored.semiAuto = 1;
        ASSERT_TRUE(stored.SaveDatatoFile(db));
    }
    const DemoReport report = seed();
    EXPECT_TRUE(report.ok);
    EXPECT_TRUE(report.cameras.isEmpty());
    EXPECT_FALSE(report.note.isEmpty());
    EXPECT_FALSE(QDir(work.path()).exists(QStringLiteral("cammer12")));
}

TEST(WorkdirInit, ADamagedParameterDatabaseEndsTheToolWithTheWaysBackNotARowList) {
    testsupport::WorkDir work;
    QByteArray damaged;
    for (int i = 0; i < 2000; ++i) damaged += QByteArray::number(i * 7919 % 65521);
    {
        QFile file("PARAM.db");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(damaged);
    }
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(QStringLiteral(WORKDIR_INIT_TOOL),
               {"--demo", "--display", "1920x1080", work.path()});
    ASSERT_TRUE(tool.waitForFinished(60000));
    const QString output = QString::fromLocal8Bit(tool.readAll());
    EXPECT_EQ(tool.exitCode(), 1) << output.toStdString();
    EXPECT_TRUE(output.contains("To recover")) << output.toStdString();
    EXPECT_TRUE(output.contains("mv ")) << output.toStdString();
    EXPECT_LE(output.count('\n'), 8) << output.toStdString();
    QFile file("PARAM.db");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), damaged) << "the tool never replaces an existing database";
}

TEST(WorkdirInit, TheButtonsGetTheirPicturesAndAPictureThereIsKept) {
    const struct {
        const char* file;
        QSize size;
        QPoint ink;  // a point the drawing covers
    } pictures[] = {{"images/help.png", {70, 70}, {35, 52}},
                    {"images/ShowHide.png", {240, 76}, {120, 38}},
                    {"images/ShowHideChecked.png", {240, 76}, {120, 38}},
                    {"images/right.png", {50, 50}, {25, 25}},
                    {"images/left.png", {50, 50}, {25, 25}}};
    for (const bool present : {false, true}) {
        testsupport::WorkDir work;
        QMap<QString, QByteArray> own;  // pictures of the panel's own, there already
        if (present) {
            ASSERT_TRUE(QDir().mkpath("images"));
            for (const auto& row : pictures) {
                QImage panel(row.size, QImage::Format_RGB32);
                panel.fill(Qt::blue);
                ASSERT_TRUE(panel.save(row.file));
                QFile file(row.file);
                ASSERT_TRUE(file.open(QIODevice::ReadOnly));
                own[row.file] = file.readAll();
            }
        }
        QProcess tool;
        tool.setProcessChannelMode(QProcess::MergedChannels);
        tool.start(QStringLiteral(WORKDIR_INIT_TOOL), {work.path()});
        ASSERT_TRUE(tool.waitForFinished(60000));
        ASSERT_EQ(tool.exitCode(), 0) << tool.readAll().toStdString();
        for (const auto& row : pictures) {
            SCOPED_TRACE(std::string(row.file) + (present ? " present" : " missing"));
            const QImage icon(row.file);
            ASSERT_EQ(icon.size(), row.size);
            if (present) {
                QFile file(row.file);
                ASSERT_TRUE(file.open(QIODevice::ReadOnly));
                EXPECT_EQ(file.readAll(), own[row.file]);
            } else {
                // Something is drawn, with a clear background around it.
                EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
                EXPECT_EQ(qAlpha(icon.pixel(row.ink)), 255);
            }
        }
    }
    EXPECT_NE(workdirdemo::drawShowHideIcon(false), workdirdemo::drawShowHideIcon(true))
        << "the pressed button looks otherwise";
}
