// The editing page over two camera views on scripted cameras, with the test as the program
// around it: switching source, camera and detection, paging and deleting templates on files,
// browsing stored NG pictures, saving with the change records, and the page's widget.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QJsonArray>
#include <QJsonObject>
#include <QTimer>
#include <cstring>
#include <functional>

#include "cammerrecong.h"
#include "cammersingleton.h"
#include "changelog.h"
#include "colorbutton.h"
#include "combobox.h"
#include "drawroiwidget.h"
#include "editpage.h"
#include "enginelimits.h"
#include "privatemount.h"
#include "residentmemory.h"
#include "toolkitlimits.h"
#include "viewtestsupport.h"
#include "writefailuretexts.h"

using namespace viewtest;
using namespace cameraview;

namespace {

QString english(int entry) {
    return gaLanStr[entry * kLanguageCount + 1];
}

// Adds a rectangle area of function `func` to detection g.
int addRect(CammerSingleton& p, int g, QRect r, int func, int b = 10, int c = 20, int a = 3) {
    const int i = p.roiCount[g]++;
    p.roiShapeType[g][i] = roi::kShapeRect;
    p.rects[g][i] = ClustomRect();
    p.rects[g][i].showRect = r;
    p.roiFunc[g][i] = func;
    p.roiParam1[g][i] = b, p.roiParam2[g][i] = c, p.roiParam3[g][i] = a;
    return i;
}

// Width of a caption's widest line.
int widest(const QFont& font, const QString& text) {
    int most = 0;
    for (const QString& line : text.split('\n'))
        most = std::max(most, QFontMetrics(font).horizontalAdvance(line));
    return most;
}

}  // namespace

class EditPageTest : public ViewTest, public EditPageHost {
protected:
    void SetUp() override {
        ViewTest::SetUp();
        numCamera = 2;
        gTempNum = 4;
        para.detectEnable[0] = para.detectEnable[1] = para.detectProdEnable = 1;
        for (int c = 0; c < 2; ++c)
            for (int d = 0; d < 2; ++d)
                QDir().mkpath(QStringLiteral("cammer%1%2").arg(c + 1).arg(d + 1));
        for (int slot : {0, 2})
            writeGreyBmp(templatePath(0, 0, slot), 320, 240, 8,
                         [slot](int x, int) { return x + slot; });
        makeViews(nullptr, 2, 320, 240);
        w.curCamera = numCamera;
        page = std::make_unique<EditPage>(*this);
    }
    void TearDown() override {
        widget.reset();
        page.reset();
        views.clear();
        ViewTest::TearDown();
    }

    // Views of `count` cameras whose program is this test.
    void makeViews(QWidget* parent, int count, int width, int height) {
        views.clear();
        for (int c = 0; c < count; ++c) {
            views.push_back(makeView(newCamera(width, height), c, parent));
            CameraViewHooks h = hooks();
            h.hostState = [this] {
                ViewHostState s = host;
                s.curCamera = w.curCamera, s.editDetect = w.editDetect, s.drawTool = w.drawTool;
                s.freehandDraw = w.freehandDraw, s.copyAreaArmed = w.copyAreaArmed;
                s.resultState = result, s.curDetect = detect;
                return s;
            };
            h.setDrawTool = [this](int tool) { w.drawTool = tool; };
            h.editingPage = [this](EditPageCall call) { shownPage()->viewCall(call); };
            h.recordPicture = [this] { return shownPage()->recordPicture(); };
            views.back()->setHooks(h);
        }
    }

    EditWords& words() override { return w; }
    int resultState() const override { return result; }
    void setResultState(int state) override { result = state; }
    int curDetect() const override { return detect; }
    const WizardPara& settings() const override { return para; }
    CammerWidget* view(int c) override { return c < int(views.size()) ? views[c].get() : nullptr; }
    void changeCamera() override { ++layouts; }
    int checkPassword(const dialogs::Subject&) override { return password; }
    void insertRecord(const QString& text) override { records << text; }
    dialogs::Answer warn(const QString& text, const dialogs::Subject&) override {
        said << text;
        return dialogs::Answer::Yes;
    }
    dialogs::Answer ask(const QString& text, const dialogs::Subject&) override {
        said << text;
        return answer ? dialogs::Answer::Yes : dialogs::Answer::No;
    }
    void zoomToMin() override {}
    void showHelpButton(bool) override {}
    void showVersion(bool) override {}
    void showIoStatus(bool) override {}
    void showToolBar() override {}
    void editCopiesReleased() override {}
    void hideKeypads() override {}
    void showHelpPage(int) override {}
    void repaintWindow() override {}
    void backTrain() override {}
    void alarmOutputOff() override { ++alarmOffs; }
    QString recordFolder(int c, int d, int kind) const override {
        return work.file(QStringLiteral("pictures%1%2%3").arg(c).arg(d).arg(kind));
    }
    void templatesCleared(const QJsonObject& cameras) override { cleared = cameras; }
    int alarmClearState(int c, int d) const override { return clearState[c][d]; }
    void setAlarmClearState(int c, int d, int state) override { clearState[c][d] = state; }
    bool lastCycleNG() const override { return cycleNG; }
    quint32 alarmSerial() const override { return 0; }
    quint32 judgementSerial() const override { return 0; }
    int detectPending(int s) const override { return pending[s]; }
    void setDetectPending(int s, int cameras) override { pending[s] = cameras; }
    void resetRun() override {
        calls << "resetRun";
        for (auto& v : views) v->isOK = true;
    }
    void runAlgorithm(int c, int d) override {
        calls << QStringLiteral("run %1 %2").arg(c).arg(d);
        views[c]->isOK = !failing.contains(c);
    }
    void decideAnswered() override {
        calls << "decide";
        bool anyNg = false;
        for (auto& v : views) anyNg = anyNg || !v->isOK;
        if (!anyNg && result == kResultNgAlarm) shownPage()->Restart();
    }
    void setOutput(int bit, int on) override {
        calls << QStringLiteral("out %1 %2").arg(bit).arg(on);
    }
    void flushOutputs() override { calls << "flush"; }

