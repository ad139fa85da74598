// Retrain templates and ignore-point masks on disk: their names, formats and round trips,
// whatever the frame width, and the fallbacks for files that are missing or do not fit.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>

#include "failimagelimits.h"
#include "templatefiles.h"
#include "testsupport.h"

using namespace failimage;

namespace {

const uchar* bytesOf(const QByteArray& a) {
    return reinterpret_cast<const uchar*>(a.constData());
}

bool allZero(const std::vector<uchar>& mask) {
    return std::all_of(mask.begin(), mask.end(), [](uchar v) { return v == 0; });
}

}  // namespace

TEST(TemplateFiles, IgnoreMasksRoundTripThroughTheirFilesAtAnyWidth) {
    EXPECT_EQ(templatePath(7, 7, 3), "./cammer88/template3.bmp");
    EXPECT_EQ(ignorePointPath(1, 2), "./cammer23/ignorepoint.bmp");
    testsupport::WorkDir work;
    ASSERT_TRUE(QDir().mkpath("cammer23"));
    for (const QSize size : {QSize(37, 23), QSize(64, 48), QSize(1, 1)}) {
        SCOPED_TRACE(size.width());
        QByteArray mask(size.width() * size.height(), 0);
        for (int i = 0; i < mask.size(); ++i) mask[i] = (i * 7) % 5 == 0 ? char(255) : 0;
        mask[0] = char(1);  // any non-zero value is kept as it is
        ASSERT_TRUE(saveIgnoreMask(1, 2, bytesOf(mask), size.width(), size.height()));

        const QImage file(ignorePointPath(1, 2));
        EXPECT_EQ(file.format(), QImage::Format_Indexed8);
        EXPECT_EQ(file.colorTable(), grayColorTable());
        const std::vector<uchar> loaded = loadIgnoreMask(1, 2, size.width(), size.height());
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(loaded.data()), int(loaded.size())),
                  mask);
    }
}

TEST(TemplateFiles, FilesThatAreMissingOrDoNotFitAreNotTaken) {
    testsupport::WorkDir work;
    ASSERT_TRUE(QDir().mkpath("cammer11"));
    const std::vector<uchar> missing = loadIgnoreMask(0, 0, 10, 8);
    EXPECT_EQ(missing.size(), 80u);
    EXPECT_TRUE(allZero(missing));

    const QByteArray mask(10 * 8, char(255));
    ASSERT_TRUE(saveIgnoreMask(0, 0, bytesOf(mask), 10, 8));
    const std::vector<uchar> otherSize = loadIgnoreMask(0, 0, 12, 8);
    EXPECT_EQ(otherSize.size(), 96u);
    EXPECT_TRUE(allZero(otherSize));
    EXPECT_TRUE(loadIgnoreMask(0, 0, 0, 8).empty());
    // A grey file is not a colour frame, and a file of another size is no frame at all.
    QByteArray untouched(10 * 8 * 4, 0);
    uchar* dst = reinterpret_cast<uchar*>(untouched.data());
    EXPECT_FALSE(loadFrameBmp(ignorePointPath(0, 0), 10, 8, true, dst));
    EXPECT_FALSE(loadFrameBmp(ignorePointPath(0, 0), 11, 8, false, dst));
    EXPECT_EQ(untouched, QByteArray(10 * 8 * 4, 0));

    // A mask somebody stored as a colour picture of the right size is read by its grey values.
    QImage colour(10, 8, QImage::Format_RGB32);
    colour.fill(qRgb(0, 0, 0));
    colour.setPixel(3, 2, qRgb(255, 255, 255));
    ASSERT_TRUE(colour.save(ignorePointPath(0, 0), "BMP"));
    const std::vector<uchar> fromColour = loadIgnoreMask(0, 0, 10, 8);
    EXPECT_EQ(fromColour[2 * 10 + 3], 255);
    EXPECT_EQ(std::count(fromColour.begin(), fromColour.end(), 0), 79);

    // Nothing is written into a folder that does not exist.
    EXPECT_FALSE(saveIgnoreMask(4, 4, bytesOf(mask), 4, 4));
    EXPECT_FALSE(saveRetrainTemplate(4, 4, FrameView{bytesOf(mask), 4, 4, false}));
    EXPECT_FALSE(saveRetrainTemplate(0, 0, FrameView{}));
    EXPECT_FALSE(QDir("cammer55").exists());
}

TEST(TemplateFiles, ColourTemplatesKeepTrueColours) {
    testsupport::WorkDir work;
    ASSERT_TRUE(QDir().mkpath("cammer12"));
    const int w = 13, h = 5;
    QByteArray rgba;
    for (int i = 0; i < w * h; ++i)
        rgba.append(char(200)).append(char(i)).append(char(30)).append(char(255));
    ASSERT_TRUE(saveRetrainTemplate(0, 1, FrameView{bytesOf(rgba), w, h, true}));
    const QImage file(templatePath(0, 1, 0));
    EXPECT_EQ(file.depth(), 32);
    EXPECT_EQ(file.pixel(5, 1), qRgb(200, w + 5, 30));
    QByteArray back(w * h * 4, 0);
    ASSERT_TRUE(
        loadFrameBmp(templatePath(0, 1, 0), w, h, true, reinterpret_cast<uchar*>(back.data())));
    EXPECT_EQ(back, rgba);
    EXPECT_FALSE(
        loadFrameBmp(templatePath(0, 1, 0), w, h, false, reinterpret_cast<uchar*>(back.data())));
}
