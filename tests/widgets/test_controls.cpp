// Buttons, combo box, sliders, status strip, tool bar and splash screen.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QPaintEngine>
#include <QProgressBar>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include "colorbutton.h"
#include "combobox.h"
#include "fittedfont.h"
#include "floatslider.h"
#include "globals.h"
#include "indexbutton.h"
#include "iostatuswidget.h"
#include "langtable.h"
#include "languagetable.h"
#include "slider.h"
#include "splashframe.h"
#include "toolkitlimits.h"
#include "uifont.h"

TEST(ColorButton, FontSizeFollowsTypeAndLanguage) {
    const int previous = gLan;
    gLan = 0;
    EXPECT_EQ(ColorButton("A", nullptr, 3).font().pixelSize(), 27);
    EXPECT_EQ(ColorButton("A", nullptr, 4).font().pixelSize(), 27);
    for (int language : {1, 2, 3}) {
        gLan = language;
        EXPECT_EQ(ColorButton("A", nullptr, 3).font().pixelSize(), 22) << language;
    }
    gLan = previous;
}

// A longer translation on a button of fixed width is drawn smaller, not cut off; a short one
// keeps the type's size.
TEST(ColorButton, TextsShrinkToFitTheirWidth) {
    const int previous = gLan;
    gLan = 1;
    const struct {
        const char* text;
        int width;
        bool shrinks;
    } rows[] = {{"+1", 89, false},
                {"Param Switch", 119, true},
                {"T-L Point", 89, true},
                {"パラメータ切替", 179, false},
                {"A very long caption indeed", 60, true}};
    for (const auto& row : rows) {
        ColorButton button(QString::fromUtf8(row.text), nullptr, ColorButton::Large);
        button.resize(row.width, 44);
        button.FitText();
        const int room = row.width - toolkit::kButtonTextMarginPx;
        const int used = QFontMetrics(button.font()).horizontalAdvance(button.text());
        EXPECT_EQ(button.font().pixelSize() < 22, row.shrinks) << row.text;
        if (button.font().pixelSize() > toolkit::kMinFittedFontPx) {
            EXPECT_LE(used, room) << row.text;
        }
        button.setText("+1");  // a shorter text gets the type's size back
        button.FitText();
        EXPECT_EQ(button.font().pixelSize(), 22) << row.text;
    }
    QFont points;
    points.setPointSize(40);
    const QFont fitted = fittedFont(points, QStringLiteral("filter Size :"), 150, 12);
    EXPECT_LE(QFontMetrics(fitted).horizontalAdvance(QStringLiteral("filter Size :")), 150);
    gLan = previous;
}

TEST(ColorButton, DarkTypeLooksAndRepeats) {
    ColorButton button("Move U", nullptr, 4);
    const QString style = button.styleSheet();
    EXPECT_TRUE(style.contains("background-color:#322f2f"));
    EXPECT_TRUE(style.contains("color:white"));
    EXPECT_TRUE(style.contains("border-radius:8px"));
    EXPECT_TRUE(style.contains(":checked"));
    EXPECT_TRUE(style.contains(":pressed"));
    EXPECT_TRUE(style.contains("#ed9d11"));
    EXPECT_TRUE(style.contains("#ff9900"));
    EXPECT_TRUE(style.contains(":disabled"));
    EXPECT_FALSE(button.autoRepeat());
    button.SetRepeat();
    EXPECT_TRUE(button.autoRepeat());
}

TEST(ComboBox, ItemHeightIsAStyleSheetOnAListView) {
    ComboBox box(nullptr);
    EXPECT_NE(qobject_cast<QListView*>(box.view()), nullptr);
    EXPECT_EQ(box.focusPolicy(), Qt::NoFocus);
    box.setItemHeight(76);
    EXPECT_EQ(box.styleSheet(), QStringLiteral("QComboBox QAbstractItemView::item{height:76px;}"));
    box.setItemHeight(50);
    EXPECT_EQ(box.styleSheet(), QStringLiteral("QComboBox QAbstractItemView::item{height:50px;}"));
}