    EditPage* shownPage() { return widget ? &widget->page() : page.get(); }
    bool shown(PageControl k) { return page->look().controls[k].shown; }
    // An area of camera 0's editing copy, with its mask.
    void addArea(int g, QRect r, int func, int b = 10, int c = 20, int a = 3) {
        CammerSingleton& p = *v0().editParam;
        const int i = addRect(p, g, r, func, b, c, a);
        v0().context.editRoiMask[g][i] = p.finishRoi(g, i, v0().baseScaleX, v0().baseScaleY);
    }
    CammerWidget& v0() { return *views[0]; }

    EditWords w;
    int clearState[kMaxCameras][kMaxDetections] = {};
    int pending[kMaxDetections] = {};
    bool cycleNG = false;
    QList<int> failing;  // cameras an inspection fails
    QStringList calls;
    int result = 0, detect = 0, password = 2, layouts = 0, alarmOffs = 0;
    bool answer = true;
    QStringList said;
    QJsonObject cleared;
    std::vector<std::unique_ptr<CammerWidget>> views;
    std::unique_ptr<EditPage> page;
    std::unique_ptr<DrawROIWidget> widget;
};

TEST_F(EditPageTest, OpeningDetectionByMode) {
    struct Row {
        int mode, curDetect, result, prodEnabled, sameParam, moldSide, detections, expected;
    };
    const Row rows[] = {
        {0, 1, 0, 1, 1, 0, 2, 0}, {0, 0, 0, 0, 0, 0, 2, 1}, {0, 1, 0, 1, 0, 0, 2, 1},
        {0, 0, 2, 0, 1, 0, 2, 0}, {3, 0, 0, 0, 0, 0, 8, 1}, {3, 5, 0, 0, 0, 0, 8, 5},
        {1, 3, 0, 1, 1, 2, 4, 1}, {2, 0, 0, 1, 0, 1, 4, 2}, {1, 0, 0, 0, 0, 1, 4, 3},
        {2, 3, 0, 1, 0, 2, 4, 3}, {1, 3, 0, 1, 0, 2, 2, 0},
    };
    for (const Row& r : rows) {
        para.detectMode = r.mode, para.detectEnable[0] = r.prodEnabled;
        para.sameParam = r.sameParam, para.moldSide = r.moldSide;
        EXPECT_EQ(openingDetect(r.curDetect, r.result, para, r.detections), r.expected)
            << r.mode << " " << r.curDetect << " " << r.moldSide;
    }
}

TEST_F(EditPageTest, PagingStepsRoundOnceAndWrap) {
    EXPECT_EQ(steppedTemplate({1, 0, 1, 0}, 0, true), 2);
    EXPECT_EQ(steppedTemplate({1, 0, 1, 0}, 2, true), 0);
    EXPECT_EQ(steppedTemplate({1, 0, 1, 0}, 0, false), 2);
    EXPECT_EQ(steppedTemplate({0, 0, 0, 0}, 1, true), 1) << "no used slot: one round, then stay";
    struct Row {
        int shown, stored;
        bool forward;
        int expected;
    };
    for (const Row& r : {Row{9, 14, true, 0}, Row{0, 14, false, 9}, Row{2, 3, true, 0},
                         Row{0, 3, false, 2}, Row{4, 0, true, 0}, Row{1, 5, true, 2}})
        EXPECT_EQ(steppedRecentNg(r.shown, r.stored, r.forward), r.expected) << r.shown << r.stored;
    EXPECT_EQ(steppedRecord(2, 3, true), 0);
    EXPECT_EQ(steppedRecord(0, 3, false), 2);
}

TEST_F(EditPageTest, SourcesCamerasAndDetections) {
    page->Reset(false);
    EXPECT_EQ(gSource, kSourceTemplate);
    EXPECT_EQ(w.curCamera, 0) << "templates are edited on one camera";
    EXPECT_EQ(layouts, 1);
    EXPECT_EQ(page->look().choices[CameraList].items,
              QStringList({"Camera 1", "Camera 2", "All Camera"}));
    for (PageControl k : {CameraChoice, DrawRectButton, DeleteAllRoiButton, TempDeleteButton})
        EXPECT_TRUE(shown(k)) << k;
    EXPECT_FALSE(shown(ReCheckButton));
    EXPECT_EQ(page->look().controls[TempNextButton].text, english(560));

    page->choose(CameraList, 2);  // "All Camera" only for the live image
    EXPECT_EQ(w.curCamera, 1);
    page->choose(SourceList, kSourceLive);
    page->choose(CameraList, 2);
    EXPECT_EQ(w.curCamera, 2);
    EXPECT_TRUE(shown(ReturnButton));
    EXPECT_FALSE(shown(DetectChoice));

    page->choose(CameraList, 0);
    page->choose(SourceList, kSourceTemplate);
    para.detectProdEnable = 0;
    page->choose(DetectList, 1);
    page->choose(DetectList, 0);
    EXPECT_EQ(said, QStringList({english(118)}));
    EXPECT_EQ(std::make_tuple(page->look().choices[DetectList].index, w.editDetect),
              std::make_tuple(1, 1));
    para.detectProdEnable = 1, para.sameParam = 1;
    for (int d : {0, 1, 0, 1}) page->choose(DetectList, d);
    EXPECT_EQ(said.count(english(119)), 1) << "the note is shown once per run";

    // During an NG alarm the page opens on the live image; a refused password keeps it there.
    result = kResultNgAlarm, password = 0;
    page->Reset(false);
    EXPECT_EQ(gSource, kSourceLive);
    for (PageControl k : {AddTempButton, NoCheckButton, AutoChangeButton, ReCheckButton})
        EXPECT_TRUE(shown(k)) << k;
    page->choose(SourceList, kSourceTemplate);
    EXPECT_EQ(gSource, kSourceLive);
    EXPECT_EQ(page->look().choices[SourceList].index, kSourceLive);
    EXPECT_EQ(alarmOffs, 0);
    password = 1;
    page->choose(SourceList, kSourceTemplate);
    EXPECT_EQ(std::make_tuple(gSource, alarmOffs), std::make_tuple(kSourceTemplate, 1));
}

