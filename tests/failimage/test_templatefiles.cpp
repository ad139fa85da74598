// Retrain templates and ignore-point masks on disk: their names, formats and round trips,
// whatever the frame width, and the fallbacks for files that are missing or do not fit.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QImageReader>

#include "failimagelimits.h"
#include "templatefiles.h"
#include "testsupport.h"

using namespace failimage;

namespace {

QByteArray patternMask(int w, int h) {
    QByteArray mask(w * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((x * 7 + y * 3) % 5 == 0) mask[y * w + x] = char(255);
    mask[0] = char(1);  // any non-zero value is kept as it is
    return mask;
}

const uchar* bytesOf(const QByteArray& a) {
    return reinterpret_cast<const uchar*>(a.constData());
}

}  // namespace

TEST(TemplateFiles, PathsCarryOneBasedCameraAndDetection) {
    EXPECT_EQ(templatePath(0, 1, 0), "./cammer12/template0.bmp");
    EXPECT_EQ(templatePath(7, 7, 3), "./cammer88/template3.bmp");
    EXPECT_EQ(ignorePointPath(2, 0), "./cammer31/ignorepoint.bmp");
}

TEST(TemplateFiles, IgnoreMasksRoundTripThroughTheirFilesAtAnyWidth) {
    testsupport::WorkDir work;
    for (const QSize size : {QSize(37, 23), QSize(64, 48), QSize(1, 1)}) {
        ASSERT_TRUE(QDir().mkpath("cammer23"));
        const QByteArray mask = patternMask(size.width(), size.height());
        ASSERT_TRUE(saveIgnoreMask(1, 2, bytesOf(mask), size.width(), size.height()));

        const QImage file(ignorePointPath(1, 2));
        EXPECT_EQ(file.format(), QImage::Format_Indexed8);
        EXPECT_EQ(file.colorTable(), grayColorTable());

        const std::vector<uchar> loaded = loadIgnoreMask(1, 2, size.width(), size.height());
        ASSERT_EQ(loaded.size(), size_t(mask.size()));
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(loaded.data()), int(loaded.size())),
                  mask)
            << size.width() << "x" << size.height();
    }
}

TEST(TemplateFiles, IgnoreMasksThatAreMissingOrDoNotFitReadAsNothingIgnored) {
    testsupport::WorkDir work;
    ASSERT_TRUE(QDir().mkpath("cammer11"));
    const std::vector<uchar> missing = loadIgnoreMask(0, 0, 10, 8);
    ASSERT_EQ(missing.size(), 80u);
    EXPECT_TRUE(std::all_of(missing.begin(), missing.end(), [](uchar v) { return v == 0; }));

    const QByteArray mask(10 * 8, char(255));
    ASSERT_TRUE(saveIgnoreMask(0, 0, bytesOf(mask), 10, 8));
    const std::vector<uchar> otherSize = loadIgnoreMask(0, 0, 12, 8);
    ASSERT_EQ(otherSize.size(), 96u);
    EXPECT_TRUE(std::all_of(otherSize.begin(), otherSize.end(), [](uchar v) { return v == 0; }));

    // A mask somebody stored as a colour picture of the right size is read by its grey values.
    QImage colour(10, 8, QImage::Format_RGB32);
    colour.fill(qRgb(0, 0, 0));
    colour.setPixel(3, 2, qRgb(255, 255, 255));
    ASSERT_TRUE(colour.save(ignorePointPath(0, 0), "BMP"));
    const std::vector<uchar> fromColour = loadIgnoreMask(0, 0, 10, 8);
    EXPECT_EQ(fromColour[2 * 10 + 3], 255);
    EXPECT_EQ(std::count(fromColour.begin(), fromColour.end(), 0), 79);

    EXPECT_TRUE(loadIgnoreMask(0, 0, 0, 8).empty());
}

TEST(TemplateFiles, RetrainTemplatesKeepGreyAndTrueColourFrames) {
    testsupport::WorkDir work;
    ASSERT_TRUE(QDir().mkpath("cammer12"));
    const int w = 13, h = 5;

    QByteArray grey(w * h, 0);
    for (int i = 0; i < grey.size(); ++i) grey[i] = char(i * 3);
    ASSERT_TRUE(saveRetrainTemplate(0, 1, FrameView{bytesOf(grey), w, h, false}));
    const QImage greyFile(templatePath(0, 1, 0));
    EXPECT_EQ(greyFile.format(), QImage::Format_Indexed8);
    EXPECT_EQ(greyFile.pixel(4, 2),
              qRgb(grey[2 * w + 4] & 0xff, grey[2 * w + 4] & 0xff, grey[2 * w + 4] & 0xff));
    QByteArray greyBack(w * h, 0);
    ASSERT_TRUE(loadFrameBmp(templatePath(0, 1, 0), w, h, false,
                             reinterpret_cast<uchar*>(greyBack.data())));
    EXPECT_EQ(greyBack, grey);
    // A grey file is not a colour template, and a file of another size is no template at all.
    QByteArray wrong(w * h * 4, 0);
    EXPECT_FALSE(
        loadFrameBmp(templatePath(0, 1, 0), w, h, true, reinterpret_cast<uchar*>(wrong.data())));
    EXPECT_FALSE(loadFrameBmp(templatePath(0, 1, 0), w + 1, h, false,
                              reinterpret_cast<uchar*>(wrong.data())));

    QByteArray rgba(w * h * 4, 0);
    for (int i = 0; i < w * h; ++i) {
        rgba[i * 4 + 0] = char(200);
        rgba[i * 4 + 1] = char(i);
        rgba[i * 4 + 2] = char(30);
        rgba[i * 4 + 3] = char(255);
    }
    ASSERT_TRUE(saveRetrainTemplate(0, 1, FrameView{bytesOf(rgba), w, h, true}));
    const QImage colourFile(templatePath(0, 1, 0));
    EXPECT_EQ(colourFile.depth(), 32);
    EXPECT_EQ(colourFile.pixel(5, 1), qRgb(200, w + 5, 30));  // true colours in the file
    QByteArray colourBack(w * h * 4, 0);
    ASSERT_TRUE(loadFrameBmp(templatePath(0, 1, 0), w, h, true,
                             reinterpret_cast<uchar*>(colourBack.data())));
    EXPECT_EQ(colourBack, rgba);
}

TEST(TemplateFiles, WritesIntoMissingFoldersFailWithoutAFile) {
    testsupport::WorkDir work;
    const QByteArray mask(16, char(255));
    EXPECT_FALSE(saveIgnoreMask(4, 4, bytesOf(mask), 4, 4));
    EXPECT_FALSE(saveRetrainTemplate(4, 4, FrameView{bytesOf(mask), 4, 4, false}));
    EXPECT_FALSE(saveRetrainTemplate(4, 4, FrameView{}));
    EXPECT_FALSE(QDir("cammer55").exists());
}