// Inside a screen that has a style sheet of its own, the drop-down's rows keep their height and
// take the combo box's font.
TEST(ComboBox, DropDownRowsKeepTheirHeightAndTheComboFont) {
    QWidget screen;
    screen.setStyleSheet(QStringLiteral("QLabel{color:white;}"));
    screen.resize(400, 400);
    auto* box = new ComboBox(&screen);
    QFont large = box->font();
    large.setPixelSize(28);
    box->setFont(large);
    box->setItemHeight(76);
    box->addItems({QStringLiteral("Camera 1"), QStringLiteral("Camera 2")});
    screen.show();
    box->showPopup();
    EXPECT_EQ(box->view()->visualRect(box->model()->index(1, 0)).height(), 76);
    EXPECT_EQ(box->view()->font().pixelSize(), 28);
    box->hidePopup();
}

TEST(Slider, ResetSetsCaptionRangeStepAndValue) {
    Slider slider(0, 1000, 1, 50, nullptr, QStringLiteral("Area"));
    EXPECT_EQ(slider.value(), 50);
    EXPECT_EQ(slider.caption(), QStringLiteral("Area"));
    QSignalSpy changed(&slider, &Slider::valueChanged);
    slider.Reset(0, 255, 5, 200, QStringLiteral("Sensitivity"));
    EXPECT_EQ(slider.caption(), QStringLiteral("Sensitivity"));
    EXPECT_EQ(slider.minimum(), 0);
    EXPECT_EQ(slider.maximum(), 255);
    EXPECT_EQ(slider.pageStep(), 5);
    EXPECT_EQ(slider.value(), 200);
    ASSERT_GE(changed.count(), 1);
    EXPECT_EQ(changed.last()[0].toInt(), 200);
    // The same value again is no change.
    changed.clear();
    slider.setValue(200);
    EXPECT_EQ(changed.count(), 0);

    // A caption longer than its column is drawn smaller, clear of the handle; a short one
    // keeps the slider's size.
    const QLabel* caption = slider.findChildren<QLabel*>().value(0);
    ASSERT_NE(caption, nullptr);
    for (const char* text : {"Area", "フィルタサイズ", "Angle correction"}) {
        slider.Reset(0, 10, 1, 1, QString::fromUtf8(text));
        const int room = toolkit::kSliderCaptionWidth - toolkit::kSliderCaptionGapPx;
        EXPECT_LE(QFontMetrics(caption->font()).horizontalAdvance(caption->text()), room) << text;
        EXPECT_LE(caption->font().pixelSize(), toolkit::kSliderFontPx);
    }
    slider.Reset(0, 10, 1, 1, QStringLiteral("Area"));
    EXPECT_EQ(caption->font().pixelSize(), toolkit::kSliderFontPx);
}

TEST(FloatSlider, ValueIsPositionOverScale) {
    FloatSlider slider(nullptr);
    slider.setScale(100);
    slider.setRange(100, 500);
    QSignalSpy updates(&slider, &FloatSlider::updateValue);
    slider.setValue(250);
    ASSERT_EQ(updates.count(), 1);
    EXPECT_FLOAT_EQ(updates[0][0].toFloat(), 2.5f);
    slider.setToMinValue();
    EXPECT_FLOAT_EQ(updates.last()[0].toFloat(), 1.0f);
    EXPECT_EQ(slider.idleInterval(), toolkit::kFloatSliderIdleMs);
    // A scale of zero would divide by zero.
    slider.setScale(0);
    EXPECT_FLOAT_EQ(slider.floatValue(), 100.0f);
}

// A wait on a clock the test moves.
struct HandWait : IdleWait {
    qint64 now = 0, deadline = -1;
    void start(int ms) override { deadline = now + ms; }
    void stop() override { deadline = -1; }
    bool isActive() const override { return deadline >= 0; }
    void advance(int ms) {
        if ((now += ms) >= deadline && deadline >= 0) deadline = -1, expired();
    }
};

TEST(FloatSlider, ReturnsToItsMinimumWhenLeftAlone) {
    FloatSlider slider(nullptr);
    auto owned = std::make_unique<HandWait>();
    HandWait& wait = *owned;
    slider.setIdleWait(std::move(owned));
    slider.setScale(100);
    slider.setRange(100, 500);
    slider.setIdleInterval(40);
    slider.setValue(300);
    slider.startTimer();
    QSignalSpy updates(&slider, &FloatSlider::updateValue);
    wait.advance(39);
    EXPECT_TRUE(updates.isEmpty());
    wait.advance(1);
    ASSERT_EQ(updates.count(), 1);
    EXPECT_FLOAT_EQ(updates[0][0].toFloat(), 1.0f);
    EXPECT_FALSE(slider.isIdleTimerActive());

    // Being used again restarts the wait.
    slider.setValue(200);
    slider.startTimer();
    wait.advance(25);
    slider.startTimer();
    wait.advance(25);
    EXPECT_EQ(slider.value(), 200);
    wait.advance(15);
    EXPECT_EQ(slider.value(), 100);
}