TEST_F(EditPageTest, TemplatesArePagedAndDeletedOnDisk) {
    page->Reset(false);
    engine::EngineContext& ctx = v0().context;
    ASSERT_EQ(ctx.templateUsed[0], std::vector<int>({1, 0, 1, 0}));
    page->SlotTempNext();
    EXPECT_EQ(ctx.curTemplate, 2);
    EXPECT_EQ(v0().showBuf[10], 12) << "the template's pixels are shown";
    EXPECT_FALSE(gTempTime.isEmpty());
    page->SlotTempNext();
    page->SlotTempLast();
    EXPECT_EQ(ctx.curTemplate, 2);

    page->SlotTempDeleteCur();
    EXPECT_FALSE(QFile::exists(templatePath(0, 0, 2)));
    EXPECT_EQ(std::make_tuple(ctx.templateUsed[0][2], ctx.templateCount[0], ctx.curTemplate),
              std::make_tuple(0, 1, 0));
    EXPECT_EQ(records, QStringList({"Camera 1 has deleted the 3 template "}));
    page->SlotTempDeleteCur();  // slot 0 is the reference
    EXPECT_EQ(said.last(), english(68));
    EXPECT_TRUE(page->templatesChanged[0]);

    std::fill(ctx.templateUsed[0].begin(), ctx.templateUsed[0].end(), 0);
    page->SlotTempNext();  // a detection without a used slot: one round, then stop
    EXPECT_EQ(ctx.curTemplate, 0);

    for (const char* name : {"cammer11/template1.bmp", "cammer22/template3.bmp", "cammer12/x.bmp"})
        QFile(name).open(QIODevice::WriteOnly);
    page->SlotTempDeleteAll();
    EXPECT_EQ(QDir("cammer11").entryList(QDir::Files), QStringList({"template0.bmp"}));
    EXPECT_EQ(QDir("cammer22").entryList(QDir::Files), QStringList());
    EXPECT_TRUE(QFile::exists("cammer12/x.bmp"));
    EXPECT_EQ(cleared, QJsonObject({{"camera", QJsonArray({0, 0, 1, 1})},
                                    {"detect", QJsonArray({0, 1, 0, 1})}}));
    EXPECT_EQ(records.last(), english(71));
}

TEST_F(EditPageTest, NgPicturesAreBrowsedNewestFirst) {
    const QDir folder(recordFolder(0, 1, 0));
    QDir().mkpath(folder.path());
    const QDateTime now = QDateTime::currentDateTime();
    const QStringList names = {"old", "middle", "new"};
    for (int k = 0; k < 3; ++k) {
        QImage(8 + k, 8, QImage::Format_RGB32).save(folder.filePath(names[k] + ".jpg"));
        QFile f(folder.filePath(names[k] + ".jpg"));
        f.open(QIODevice::ReadWrite);
        f.setFileTime(now.addSecs(k - 10), QFileDevice::FileModificationTime);
    }
    page->Reset(false);
    page->choose(DetectList, 1);
    page->choose(SourceList, kSourceNgRecords);
    EXPECT_EQ(std::make_tuple(page->recordCount, page->recordName), std::make_tuple(3, "new"));
    QStringList seen;
    for (int k = 0; k < 3; ++k) {
        page->SlotTempNext();
        seen << page->recordName;
    }
    EXPECT_EQ(seen, QStringList({"middle", "old", "new"}));
    page->SlotTempLast();
    EXPECT_EQ(page->recordPicture().image.width(), 8);
    page->choose(SourceList, kSourceOkRecords);  // an empty folder
    page->SlotTempNext();
    EXPECT_EQ(std::make_tuple(page->recordCount, page->recordIndex, page->recordName),
              std::make_tuple(0, 0, QString()));
}

TEST_F(EditPageTest, SavingWritesTheChangeRecordsStoresAndRetrains) {
    page->Reset(false);
    page->SlotSaveData();
    EXPECT_TRUE(said.isEmpty() && records.isEmpty()) << "nothing edited: no question";

    CammerSingleton& edited = *v0().editParam;
    addArea(0, {100, 100, 300, 200}, roi::kFuncDefect, 30, 40, 5);
    addArea(1, {400, 100, 200, 200}, roi::kFuncRegistration);
    answer = false;
    page->SlotSaveData();
    EXPECT_EQ(v0().liveParam->roiCount[0], 0) << "declined: nothing committed";
    answer = true;
    page->SlotSaveData();
    EXPECT_EQ(said, QStringList({english(72), english(72)}));
    EXPECT_EQ(records,
              QStringList({"Detection Prod of camera 1 Added rectangular  area 1, function is "
                           "Defect Detection,the sensitivity is 30,, the filter size is 5, the "
                           "alarm area is 40",
                           "Detection Mold of camera 1 Added rectangular  area 1, function is "
                           "Angle correction"}));
    EXPECT_TRUE(v0().liveParam->sameParameters(edited));
    const auto stored = std::make_unique<CammerSingleton>(0);
    stored->LoadDatafromFile(db, v0().baseScaleX, v0().baseScaleY, nullptr);
    EXPECT_EQ(std::make_tuple(stored->roiCount[0], stored->roiParam1[0][0]),
              std::make_tuple(1, 30));
    EXPECT_TRUE(v0().recong->grayMatch[0][0].IsValid()) << "retrained";

    // A selection is no change of its own: no question, and no record below.
    edited.rects[0][0].SetSelected(true);
    page->SlotSaveData();
    EXPECT_EQ(said.size(), 2);
    // Moving the registration area rebuilds the models before the matchers are trained.
    para.motionCorrect = 0;
    v0().recong->shapeRefX[1] = -1;
    edited.rects[1][0].showRect.translate(40, 0);
    records.clear();
    page->SlotSaveData();
    EXPECT_EQ(records, QStringList({"Detection Mold of camera 1 Changed the rectangular  area 1, "
                                    "The function is Angle correction,Detection position has been "
                                    "modified"}));
    EXPECT_NE(v0().recong->shapeRefX[1], -1);
}

// The disk refuses the areas: the operator is told, and what is in force and recorded stays as
// it was until a save the disk takes.
TEST_F(EditPageTest, AreasTheDiskDoesNotTakeAreNeitherInForceNorRecorded) {
    page->Reset(false);
    addArea(0, {100, 100, 300, 200}, roi::kFuncDefect, 30, 40, 5);
    db.close();
    page->SlotSaveData();
    EXPECT_EQ(said, QStringList({english(72), lang::cannotWriteText("PARAM.db")}));
    EXPECT_TRUE(records.isEmpty());
    EXPECT_EQ(v0().liveParam->roiCount[0], 0);
    EXPECT_TRUE(v0().context.roiMask[0][0].empty());
    ASSERT_TRUE(db.open());
    page->SlotSaveData();
    EXPECT_EQ(v0().liveParam->roiCount[0], 1);
    EXPECT_FALSE(v0().context.roiMask[0][0].empty());
    EXPECT_EQ(records.size(), 1);
}

