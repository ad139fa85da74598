// The statistics screen, its camera pages and histograms, over a real model and store.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPainter>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>

#include "camerastatisticswidget.h"
#include "camereatabwidget.h"
#include "choosebox.h"
#include "combobox.h"
#include "dialogseam.h"
#include "histogram.h"
#include "languagetable.h"
#include "qfont_pix.h"
#include "statisticsdaylist.h"
#include "statisticspages.h"
#include "statisticsscreenconstants.h"
#include "statisticswidget.h"
#include "statstestutil.h"
#include "uifont.h"

using namespace statstest;

namespace {

class ScreenTest : public StatsTest {
protected:
    void SetUp() override {
        StatsTest::SetUp();
        fillLanguageTable();
        gLan = 1;
        gShowW = 1920;
        gShowH = 1080;
        gpChooseBox = new ChooseBox(nullptr, 750, 370);
    }
    void TearDown() override {
        delete StatisticsWidget::instance;
        delete gpChooseBox;
        gpChooseBox = nullptr;
        gpResStatisticsParam = nullptr;
        gLan = 0;
        StatsTest::TearDown();
    }
    // The model and the screen, connected as the main window connects them.
    StatisticsWidget& makeScreen(int mode = 3) {
        gpResStatisticsParam = &makeModel(mode);
        return remakeScreen();
    }
    StatisticsWidget& remakeScreen() {
        delete StatisticsWidget::instance;
        StatisticsWidget* s = StatisticsWidget::getInstance(nullptr);
        QObject::connect(s, &StatisticsWidget::sigUpdateRecord, model.get(),
                         &ResStatisticsParam::slotUpdateRecord);
        QObject::connect(model.get(), &ResStatisticsParam::sigLoadFinish, s,
                         &StatisticsWidget::slotUpdateRecord);
        QObject::connect(model.get(), &ResStatisticsParam::sigRecordCounted, s,
                         &StatisticsWidget::checkUpdate);
        QObject::connect(model.get(), &ResStatisticsParam::sigDayArchived, s,
                         &StatisticsWidget::updateList);
        return *s;
    }
    static QStringList rows(const QListWidget* list) {
        QStringList texts;
        for (int row = 0; row < list->count(); ++row) texts << list->item(row)->text();
        return texts;
    }
    static QStringList tabNames(const QTabWidget* tabs) {
        QStringList names;
        for (int i = 0; i < tabs->count(); ++i) names << tabs->tabText(i);
        return names;
    }
    // The page on view: whole-cycle totals of all cameras unless tabs are switched.
    CameraStatisticsWidget* shownPage(StatisticsWidget& s) {
        auto* cameraTabs = s.cameraPage(s.cameraTabWidget()->currentIndex());
        return cameraTabs->page(cameraTabs->currentIndex());
    }
};

TEST_F(ScreenTest, TabsFollowTheCamerasAndTheSystemFunction) {
    const struct {
        int mode, cameras, steps;
        QStringList outer, inner;
    } rows[] = {
        {0, 2, 2, {"All Camera", "Camera 1", "Camera 2"}, {"All detect", "Prod", "Mold"}},
        {1,
         1,
         4,
         {"All Camera", "Camera 1"},
         {"All detect", "Left prod", "Left mold", "Right prod", "Right mold"}},
        {3, 0, 3, {"All Camera"}, {"All detect", "1st", "2nd", "3rd"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.mode);
        freshWorkDir();
        useCounts(row.cameras, row.steps);
        StatisticsWidget& s = makeScreen(row.mode);
        EXPECT_EQ(tabNames(s.cameraTabWidget()), row.outer);
        for (int tab = 0; tab < s.cameraTabWidget()->count(); ++tab) {
            EXPECT_EQ(tabNames(s.cameraPage(tab)), row.inner);
            // Tab 0 is the summary (8), then cameras or steps from 0.
            EXPECT_EQ(s.cameraPage(tab)->page(0)->camera(), (tab + 8) % 9);
            EXPECT_EQ(s.cameraPage(tab)->page(row.steps)->detection(), row.steps - 1);
        }
    }
}

// A finger reaches every tab: each lies inside what its bar and the widgets around the bar leave
// on view, up to eight cameras and eight steps, in every language. Every language with every
// camera count in the normal build; the sanitizers look for memory faults, not for places, and
// build each screen many times slower, so there each language is tried with one count.
TEST_F(ScreenTest, EveryCameraAndStepTabIsOnView) {
#if defined(__SANITIZE_ADDRESS__)
    constexpr bool kEveryPair = false;
#else
    constexpr bool kEveryPair = true;
#endif
    const int cameraCounts[] = {1, 2, 4, 8};
    // Names of the tabs that lie outside what the bar and the widgets around it leave on view.
    const auto offView = [](const QTabWidget* tabs, const QWidget* screen) {
        const auto* bar = tabs->findChild<QTabBar*>(QString(), Qt::FindDirectChildrenOnly);
        QRect shown = screen->rect();
        for (const QWidget* w = bar; w != screen; w = w->parentWidget())
            shown &= QRect(w->mapTo(screen, QPoint()), w->size());
        QStringList off;
        for (int i = 0; i < bar->count(); ++i)
            if (!shown.contains(bar->tabRect(i).translated(bar->mapTo(screen, QPoint()))))
                off << bar->tabText(i);
        return off;
    };
    for (int language = 0; language < 4; ++language)
        for (int count = 0; count < 4; ++count) {
            if (!kEveryPair && count != language) continue;
            const int cameras = cameraCounts[count];
            SCOPED_TRACE(
                QString("language %1, %2 cameras").arg(language).arg(cameras).toStdString());
            gLan = language;
            applyUiFont(*qApp, language);
            freshWorkDir();
            useCounts(cameras, 8);
            StatisticsWidget& s = makeScreen(3);
            s.show();
            s.cameraTabWidget()->setCurrentIndex(cameras);
            EXPECT_EQ(offView(s.cameraTabWidget(), &s) + offView(s.cameraPage(cameras), &s),
                      QStringList());
        }
}

TEST_F(ScreenTest, DayListGroupsAndLiveCounts) {
    StatisticsWidget& s = makeScreen();
    groupName = "B";
    model->addRecord(2, 0, {true, false}, "A");
    model->addRecord(2, 0, {true, true}, "B");
    s.show();
    EXPECT_EQ(rows(s.dayList()), QStringList{"2024-05-01"});
    // The running day opens on the current parameter group, not on the first.
    EXPECT_EQ(s.groupBox()->currentText(), "B");
    EXPECT_EQ(shownPage(s)->figures(), QStringList({"1", "0", "0", "0", "1", "0", "0%"}));
    // Counts reach the page on view at once, also while the screen is hidden.
    s.hide();
    model->addRecord(2, 0, {false, true}, "B");
    EXPECT_EQ(shownPage(s)->figures(), QStringList({"1", "1", "0", "0", "2", "1", "50%"}));
    EXPECT_EQ(shownPage(s)->morning()->okCounts().at(1), 1);  // 09:00: the day's second hour

    QDir().mkpath("ResStatistics/2024-01-04.db");  // a directory is listed like a file
    for (const char* name : {"2024-01-03.db", "notes.txt"})
        QFile(QString("ResStatistics/") + name).open(QIODevice::WriteOnly);
    setNow(at(2024, 5, 2, 8, 5));
    EXPECT_TRUE(checkDateAndWait());
    // Once archived, the finished day is listed below the new running day, newest first.
    ASSERT_TRUE(testsupport::waitFor([&] { return s.dayList()->count() == 4; }));
    EXPECT_EQ(rows(s.dayList()),
              QStringList({"2024-05-02", "2024-05-01", "2024-01-04", "2024-01-03"}));
    EXPECT_EQ(shownPage(s)->figures().at(4), "0");

    // An archived day opens on its first group and ignores new counts.
    QSignalSpy loaded(model.get(), &ResStatisticsParam::sigLoadFinish);
    s.dayList()->setCurrentRow(1);
    s.UpdateRecord(s.dayList()->item(1));
    ASSERT_TRUE(testsupport::waitFor([&] { return loaded.count() == 1; }));
    EXPECT_EQ(s.groupBox()->currentText(), "default");
    s.groupBox()->setCurrentText("A");
    EXPECT_EQ(shownPage(s)->figures(), QStringList({"0", "1", "0", "0", "1", "1", "100%"}));
    model->addRecord(2, 0, {true, true}, "A");
    EXPECT_EQ(shownPage(s)->figures().at(4), "1");
    s.groupBox()->setCurrentText("B");
    EXPECT_EQ(shownPage(s)->figures().at(4), "2");

    // Back on the running day before a slow archive answer arrives: the answer is dropped.
    QSignalSpy answered(model->store(), &ResStatisticsDatabase::sigLoadFinish);
    s.UpdateRecord(s.dayList()->item(1));
    s.dayList()->setCurrentRow(0);
    s.UpdateRecord(s.dayList()->item(0));
    ASSERT_TRUE(testsupport::waitFor([&] { return answered.count() == 1; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(model->shownDay().date, "2024-05-02");
    // A day that cannot be read is shown as an empty "default" day.
    QSignalSpy failed(model.get(), &ResStatisticsParam::sigLoadFinish);
    model->slotUpdateRecord(1, stats::dayFilePath("ResStatistics", "1999-01-01"));
    ASSERT_TRUE(testsupport::waitFor([&] { return failed.count() == 1; }));
    EXPECT_FALSE(failed.at(0).at(0).toBool());
    EXPECT_EQ(model->getGroups(), QStringList{"default"});
    // A running day without the current parameter group shows nothing chosen and zeros.
    groupName = "C";
    s.updateList();
    EXPECT_EQ(s.groupBox()->currentIndex(), -1);
    EXPECT_EQ(shownPage(s)->figures().at(4), "0");
}

TEST_F(ScreenTest, ShiftHoursAreTakenOverOnlyWhenConfirmed) {
    StatisticsWidget& s = makeScreen();
    countOk();
    const auto choose = [&](int morningStart, int nightEnd) {
        s.show();
        s.hourBox(0)->setCurrentIndex(morningStart);
        s.hourBox(3)->setCurrentIndex(nightEnd);
        s.SlotConfirm();
        EXPECT_FALSE(s.isVisible());
    };
    {
        dialogs::ScopedAnswerer answers({QDialog::Rejected});
        choose(8, 8);  // unchanged: nothing asked
        EXPECT_EQ(answers.count(), 0);
        choose(6, 6);
        ASSERT_EQ(answers.count(), 1);
        EXPECT_EQ(answers.asked().at(0).text, lan(234));
    }
    EXPECT_EQ(model->morningsStart, 8);
    s.show();
    EXPECT_EQ(s.hourBox(0)->currentIndex(), 8);
    {
        dialogs::ScopedAnswerer answers({QDialog::Accepted});
        choose(6, 6);
    }
    EXPECT_EQ(model->morningsStart, 6);
    EXPECT_EQ(model->nightEnd, 6);
    EXPECT_EQ(model->currentDay().groups.at(0).morningStart, 6);
    // Stored at once, with the running day's start unchanged.
    EXPECT_EQ(readConfig()["morningsStart"].toInt(), 6);
    EXPECT_EQ(readConfig()["time"].toString(), QString::number(model->dayStart()));
}

TEST_F(ScreenTest, NgRateText) {
    const struct {
        int ok, ng;
        const char* text;
    } rows[] = {{2, 1, "33.33%"}, {7, 1, "12.5%"}, {5, 0, "0%"}, {0, 0, "0%"}, {0, 3, "100%"}};
    for (const auto& row : rows) EXPECT_EQ(stats::ngRateText(row.ok, row.ng), row.text);
}

TEST_F(ScreenTest, HistogramGeometry) {
    const int w = 1000, h = 420;
    // Worked by hand: the axes sit 20 px in from the left and bottom edges, so the plot is 960 px
    // wide with 4 steps of 240 px for 3 hours (ticks at x = 260, 500, 740), and its bars are
    // half a step (120 px) wide: OK left of the tick, NG right of it. The largest count, 10,
    // fills the 360 px between the top margin (40) and the x axis (400): 36 px per count.
    // Figures sit 20 px above their bar, or inside the top of a bar taller than that.
    auto g = stats::histogramGeometry(w, h, 3, {10, 0, 5}, {1, 10, 0}, 10);
    EXPECT_EQ(g.xAxis, QLineF(0, 400, 1000, 400));
    const struct {
        QLineF tick;
        QRectF hourText;
        QRect okBar, ngBar;
        QRectF okText, ngText;
    } hours[] = {
        {QLineF(260, 390, 260, 400), QRectF(140, 400, 240, 20), QRect(140, 40, 120, 360),
         QRect(260, 364, 120, 36), QRectF(140, 40, 120, 20), QRectF(260, 364, 120, 20)},
        {QLineF(500, 390, 500, 400), QRectF(380, 400, 240, 20), QRect(380, 400, 120, 0),
         QRect(500, 40, 120, 360), QRectF(380, 380, 120, 20), QRectF(500, 40, 120, 20)},
        {QLineF(740, 390, 740, 400), QRectF(620, 400, 240, 20), QRect(620, 220, 120, 180),
         QRect(740, 400, 120, 0), QRectF(620, 220, 120, 20), QRectF(740, 380, 120, 20)},
    };
    ASSERT_EQ(g.hours.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(g.hours[i].tick, hours[i].tick) << i;
        EXPECT_EQ(g.hours[i].hourText, hours[i].hourText) << i;
        EXPECT_EQ(g.hours[i].okBar, hours[i].okBar) << i;
        EXPECT_EQ(g.hours[i].ngBar, hours[i].ngBar) << i;
        EXPECT_EQ(g.hours[i].okText, hours[i].okText) << i;
        EXPECT_EQ(g.hours[i].ngText, hours[i].ngText) << i;
    }
    // Legend from the right edge: OK text 100 px wide ending 40 px in, its swatch (half a step)
    // 5 px to its left, then the NG text and swatch in the same way.
    EXPECT_EQ(g.okLegendText, QRectF(860, 5, 100, 30));
    EXPECT_EQ(g.okSwatch, QRect(735, 5, 120, 30));
    EXPECT_EQ(g.ngLegendText, QRectF(630, 5, 100, 30));
    EXPECT_EQ(g.ngSwatch, QRect(505, 5, 120, 30));

    // Lists of different lengths: the shortest decides the bars, every entry the scale.
    Histogram histogram(nullptr, {8, 9, 10}, {1, 2}, {3, 4, 40});
    EXPECT_EQ(histogram.barCount(), 2);
    EXPECT_EQ(histogram.largest(), 40);
    histogram.modifyDataAxisY({-5}, {});
    EXPECT_EQ(histogram.barCount(), 0);
    EXPECT_EQ(histogram.largest(), 0);
    g = stats::histogramGeometry(w, h, 0, {}, {}, 0);
    EXPECT_TRUE(g.hours.isEmpty());
    EXPECT_EQ(g.xAxis, QLineF(0, h - 20, w, h - 20));
}

// Dark pixels (text) of an image part as a mask cropped to its ink; swatches and bars are
// coloured, so they are no ink.
struct Ink {
    QRect box;  // in the image
    QImage mask;
};
Ink inkIn(const QImage& image, const QRect& area) {
    const auto dark = [&](int x, int y) {
        const QColor c = image.pixelColor(x, y);
        return std::max({c.red(), c.green(), c.blue()}) < 128;
    };
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (dark(x, y)) box |= QRect(x, y, 1, 1);
    QImage mask(box.size().expandedTo({1, 1}), QImage::Format_Grayscale8);
    mask.fill(0);
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            if (dark(x, y)) mask.setPixel(x - box.left(), y - box.top(), qRgb(255, 255, 255));
    return {box, mask};
}

// The ink of a text drawn whole, in the legend's font.
Ink inkOfText(const QString& text) {
    QFont font =
        QFont_Pix(QString::fromLatin1(stats::screen::kFontFamily), stats::screen::kHistogramFontPx);
    font.setPointSize(stats::screen::kLegendFontPointSize);
    QImage image(QFontMetrics(font).horizontalAdvance(text) + 40, 60, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(0, 0, image.width(), image.height()), Qt::AlignCenter, text);
    painter.end();
    return inkIn(image, image.rect());
}

// Pixels of the first `columns` columns where two masks, aligned at their top left, differ,
// against the ink there.
double firstColumnsMismatch(const QImage& a, const QImage& b, int columns) {
    int differ = 0, ink = 0;
    for (int y = 0; y < std::max(a.height(), b.height()); ++y)
        for (int x = 0; x < columns; ++x) {
            const auto on = [&](const QImage& m) {
                return x < m.width() && y < m.height() && qGray(m.pixel(x, y)) > 0;
            };
            differ += on(a) != on(b);
            ink += on(a) || on(b);
        }
    return ink ? double(differ) / ink : 1.0;
}

// The legend of a histogram shows both texts whole, first letter included, in English and
// Japanese (whose texts are longer than the boxes the Chinese ones fit in).
TEST_F(ScreenTest, HistogramLegendTextsAreWhole) {
    Histogram histogram(nullptr, {8, 9, 10}, {10, 5, 7}, {1, 2, 3});
    histogram.resize(900, stats::screen::kHistogramHeight);
    for (int language : {1, 3}) {
        SCOPED_TRACE(language);
        gLan = language;
        applyUiFont(*qApp, language);
        const QImage image = histogram.grab().toImage();
        const QRect band(0, stats::screen::kLegendTop, image.width(), stats::screen::kLegendHeight);
        // The swatches, found by their colours, part the band into the two texts.
        QRect green, red;
        for (int y = band.top(); y <= band.bottom(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.green() > 200 && c.red() < 100) green |= QRect(x, y, 1, 1);
                if (c.red() > 200 && c.green() < 100) red |= QRect(x, y, 1, 1);
            }
        ASSERT_FALSE(green.isEmpty() || red.isEmpty());
        const struct {
            int entry;
            QRect area;
        } legends[] = {
            {stats::screen::kLanLegendOk, QRect(QPoint(green.right() + 1, band.top()),
                                                QPoint(image.width() - 1, band.bottom()))},
            {stats::screen::kLanLegendNg,
             QRect(QPoint(red.right() + 1, band.top()), QPoint(green.left() - 1, band.bottom()))},
        };
        for (const auto& legend : legends) {
            const QString text = lan(legend.entry);
            SCOPED_TRACE(text.toStdString());
            const Ink shown = inkIn(image, legend.area);
            const Ink whole = inkOfText(text);
            const Ink first = inkOfText(text.left(1));
            EXPECT_NEAR(shown.box.width(), whole.box.width(), 1);
            EXPECT_LT(firstColumnsMismatch(shown.mask, whole.mask, first.box.width()), 0.2);
            EXPECT_GT(shown.box.left(), legend.area.left()) << "clear of the swatch";
            EXPECT_LT(shown.box.right(), legend.area.right()) << "inside the histogram";
        }
    }
    gLan = 0;
}

// A day with NG spread over the hours, in English and Japanese; the pictures are written when
// MOULDMON_STATS_SHOTS names a folder.
TEST_F(ScreenTest, SampleDayScreenshots) {
    useCounts(2, 2);
    gpResStatisticsParam = &makeModel(0);
    for (int slot = 0; slot < 24; ++slot) {
        setNow(at(2024, 5, 1, 8).addSecs(slot * 3600 + 60));
        const int cycles = 30 + (slot * 7) % 25;
        for (int cycle = 0; cycle < cycles; ++cycle) {
            const bool ng = cycle < (slot * 5) % 7;
            model->addRecord(0, 0, {true, !ng}, "default");
            model->addRecord(1, 0, {cycle != 3 || slot % 4 != 0, true}, "default");
        }
    }
    const auto pixels = [](const QImage& image, const QRect& area, bool green) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) {
                const QColor c = image.pixelColor(x, y);
                n += green ? c.green() > 200 && c.red() < 100 : c.red() > 200 && c.green() < 100;
            }
        return n;
    };
    for (int language : {1, 3}) {
        gLan = language;
        applyUiFont(*qApp, language);
        StatisticsWidget& shown = remakeScreen();
        shown.show();
        const QImage image = shown.grab().toImage();
        ASSERT_EQ(image.size(), QSize(1920, 1080));
        // Both shifts' histograms carry green and red bars.
        for (Histogram* histogram : {shownPage(shown)->morning(), shownPage(shown)->night()}) {
            const QRect area(histogram->mapTo(&shown, QPoint()), histogram->size());
            EXPECT_GT(pixels(image, area, true), 1000);
            EXPECT_GT(pixels(image, area, false), 100);
        }
        const QByteArray folder = qgetenv("MOULDMON_STATS_SHOTS");
        if (!folder.isEmpty())
            image.save(QString("%1/statistics-%2.png").arg(QString(folder)).arg(language));
    }
}

}  // namespace