TEST(IOStatusWidget, ShowsTheProvidersStatesAndLogsOutOnATap) {
    LangTable lang({{301, "Open"}, {302, "Safety"}, {305, "Clmp"}, {307, "Alrm"}});
    QWidget owner;
    owner.resize(1920, 1080);
    IOStatusWidget strip(&owner);
    EXPECT_EQ(strip.geometry().bottom(), owner.rect().bottom());
    EXPECT_FALSE(strip.terminalState(0, 1));

    QList<QPair<int, int>> asked;
    strip.setStateProvider([&](int kind, int n) {
        asked.append({kind, n});
        return (kind == 0 && n == 1) || (kind != 0 && n == 2);
    });
    EXPECT_TRUE(strip.terminalState(0, 1));
    EXPECT_FALSE(strip.terminalState(0, 2));
    EXPECT_TRUE(strip.terminalState(1, 2));
    asked.clear();
    strip.grab();  // paints every terminal once
    EXPECT_EQ(asked.size(), toolkit::kIOInputCount + toolkit::kIOOutputCount);
    EXPECT_TRUE(asked.contains({0, 9}));
    EXPECT_TRUE(asked.contains({1, 8}));

    EXPECT_EQ(IOStatusWidget::terminalName(0, 0), QStringLiteral("Open"));
    EXPECT_EQ(IOStatusWidget::terminalName(1, 2), QStringLiteral("Alrm"));
    EXPECT_EQ(IOStatusWidget::terminalName(0, 6), QStringLiteral("I7"));
    EXPECT_EQ(IOStatusWidget::terminalName(1, 8), QStringLiteral("O9"));

    QSignalSpy logout(&strip, &IOStatusWidget::sigLogout);
    QTest::mouseClick(&strip, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(logout.count(), 1);
}

namespace {

// A paint device that keeps, of everything painted on it, the pixel size of each text.
class TextSizes : public QPaintDevice {
public:
    QMap<QString, int> sizes;  // by text run
    explicit TextSizes(QSize size) : size_(size), engine_(sizes) {}
    QPaintEngine* paintEngine() const override { return &engine_; }

protected:
    int metric(PaintDeviceMetric metric) const override {
        switch (metric) {
            case PdmWidth:
                return size_.width();
            case PdmHeight:
                return size_.height();
            case PdmDepth:
                return 32;
            case PdmDevicePixelRatio:
            case PdmDevicePixelRatioScaled:
                return metric == PdmDevicePixelRatio ? 1 : int(devicePixelRatioFScale());
            default:
                return 96;
        }
    }

private:
    struct Engine : QPaintEngine {
        QMap<QString, int>& sizes;
        explicit Engine(QMap<QString, int>& s) : sizes(s) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawPath(const QPainterPath&) override {}
        void drawTextItem(const QPointF&, const QTextItem& item) override {
            sizes[item.text()] = painter()->font().pixelSize();
        }
        Type type() const override { return User; }
    };
    QSize size_;
    mutable Engine engine_;
};

}  // namespace

// Every name fits its cell, and all of them are drawn in one size: a name drawn smaller than
// its neighbours looks like another kind of lamp.
TEST(IOStatusWidget, EveryTerminalNameFitsItsCellInEveryLanguage) {
    fillLanguageTable();
    QWidget owner;
    owner.resize(1920, 1080);
    const int previous = gLan;
    for (int language = 0; language < kLanguageCount; ++language) {
        SCOPED_TRACE(language);
        gLan = language;
        // The font the panel uses for this language.
        applyUiFont(*qApp, language);
        IOStatusWidget strip(&owner);
        const int cell = strip.cellWidth();
        const int cells = toolkit::kIOInputCount + toolkit::kIOOutputCount;
        EXPECT_LE(cell * cells + cell / 2, strip.width()) << "the cells stay on the strip";
        TextSizes drawn(strip.size());
        strip.render(&drawn);
        const QList<int> sizes = drawn.sizes.values();
        ASSERT_FALSE(sizes.isEmpty());
        EXPECT_EQ(QSet<int>(sizes.begin(), sizes.end()).size(), 1) << "one size for every name";
        QFont font = strip.font();
        font.setPixelSize(sizes.first());
        EXPECT_GE(font.pixelSize(), toolkit::kIOMinFontPx);
        for (int kind = 0; kind < 2; ++kind) {
            const int count = kind == 0 ? toolkit::kIOInputCount : toolkit::kIOOutputCount;
            for (int n = 0; n < count; ++n) {
                const QString name = IOStatusWidget::terminalName(kind, n);
                EXPECT_LE(QFontMetrics(font).horizontalAdvance(name), cell - toolkit::kIOLabelPadPx)
                    << name.toStdString() << " at " << font.pixelSize() << " px";
            }
        }
    }
    gLan = previous;
    applyUiFont(*qApp, previous);
    for (QString& text : gaLanStr) text.clear();
}

// --- tool bar ---

namespace {

// Stands for the main window: records which of its slots the tool bar called.
class FakeOwner : public QWidget {
    Q_OBJECT
public:
    QStringList calls;
public slots:
    void SlotReturn() { calls << "SlotReturn"; }
    void SlotStartStop() { calls << "SlotStartStop"; }
    void SlotSystemPara() { calls << "SlotSystemPara"; }
    void SlotReTrain() { calls << "SlotReTrain"; }
    void SlotAdjustArea() { calls << "SlotAdjustArea"; }
    void SlotManualTrig1() { calls << "SlotManualTrig1"; }
    void SlotManualTrig0() { calls << "SlotManualTrig0"; }
    void SlotMuliManualTrig() { calls << "SlotMuliManualTrig"; }
};

class PartialOwner : public QWidget {
    Q_OBJECT
public:
    int returns = 0;
public slots:
    void SlotReturn() { ++returns; }
};

QPushButton* toolButton(IndexButton& bar, const char* name) {
    return bar.findChild<QPushButton*>(QString::fromLatin1(name));
}

}  // namespace

TEST(IndexButton, ButtonsCallTheOwnersSlotsByName) {
    FakeOwner owner;
    owner.resize(1920, 1080);
    IndexButton bar(&owner);
    EXPECT_EQ(bar.connectedSlots(), 8);
    const QList<QPair<const char*, const char*>> expected = {
        {"return", "SlotReturn"},           {"startstop", "SlotStartStop"},
        {"systempara", "SlotSystemPara"},   {"retrain", "SlotReTrain"},
        {"adjustarea", "SlotAdjustArea"},   {"manualtrig1", "SlotManualTrig1"},
        {"manualtrig0", "SlotManualTrig0"}, {"mulimanualtrig", "SlotMuliManualTrig"}};
    for (const auto& e : expected) {
        owner.calls.clear();
        ASSERT_NE(toolButton(bar, e.first), nullptr) << e.first;
        toolButton(bar, e.first)->click();
        EXPECT_EQ(owner.calls, QStringList{QString::fromLatin1(e.second)}) << e.first;
    }
    // On the owner's right edge.
    EXPECT_EQ(bar.geometry().right(), owner.width() - toolkit::kToolBarMargin - 1);
}

TEST(IndexButton, AnOwnerWithoutSomeSlotsGetsTheOnesItHas) {
    PartialOwner owner;
    IndexButton bar(&owner);
    EXPECT_EQ(bar.connectedSlots(), 1);
    toolButton(bar, "return")->click();
    toolButton(bar, "startstop")->click();
    EXPECT_EQ(owner.returns, 1);
    IndexButton orphan(nullptr);
    EXPECT_EQ(orphan.connectedSlots(), 0);
}

TEST(IndexButton, StartStopTextStepChoiceAndStatistics) {
    LangTable lang({{127, "Stop Detection"},
                    {136, "Start Detection"},
                    {477, "1st"},
                    {478, "2nd"},
                    {479, "3rd"}});
    FakeOwner owner;
    IndexButton bar(&owner);
    EXPECT_EQ(toolButton(bar, "startstop")->text(), QStringLiteral("Stop Detection"));
    bar.setDetecting(false);
    EXPECT_EQ(toolButton(bar, "startstop")->text(), QStringLiteral("Start Detection"));
    bar.setDetecting(true);
    EXPECT_EQ(toolButton(bar, "startstop")->text(), QStringLiteral("Stop Detection"));

    auto* choice = bar.findChild<QComboBox*>(QStringLiteral("trigchoice"));
    bar.setStepCount(3);
    ASSERT_EQ(choice->count(), 3);
    EXPECT_EQ(choice->itemText(1), QStringLiteral("2nd"));
    choice->setCurrentIndex(2);
    EXPECT_EQ(bar.CurChooseTrig(), 2);
    bar.setStepCount(2);  // fewer steps: the choice stays in range
    EXPECT_EQ(bar.CurChooseTrig(), 1);
    bar.setStepCount(20);
    EXPECT_EQ(choice->count(), toolkit::kMaxSteps);

    QPushButton* statistics = toolButton(bar, "statistics");
    EXPECT_TRUE(statistics->isHidden());
    const int shortHeight = bar.height();
    bar.setStatisticsVisible(true);
    EXPECT_FALSE(statistics->isHidden());
    EXPECT_GT(bar.height(), shortHeight);
    QSignalSpy show(&bar, &IndexButton::sigShowStatistics);
    statistics->click();
    EXPECT_EQ(show.count(), 1);
}

TEST(IndexButton, CollapsesAndExpands) {
    FakeOwner owner;
    owner.resize(1920, 1080);
    IndexButton bar(&owner);
    EXPECT_EQ(bar.collapseInterval(), 120000);
    EXPECT_TRUE(bar.isCollapseTimerActive());
    EXPECT_FALSE(bar.isCollapsed());

    bar.SlotShowHideTimeout();
    EXPECT_TRUE(bar.isCollapsed());
    EXPECT_TRUE(bar.size().isEmpty());
    EXPECT_FALSE(bar.isCollapseTimerActive());

    bar.checkShowHide();
    EXPECT_FALSE(bar.isCollapsed());
    EXPECT_FALSE(bar.size().isEmpty());
    EXPECT_TRUE(bar.isCollapseTimerActive());
    // Expanded: nothing to do.
    bar.checkShowHide();
    EXPECT_FALSE(bar.isCollapsed());
}

// --- splash ---

TEST(SplashFrame, StepsNeverGoBackAndTheLastClosesTheProgressDialog) {
    SplashFrame splash;
    EXPECT_EQ(splash.size(), QSize(1920, 1080));
    EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
    auto* label = splash.findChild<QLabel*>(QStringLiteral("loadlabel"));
    auto* bar = splash.findChild<QProgressBar*>();
    ASSERT_NE(label, nullptr);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("程序加载中.."));
    EXPECT_EQ(bar->size(), QSize(500, 50));
    EXPECT_EQ(bar->value(), 0);

    splash.flushstep(0, QStringLiteral("启动..."));
    EXPECT_TRUE(splash.isVisible());
    EXPECT_EQ(label->text(), QStringLiteral("启动..."));
    splash.flushstep(42, QStringLiteral("等待相机开启..."));
    EXPECT_EQ(bar->value(), 42);
    splash.flushstep(30, QString());  // never back; an empty text keeps the text
    EXPECT_EQ(bar->value(), 42);
    EXPECT_EQ(label->text(), QStringLiteral("等待相机开启..."));
    splash.flushstep(-20, QStringLiteral("x"));
    EXPECT_EQ(bar->value(), 42);
    EXPECT_EQ(label->text(), QStringLiteral("x"));
    splash.flushstep(99, QString());
    EXPECT_EQ(bar->value(), 99);
    EXPECT_TRUE(splash.hasProgressDialog());

    splash.flushstep(250, QStringLiteral("complete"));
    EXPECT_EQ(splash.progressValue(), 100);
    EXPECT_FALSE(splash.hasProgressDialog());
    EXPECT_EQ(splash.findChild<QLabel*>(QStringLiteral("loadlabel")), nullptr);
    // Later steps are harmless.
    splash.flushstep(100, QStringLiteral("again"));
    EXPECT_EQ(splash.progressValue(), 100);
    EXPECT_EQ(splash.statusText(), QStringLiteral("again"));
}

#include "test_controls.moc"