TEST_F(EditPageTest, EveryOpeningCopiesTheAreasAndLeavingGivesTheCopyBack) {
    // A full polygon in the last slot of the last step, and an area that is edited below.
    CammerSingleton& live = *v0().liveParam;
    const int area = addRect(live, 0, {100, 100, 300, 200}, roi::kFuncDefect);
    v0().context.roiMask[0][area] = live.finishRoi(0, area, v0().baseScaleX, v0().baseScaleY);
    live.roiCount[7] = 100;
    RePolygon& full = live.polygons[7][99];
    live.roiShapeType[7][99] = roi::kShapePolygon;
    full.count = roi::kMaxPolygonPoints;
    for (int k = 0; k < full.count; ++k) full.points[k] = QPoint(3 + k % 300, 3 + k / 300);
    const auto constructed = std::make_unique<CammerSingleton>(0);
    const long long constructedBytes = testsupport::residentBytesOfMapping(constructed.get());
    answer = false;  // the edit is not saved
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        page->Reset(false);
        CammerSingleton& edit = *v0().editParam;
        ASSERT_EQ(std::memcmp(&edit, &live, sizeof live), 0) << "the opening copies everything";
        ASSERT_FALSE(v0().context.editRoiMask[0][area].empty());
        edit.roiParam1[0][area] += 5;
        page->SlotReturn();
        ASSERT_EQ(std::memcmp(&edit, constructed.get(), sizeof edit), 0) << "as constructed";
        ASSERT_LE(testsupport::residentBytesOfMapping(&edit), constructedBytes);
        ASSERT_TRUE(v0().context.editRoiMask[0][area].empty());
    }
    EXPECT_EQ(live.roiParam1[0][area], 10) << "declined edits never reach the live areas";
}

TEST_F(EditPageTest, ChangeRecordsOfChangedAreas) {
    struct Row {
        int func0, func1, b1, c1, a1;
        const char* text;  // empty: no record
        bool rebuild;
    };
    const Row rows[] = {
        {1, 1, 10, 20, 0x2805,
         "Changed the rectangular  area 1, The function is Spot detection , Changing the minimum "
         "gradation from 3 to 5，Changing the maximum gradation from 0 to 40",
         false},
        {0, 1, 10, 20, 3, "", false},
        {3, 3, 11, 20, 4,
         "Changed the rectangular  area 1, The function is Target positioning , Changing the "
         "positioning accuracy from 10 to 11, Changing the search speed from 3 to 4",
         true},
        {3, 0, 10, 20, 3, "", true},
        {0, 0, 10, 25, 3,
         "Changed the rectangular  area 1, The function is Defect detection, Changing the area  "
         "from 20 to 25",
         false},
    };
    CammerSingleton& live = *v0().liveParam;
    CammerSingleton& edited = *v0().editParam;
    for (const Row& r : rows) {
        live.roiCount[0] = edited.roiCount[0] = 0;
        addRect(live, 0, {10, 10, 50, 50}, r.func0);
        addRect(edited, 0, {10, 10, 50, 50}, r.func1, r.b1, r.c1, r.a1);
        const DetectionChanges c = describeChanges(live, edited, 0, 0, 0);
        const QString label = "Detection Prod of camera 1 ";
        EXPECT_EQ(c.records, *r.text ? QStringList({label + r.text}) : QStringList()) << r.text;
        EXPECT_EQ(c.rebuild, r.rebuild) << r.text;
    }
    addRect(live, 0, {60, 60, 90, 90}, roi::kFuncPosition);
    EXPECT_EQ(describeChanges(live, edited, 1, 0, 3).records.last(),
              "Detection 1st of camera 2 Deleted rectangular  area 2, function is Position");
}

TEST_F(EditPageTest, TheWidgetForwardsAndShowsThePage) {
    para.continuousArea = 1;
    widget = std::make_unique<DrawROIWidget>(nullptr, *this);
    EXPECT_TRUE(widget->isHidden());
    widget->Reset(false);
    EXPECT_FALSE(widget->isHidden());
    EXPECT_EQ(widget->x(), gShowW - kPageWidth);
    EXPECT_FALSE(widget->btnDrawRect->isHidden());
    EXPECT_TRUE(widget->btnReCheck->isHidden());
    widget->btnDrawRect->click();
    EXPECT_EQ(w.drawTool, kToolRect);
    EXPECT_TRUE(widget->btnDrawRect->isChecked());
    EXPECT_EQ(widget->btnDrawRect->text(), QString("结束画四边形"));
    EXPECT_FALSE(widget->btnDrawCircle->isEnabled());
    widget->btnDrawRect->click();  // a second press disarms
    EXPECT_EQ(w.drawTool, kToolNone);
    EXPECT_TRUE(widget->btnDrawCircle->isEnabled());
    widget->cbCamera->setCurrentIndex(1);
    EXPECT_EQ(w.curCamera, 1);
    widget->btnShowHide->click();
    EXPECT_EQ(widget->x(), 0);
    widget->btnReturn->click();
    EXPECT_TRUE(widget->isHidden());
    EXPECT_EQ(gSource, kSourceNone);
}

// On every source, in every language, no caption of the page is cut off: the paging buttons
// are half as wide as the others and their texts longer; they take two lines at (nearly) the
// size of their neighbours' texts instead of a much smaller font.
TEST_F(EditPageTest, EveryCaptionIsWhole) {
    const int language = gLan;
    for (int lan : {0, 1, 2, 3}) {
        gLan = lan;
        widget = std::make_unique<DrawROIWidget>(nullptr, *this);
        widget->Reset(false);
        for (int source = kSourceTemplate; source <= kSourceNgRecords; ++source) {
            widget->setSource(source);
            for (ColorButton* b : widget->findChildren<ColorButton*>()) {
                if (!b->isVisibleTo(widget.get()) || b == widget->btnReCheck) continue;
                EXPECT_LE(widest(b->font(), b->text()), b->width() - toolkit::kButtonTextMarginPx)
                    << lan << " source " << source << ": " << b->text().toStdString();
            }
            for (ColorButton* b : {widget->btnTempLast, widget->btnTempNext}) {
                if (!b->isVisibleTo(widget.get())) continue;
                EXPECT_GE(b->font().pixelSize(), ColorButton::fontPixelSize(b->type(), lan) - 2)
                    << lan << " source " << source << ": " << b->text().toStdString();
                const int lines = b->text().count('\n') + 1;
                EXPECT_LE(lines * QFontMetrics(b->font()).lineSpacing(), b->height());
            }
        }
        widget.reset();
    }
    gLan = language;
}

namespace {

// Mean grey of a rectangle of an image.
double meanGrey(const QImage& image, const QRect& r) {
    const QImage grey = image.copy(r).convertToFormat(QImage::Format_Grayscale8);
    double sum = 0;
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x) sum += grey.constScanLine(y)[x];
    return sum / (double(grey.width()) * grey.height());
}

// Some pixel within a pixel of `at` is the dark blue of an area outline.
bool outlineNear(const QImage& image, QPoint at) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const QColor c = image.pixelColor(at + QPoint(dx, dy));
            if (c.blue() > c.red() + 60 && c.blue() > c.green() + 60) return true;
        }
    return false;
}

}  // namespace

// The page on every source, in English and in Japanese, on the shipped pictures of the
// simulation camera: each source shows its own picture (the cavity where a part was left
// tells the NG picture from the clean one), the template shows the areas' outlines, and the
// buttons are written in the page's language. The pictures are also written when
// MOULDMON_PAGE_SHOTS names a folder, for people to look at.
TEST_F(EditPageTest, Screenshots) {
    const QString out = qEnvironmentVariable("MOULDMON_PAGE_SHOTS");
    const QString pictures = testsupport::sourceDir() + "/plugins/simcamera/pictures/mould-a/grey/";
    const QImage clean =
        QImage(pictures + "01-open.png").convertToFormat(QImage::Format_Grayscale8);
    const QImage fault =
        QImage(pictures + "03-part-left.png").convertToFormat(QImage::Format_Grayscale8);
    ASSERT_FALSE(clean.isNull() || fault.isNull());
    ASSERT_EQ(clean.size(), QSize(1280, 720));
    const auto frame = [](const QImage& picture) {
        std::vector<uchar> bytes;
        for (int y = 0; y < picture.height(); ++y)
            bytes.insert(bytes.end(), picture.constScanLine(y),
                         picture.constScanLine(y) + picture.width());
        return bytes;
    };
    // The upper right cavity, where the part was left, in the picture and on the 1.5 times
    // larger screen.
    const QRect cavity(780, 150, 120, 120);
    const QRect onScreen(1170, 225, 180, 180);
    const double cleanGrey = meanGrey(clean, cavity), faultGrey = meanGrey(fault, cavity);
    ASSERT_GT(std::abs(cleanGrey - faultGrey), 20);
    gShowW = 1920, gShowH = 1080, numCamera = 1;
    ASSERT_TRUE(clean.save(templatePath(0, 0, 0)));
    for (int kind : {0, 1}) {
        QDir().mkpath(recordFolder(0, 0, kind));
        (kind ? clean : fault).save(recordFolder(0, 0, kind) + "/20240521-101502.jpg");
    }
    const char* const names[] = {"template", "live", "recent-ng", "ok-records", "ng-records"};
    const bool showsFault[] = {false, false, true, false, true};
    const QRect buttons(1680, 80, 240, 820);
    QImage english[5];
    for (int language : {1, 3}) {
        gLan = language;
        widget.reset();
        QWidget screen;
        screen.resize(gShowW, gShowH);
        makeViews(&screen, 1, clean.width(), clean.height());
        CammerWidget& v = v0();
        v.setGeometry(0, 0, gShowW, gShowH);
        v.show();
        v.liveParam->roiCount[0] = 0;
        for (QRect r : {QRect(700, 180, 260, 300), QRect(1000, 560, 260, 300)}) {
            const int i = addRect(*v.liveParam, 0, r, roi::kFuncDefect);
            v.context.roiMask[0][i] = v.liveParam->finishRoi(0, i, v.baseScaleX, v.baseScaleY);
        }
        v.recentNgBuf[0][0] = frame(fault);
        v.recentNgCount[0] = 1;
        widget = std::make_unique<DrawROIWidget>(&screen, *this);
        w = EditWords{};
        widget->Reset(false);
        for (int source = 0; source < 5; ++source) {
            SCOPED_TRACE(std::string(names[source]) + (language == 3 ? " ja" : " en"));
            widget->setSource(source);
            if (source == kSourceLive) v.showFrame(frame(clean));
            const QImage shot = screen.grab().toImage();
            const double grey = meanGrey(shot, onScreen);
            EXPECT_LT(std::abs(grey - (showsFault[source] ? faultGrey : cleanGrey)),
                      std::abs(grey - (showsFault[source] ? cleanGrey : faultGrey)))
                << grey << " between clean " << cleanGrey << " and NG " << faultGrey;
            if (source == kSourceTemplate) {
                // Top, left, bottom and right edges of the first area.
                for (QPoint at :
                     {QPoint(830, 180), QPoint(700, 330), QPoint(830, 480), QPoint(960, 330)})
                    EXPECT_TRUE(outlineNear(shot, at)) << at.x() << "," << at.y();
            }
            if (language == 1)
                english[source] = shot.copy(buttons);
            else
                EXPECT_NE(shot.copy(buttons), english[source]) << "buttons in Japanese";
            if (!out.isEmpty()) {
                const QString file = QStringLiteral("%1/page_%2_%3.png")
                                         .arg(out, language == 3 ? "ja" : "en", names[source]);
                EXPECT_TRUE(shot.save(file)) << file.toStdString();
            }
        }
        widget.reset();
        views.clear();
    }
}

// --- answers to an NG alarm ---------------------------------------------------------------------

class AlarmPageTest : public EditPageTest {
protected:
    void SetUp() override {
        EditPageTest::SetUp();
        result = kResultNgAlarm, detect = 1;
        page->Reset(false);
        v0().isOK = false;
        for (int c = 0; c < 2; ++c) clearState[c][1] = 3;
        para.detectEnable[1] = 1;
    }
    void TearDown() override {
        gisSafeDoorOpen = false;
        EditPageTest::TearDown();
    }
    void showCamera(int index) { page->choose(CameraList, index); }
    // The grey value of pixel (x, y) of a stored picture; -1 when it cannot be read.
    static int pixelOf(const QString& path, int x, int y) {
        const QImage image(path);
        return image.isNull() ? -1 : qGray(image.pixel(x, y));
    }
};

TEST_F(AlarmPageTest, WarningsAndRefusalsChangeNothing) {
    struct Row {
        const char* what;
        int camera;  // 2: every camera tiled
        std::function<void()> setUp;
        void (EditPage::*action)();
        int warned;  // language entry, -1 none
    };
    const Row rows[] = {
        {"add with every camera tiled", 2, {}, &EditPage::SlotAddTemp, 107},
        {"add on a camera that passed", 1, {}, &EditPage::SlotAddTemp, 107},
        {"add with the door closed", 0, [&] { para.safeDoorResetAlarm = 1; },
         &EditPage::SlotAddTemp, 195},
        {"add with one template slot", 0, [&] { gTempNum = 1; }, &EditPage::SlotAddTemp, 258},
        {"add, password refused", 0, [&] { para.pswAddTemp = 1, password = 0; },
         &EditPage::SlotAddTemp, -1},
        {"skip a camera that passed", 1, [&] { cycleNG = true; }, &EditPage::SlotNoCheckCur, 107},
        {"skip, password refused", 0, [&] { para.pswNotDetect = 1, password = 0; },
         &EditPage::SlotNoCheckCur, -1},
        {"skip with the door closed", 0, [&] { para.safeDoorResetAlarm = 1; },
         &EditPage::SlotNoCheckCur, 195},
        {"show ignore points tiled", 2, {}, &EditPage::SlotShowHideAlarmPoint, 107},
        {"ignore on a camera that passed", 1, {}, &EditPage::SlotIgnoreAlarmPoint, 107},
        {"ignore, password refused", 0, [&] { password = 0; }, &EditPage::SlotIgnoreAlarmPoint, -1},
        {"delete ignore points tiled", 2, {}, &EditPage::SlotDeleteIgnorePoint, 107},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        para.safeDoorResetAlarm = para.pswAddTemp = para.pswNotDetect = 0;
        gTempNum = 4, password = 2, cycleNG = false;
        showCamera(r.camera);
        if (r.setUp) r.setUp();
        said.clear(), records.clear(), calls.clear();
        (page.get()->*r.action)();
        EXPECT_EQ(said, r.warned < 0 ? QStringList() : QStringList({english(r.warned)}));
        EXPECT_TRUE(records.isEmpty());
        EXPECT_TRUE(calls.isEmpty()) << calls.join(',').toStdString();
        EXPECT_EQ(v0().context.templateCount[1], 1);
        EXPECT_EQ(std::make_tuple(clearState[0][1], clearState[1][1], v0().alarmBlink),
                  std::make_tuple(3, 3, int(kBlinkOff)));
    }
}

// The step and interlock of each mode are the alarm rules' (their own test); here the page
// acts on them: the withheld output, the cameras still to answer, the page closing.
TEST_F(AlarmPageTest, ReDetectionWithholdsTheInterlockAndRunsTheCamerasStillToAnswer) {
    struct Row {
        int mode, detect, detections;
        bool firstDone;  // camera 1 answered already ("Don't Detect", "Add As Temp")
        QStringList calls;
        int step;
    };
    const Row rows[] = {
        {0, 1, 2, false, {"resetRun", "out 0 1", "flush", "run 0 1", "run 1 1", "decide"}, 1},
        {0, 1, 2, true, {"resetRun", "out 0 1", "flush", "run 1 1", "decide"}, 1},
        {3, 1, 3, false, {"resetRun", "flush", "run 0 1", "run 1 1", "decide"}, 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message() << "mode " << r.mode << " detection " << r.detect);
        para.detectMode = r.mode, gDNum = r.detections, detect = r.detect;
        para.detectEnable[r.detect] = 1;
        result = kResultNgAlarm;
        page->Reset(false);
        v0().isOK = false;
        for (int c = 0; c < 2; ++c) {
            clearState[c][r.detect] = 3;
            std::fill(std::begin(views[c]->detectDone), std::end(views[c]->detectDone), 0);
        }
        v0().detectDone[r.detect] = r.firstDone;
        std::fill(std::begin(pending), std::end(pending), 0);
        calls.clear();
        page->SlotReCheck();
        EXPECT_EQ(calls, r.calls);
        EXPECT_EQ(pending[r.step], r.firstDone ? 2 : 3);
        EXPECT_EQ(clearState[0][r.detect], r.firstDone ? 3 : 7);
        EXPECT_EQ(clearState[1][r.detect], 7);
        EXPECT_EQ(std::make_tuple(result, gSource, page->look().shown),
                  std::make_tuple(int(kResultWaiting), int(kSourceNone), false))
            << "passed: the page closes";
    }
}

TEST_F(AlarmPageTest, ReDetectionFailingAgainShowsTheNextFailedCamera) {
    showCamera(0);
    failing = {1};
    const int before = layouts;
    page->SlotReCheck();
    EXPECT_EQ(result, kResultNgAlarm);
    EXPECT_EQ(w.curCamera, 1);
    EXPECT_EQ(page->look().choices[CameraList].index, 1);
    EXPECT_GT(layouts, before);
    EXPECT_EQ(gSource, kSourceLive);
    EXPECT_TRUE(page->look().shown);
}

TEST_F(AlarmPageTest, DontDetectOneCameraOrAll) {
    showCamera(0);
    cycleNG = true;
    page->SlotNoCheckCur();
    EXPECT_EQ(said, QStringList({"Be sure not to detect this mold \r\n for camera 1?"}));
    EXPECT_EQ(records, QStringList({"Camera 1 do not detect the mold"}));
    EXPECT_EQ(std::make_tuple(clearState[0][1], clearState[1][1], int(v0().detectDone[1])),
              std::make_tuple(4, 7, 1));
    EXPECT_EQ(calls, QStringList({"resetRun", "out 0 1", "flush", "run 1 1", "decide"}));

    result = kResultNgAlarm;
    page->Reset(false);
    for (int c = 0; c < 2; ++c) clearState[c][1] = 3;
    showCamera(2);
    said.clear(), records.clear(), calls.clear();
    page->SlotNoCheckCur();
    EXPECT_EQ(said, QStringList({english(102)}));
    EXPECT_EQ(records, QStringList({english(103)}));
    EXPECT_EQ(std::make_tuple(clearState[0][1], clearState[1][1]), std::make_tuple(4, 4));
    EXPECT_EQ(calls, QStringList({"resetRun", "decide"}));
    EXPECT_EQ(gSource, kSourceNone);
}

TEST_F(AlarmPageTest, AddAsTemplateOnTheAlarmAndFromRecentNg) {
    showCamera(0);
    std::fill(v0().context.alignedBuf.begin(), v0().context.alignedBuf.end(), uchar(7));
    page->SlotAddTemp();
    EXPECT_EQ(said, QStringList({english(108)}));
    EXPECT_EQ(v0().context.templateUsed[1], std::vector<int>({1, 1, 0, 0}));
    EXPECT_EQ(v0().context.templateCount[1], 2);
    EXPECT_EQ(pixelOf(templatePath(0, 1, 1), 5, 5), 7) << "the failed frame is stored";
    EXPECT_EQ(clearState[0][1], 5);
    EXPECT_EQ(records, QStringList({"Camerar 1 added a template"}));
    EXPECT_EQ(calls, QStringList({"resetRun", "out 0 1", "flush", "run 1 1", "decide"}))
        << "the camera is done; the others are inspected again";
    EXPECT_FALSE(page->templatesChanged[0]) << "trained at once";

    // Outside an alarm, from the ring of recent NG frames: trained when the page is left.
    result = kResultWaiting;
    page->Reset(false);
    page->choose(SourceList, kSourceRecentNg);
    const int d = w.editDetect;
    v0().recentNgBuf[d][0].assign(size_t(v0().frameBytes), uchar(9));
    calls.clear(), records.clear();
    page->SlotAddTemp();
    const int slot = d == 1 ? 2 : 1;
    EXPECT_EQ(pixelOf(templatePath(0, d, slot), 5, 5), 9);
    EXPECT_TRUE(page->templatesChanged[0]);
    EXPECT_TRUE(calls.isEmpty()) << "nothing is inspected again";
    EXPECT_TRUE(records.isEmpty());
    // A slot of the ring nothing was kept in adds the zeroed frame it stands for.
    v0().recentNgShown = 1;
    page->SlotAddTemp();
    EXPECT_EQ(pixelOf(templatePath(0, d, slot + 1), 5, 5), 0);
}

TEST_F(AlarmPageTest, IgnorePointsOfTheFailedAreas) {
    showCamera(0);
    engine::EngineContext& ctx = v0().context;
    CammerSingleton& p = *v0().liveParam;
    p.roiCount[1] = 0;
    for (QRect r : {QRect(10, 10, 50, 50), QRect(200, 150, 110, 80)}) addRect(p, 1, r, 0);
    ctx.roiOK[1][0] = ctx.roiOK[1][1] = 0;
    ctx.roiValue[1][0] = kMaxIgnoredArea + 1;  // too large: left alone
    ctx.roiValue[1][1] = 10;
    ctx.defectRects[1][0].count = 1;
    ctx.defectRects[1][0].rects[0] = {10, 10, 60, 60};
    ctx.defectRects[1][1].count = 1;
    ctx.defectRects[1][1].rects[0] = {310, 230, 330, 250};  // past the frame's corner
    const int W = v0().imageW;
    for (QPoint found : {QPoint(20, 20), QPoint(315, 235), QPoint(319, 239), QPoint(300, 200)})
        ctx.resultMask[size_t(found.y() * W + found.x())] = 255;

    page->SlotShowHideAlarmPoint();
    EXPECT_EQ(std::make_tuple(v0().alarmBlink, page->look().controls[ShowIgnoreButton].text),
              std::make_tuple(int(kBlinkIgnorePoints), english(112)));
    page->SlotShowHideAlarmPoint();
    EXPECT_EQ(std::make_tuple(v0().alarmBlink, page->look().controls[ShowIgnoreButton].text),
              std::make_tuple(int(kBlinkOff), english(64)));

    page->SlotIgnoreAlarmPoint();
    EXPECT_EQ(said, QStringList({english(113), english(115).arg(kMaxIgnoredArea)}));
    EXPECT_EQ(records, QStringList({"Camera 1 ignoring the current alarm point"}));
    const auto& mask = ctx.ignoreMask[1];
    EXPECT_EQ(std::count(mask.begin(), mask.end(), 255), 2);
    EXPECT_EQ(mask[size_t(239 * W + 319)], 255);
    EXPECT_EQ(pixelOf(ignoreMaskPath(0, 1), 315, 235), 255) << "saved at once";
    EXPECT_EQ(pixelOf(ignoreMaskPath(0, 1), 20, 20), 0);

    said.clear(), records.clear();
    page->SlotDeleteIgnorePoint();
    EXPECT_EQ(said, QStringList({english(116)}));
    EXPECT_EQ(records, QStringList({"Camera 1 delete all ignored points"}));
    EXPECT_EQ(std::count(mask.begin(), mask.end(), 0), v0().pixelCount);
    EXPECT_EQ(pixelOf(ignoreMaskPath(0, 1), 315, 235), 0);
}

// An answer whose file cannot be written is not done: the alarm stays for another answer.
TEST_F(AlarmPageTest, AnswersWhoseFileCannotBeWrittenChangeNothingAndSayWhy) {
    if (!testsupport::inPrivateMountNamespace()) return;
    showCamera(0);
    testsupport::TmpfsMount disk(QFileInfo(templatePath(0, 1, 0)).absolutePath(), 1 << 20);
    ASSERT_TRUE(disk.isMounted());
    engine::EngineContext& ctx = v0().context;
    CammerSingleton& p = *v0().liveParam;
    p.roiCount[1] = 0;
    addRect(p, 1, QRect(10, 10, 50, 50), 0);
    ctx.roiOK[1][0] = 0, ctx.roiValue[1][0] = 10;
    ctx.defectRects[1][0].count = 1;
    ctx.defectRects[1][0].rects[0] = {10, 10, 60, 60};
    ctx.resultMask[size_t(20 * v0().imageW + 20)] = 255;
    ctx.ignoreMask[1][size_t(40 * v0().imageW + 40)] = 255;
    const std::vector<uchar> maskBefore = ctx.ignoreMask[1];
    const struct {
        const char* what;
        bool readOnly;
        void (EditPage::*action)();
        QString file;
    } rows[] = {
        {"add, disk full", false, &EditPage::SlotAddTemp, templatePath(0, 1, 1)},
        {"add, read-only", true, &EditPage::SlotAddTemp, templatePath(0, 1, 1)},
        {"ignore, disk full", false, &EditPage::SlotIgnoreAlarmPoint, ignoreMaskPath(0, 1)},
        {"delete ignored, read-only", true, &EditPage::SlotDeleteIgnorePoint, ignoreMaskPath(0, 1)},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        if (r.readOnly)
            ASSERT_TRUE(disk.setReadOnly(true));
        else
            disk.fill();
        said.clear(), records.clear(), calls.clear();
        (page.get()->*r.action)();
        ASSERT_FALSE(said.isEmpty());
        EXPECT_EQ(said.last(), lang::cannotWriteText(QDir::cleanPath(r.file),
                                                     r.readOnly ? storage::WriteCause::ReadOnly
                                                                : storage::WriteCause::NoSpace));
        EXPECT_TRUE(records.isEmpty());
        EXPECT_TRUE(calls.isEmpty()) << "not inspected again: " << calls.join(',').toStdString();
        EXPECT_EQ(std::make_tuple(clearState[0][1], int(v0().detectDone[1]), result),
                  std::make_tuple(3, 0, int(kResultNgAlarm)));
        EXPECT_EQ(ctx.templateUsed[1], std::vector<int>({1, 0, 0, 0}));
        EXPECT_EQ(ctx.templateCount[1], 1);
        EXPECT_TRUE(ctx.ignoreMask[1] == maskBefore);
        disk.unfill();
        ASSERT_TRUE(disk.setReadOnly(false));
    }
}

// Every camera tiled, the second camera's disk full: the first camera's template is added, the
// second's is not. Pressed again once there is room, only the second is added.
TEST_F(AlarmPageTest, AddingAgainAfterAPartWayFailureAddsOnlyWhatIsMissing) {
    if (!testsupport::inPrivateMountNamespace()) return;
    testsupport::TmpfsMount disk(QFileInfo(templatePath(1, 1, 0)).absolutePath(), 1 << 20);
    ASSERT_TRUE(disk.isMounted());
    para.addAllCamTemp = 1;
    showCamera(2);
    for (int c = 0; c < 2; ++c) {
        views[size_t(c)]->isOK = false;
        std::fill(views[size_t(c)]->context.alignedBuf.begin(),
                  views[size_t(c)]->context.alignedBuf.end(), uchar(7 + c));
    }
    disk.fill();
    page->SlotAddTemp();
    disk.unfill();
    page->SlotAddTemp();
    EXPECT_EQ(records, QStringList({"Camerar 1 added a template", "Camerar 2 added a template"}));
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(views[size_t(c)]->context.templateUsed[1], std::vector<int>({1, 1, 0, 0}))
            << "camera " << c << ": its frame in one slot, no older template pushed out";
        EXPECT_EQ(pixelOf(templatePath(c, 1, 1), 5, 5), 7 + c);
        EXPECT_EQ(clearState[c][1], 5);
    }
}

TEST_F(AlarmPageTest, LiveAndTemplateSwitchOnOneCamera) {
    page->SlotAutoChange();
    EXPECT_EQ(gSource, kSourceLive) << "every camera tiled: nothing";
    showCamera(0);
    page->SlotAutoChange();
    EXPECT_EQ(gSource, kSourceTemplate);
    v0().alarmBlink = kBlinkOn;
    page->SlotAutoChange();
    EXPECT_EQ(gSource, kSourceLive);
    EXPECT_EQ(v0().alarmBlink, kBlinkOff);
    EXPECT_TRUE(v0().showAlarmTimer->isActive()) << "the failed camera blinks again";
    EXPECT_FALSE(views[1]->showAlarmTimer->isActive());
    // An OK of a later cycle lifts the alarm while the templates are shown: the page closes and
    // takes its source along.
    page->SlotAutoChange();
    ASSERT_EQ(gSource, kSourceTemplate);
    page->Restart();
    EXPECT_EQ(std::make_tuple(gSource, page->look().shown), std::make_tuple(kSourceNone, false));
}

// Whatever another source left on show, a source puts its own frame there: a detection with
// nothing prepared shows a blank frame under its caption, a frozen alarm picture taken up
// again is the camera's, and a failure kept in the recent NG slot on show is shown.
TEST_F(AlarmPageTest, EverySourceReplacesTheFrameOnShow) {
    showCamera(0);
    const std::vector<uchar> blank(size_t(v0().frameBytes), 0);
    const std::vector<uchar> failure(size_t(v0().frameBytes), 9);
    const int unprepared = v0().preparedDetections();
    ASSERT_LT(unprepared, kMaxDetections);
    const struct {
        const char* name;
        std::function<void()> act;
        std::vector<uchar> expected;
    } rows[] = {
        {"template of a detection with no templates",
         [&] {
             w.editDetect = unprepared;
             page->SlotChangeSource(kSourceTemplate);
         },
         blank},
        {"recent NG of a detection with no ring",
         [&] {
             w.editDetect = unprepared;
             page->SlotChangeSource(kSourceRecentNg);
         },
         blank},
        {"live, the alarm picture frozen on a multi-detection step",
         [&] {
             para.detectMode = 3, para.noRefreshAfterAlarm = 1, detect = 2;
             page->SlotChangeSource(kSourceLive);
         },
         v0().context.grabBuf},
        {"recent NG, a failure kept in the slot on show",
         [&] {
             w.editDetect = 1;
             page->SlotChangeSource(kSourceRecentNg);
             v0().context.alignedBuf = failure;
             v0().keepRecentNg(1);
         },
         failure},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::fill(v0().showBuf.begin(), v0().showBuf.end(), uchar(7));
        const int savedMode = para.detectMode, savedDetect = detect, savedEdit = w.editDetect;
        row.act();
        EXPECT_TRUE(v0().showBuf == row.expected);
        para.detectMode = savedMode, para.noRefreshAfterAlarm = 0, detect = savedDetect;
        w.editDetect = savedEdit;
    }
}
