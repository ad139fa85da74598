// Template and ignore-mask files of every depth and of odd widths, the synthetic reference,
// the painted picture and the clipped pixel overlays.

#include <QDir>
#include <QImage>
#include <vector>

#include "viewframes.h"
#include "viewtestsupport.h"

using namespace cameraview;
using namespace viewtest;

namespace {

// Odd sizes: QImage rows of these widths are padded, so a block copy would shear the picture.
constexpr int kW = 61;
constexpr int kH = 37;

int pattern(int x, int y) {
    return (x * 7 + y * 3) % 256;
}

}  // namespace

class ViewFrames : public ViewTest {};

TEST_F(ViewFrames, SyntheticReferenceCoversTheMiddleHalf) {
    const FrameFormat grey{640, 480, false};
    std::vector<uchar> slot(size_t(grey.frameBytes()), 7);
    fillSyntheticTemplate(grey, slot.data());
    const auto at = [&](int x, int y) { return int(slot[size_t(y) * 640 + size_t(x)]); };
    EXPECT_EQ(at(159, 200), 0);
    EXPECT_EQ(at(160, 200), 255);
    EXPECT_EQ(at(480, 200), 255);
    EXPECT_EQ(at(481, 200), 0);
    EXPECT_EQ(at(200, 119), 0);
    EXPECT_EQ(at(200, 120), 255);
    EXPECT_EQ(at(200, 360), 255);
    EXPECT_EQ(at(200, 361), 0);
    EXPECT_EQ(at(0, 0), 0);

    // In colour every byte of a pixel is set, across the whole frame.
    const FrameFormat colour{kW, kH, true};
    std::vector<uchar> rgba(size_t(colour.frameBytes()), 7);
    fillSyntheticTemplate(colour, rgba.data());
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const bool inside =
                x >= kW / 4 && x <= 3 * (kW / 4) && y >= kH / 4 && y <= 3 * (kH / 4);
            const uchar* p = &rgba[(size_t(y) * kW + size_t(x)) * 4];
            for (int b = 0; b < 4; ++b) ASSERT_EQ(p[b], inside ? 255 : 0) << x << "," << y;
        }
    }
}

TEST_F(ViewFrames, GreyTemplatesOfOddWidthAreCopiedRowByRow) {
    const QString path = work.file("grey.bmp");
    ASSERT_TRUE(writeIndexedBmp(path, kW, kH, 8, greyPalette(256), pattern));
    const FrameFormat grey{kW, kH, false};
    std::vector<uchar> slot(size_t(grey.frameBytes()), 0);
    ASSERT_TRUE(loadTemplateFile(path, grey, slot.data()));
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            ASSERT_EQ(slot[size_t(y) * kW + size_t(x)], pattern(x, y)) << x << "," << y;

    // Another size or another depth leaves the slot as it was.
    std::vector<uchar> other(size_t((kW + 1) * kH), 9);
    EXPECT_FALSE(loadTemplateFile(path, FrameFormat{kW + 1, kH, false}, other.data()));
    EXPECT_EQ(other[0], 9);
    std::vector<uchar> rgba(size_t(kW * kH * 4), 9);
    EXPECT_FALSE(loadTemplateFile(path, FrameFormat{kW, kH, true}, rgba.data()));
    EXPECT_EQ(rgba[0], 9);
    EXPECT_FALSE(loadTemplateFile(work.file("missing.bmp"), grey, slot.data()));

    QImage colourPicture(kW, kH, QImage::Format_RGB32);
    colourPicture.fill(qRgb(1, 2, 3));
    ASSERT_TRUE(colourPicture.save(work.file("colour.bmp")));
    std::fill(slot.begin(), slot.end(), uchar(9));
    EXPECT_FALSE(loadTemplateFile(work.file("colour.bmp"), grey, slot.data()));
    EXPECT_EQ(slot[0], 9);
}

TEST_F(ViewFrames, ColourTemplatesKeepRedInTheLowByte) {
    QImage picture(kW, kH, QImage::Format_RGB32);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) picture.setPixel(x, y, qRgb(200, x, y));
    const QString path = work.file("colour.bmp");
    ASSERT_TRUE(picture.save(path));
    const FrameFormat colour{kW, kH, true};
    std::vector<uchar> slot(size_t(colour.frameBytes()), 0);
    ASSERT_TRUE(loadTemplateFile(path, colour, slot.data()));
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const uchar* p = &slot[(size_t(y) * kW + size_t(x)) * 4];
            ASSERT_EQ(p[0], 200);
            ASSERT_EQ(p[1], x);
            ASSERT_EQ(p[2], y);
            ASSERT_EQ(p[3], 255);
        }
    }
}

TEST_F(ViewFrames, MasksOfEveryDepthGiveTheSameMask) {
    const auto ignored = [](int x, int y) { return (x + 2 * y) % 5 == 0; };
    ASSERT_TRUE(writeIndexedBmp(work.file("m1.bmp"), kW, kH, 1, greyPalette(2),
                                [&](int x, int y) { return ignored(x, y) ? 1 : 0; }));
    ASSERT_TRUE(writeIndexedBmp(work.file("m4.bmp"), kW, kH, 4, greyPalette(16),
                                [&](int x, int y) { return ignored(x, y) ? 15 : 0; }));
    ASSERT_TRUE(writeIndexedBmp(work.file("m8.bmp"), kW, kH, 8, greyPalette(256),
                                [&](int x, int y) { return ignored(x, y) ? 255 : 0; }));
    for (const char* name : {"m1.bmp", "m4.bmp", "m8.bmp"}) {
        // A guard byte after the mask shows any write past its end.
        std::vector<uchar> mask(size_t(kW * kH) + 1, 77);
        ASSERT_TRUE(loadIgnoreMaskFile(work.file(name), kW, kH, mask.data())) << name;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                ASSERT_EQ(mask[size_t(y) * kW + size_t(x)] != 0, ignored(x, y))
                    << name << " " << x << "," << y;
        EXPECT_EQ(mask.back(), 77) << name;
    }
    std::vector<uchar> mask(size_t(kW * kH), 5);
    EXPECT_FALSE(loadIgnoreMaskFile(work.file("m1.bmp"), kW, kH + 1, mask.data()));
    EXPECT_FALSE(loadIgnoreMaskFile(work.file("none.bmp"), kW, kH, mask.data()));
    EXPECT_EQ(mask[0], 5);
}

TEST_F(ViewFrames, ViewLoadsItsTemplatesAndMasksFromItsFolders) {
    ASSERT_TRUE(QDir().mkpath(QStringLiteral("cammer11")));
    ASSERT_TRUE(QDir().mkpath(QStringLiteral("cammer12")));
    // Detection 1: template 0 missing, template 1 good, template 2 of another size.
    ASSERT_TRUE(writeIndexedBmp("cammer11/template1.bmp", kW, kH, 8, greyPalette(256), pattern));
    ASSERT_TRUE(
        writeIndexedBmp("cammer11/template2.bmp", kW - 1, kH, 8, greyPalette(256), pattern));
    ASSERT_TRUE(writeIndexedBmp("cammer11/ignorepoint.bmp", kW, kH, 1, greyPalette(2),
                                [](int x, int) { return x == kW - 1 ? 1 : 0; }));
    // Detection 2: a stored reference and a mask of the wrong size.
    ASSERT_TRUE(writeIndexedBmp("cammer12/template0.bmp", kW, kH, 8, greyPalette(256),
                                [](int, int) { return 33; }));
    ASSERT_TRUE(writeIndexedBmp("cammer12/ignorepoint.bmp", kW, kH - 1, 8, greyPalette(256),
                                [](int, int) { return 255; }));

    auto view = makeView(newCamera(kW, kH));
    ASSERT_TRUE(view->isOpen);
    const engine::EngineContext& c = view->context;
    ASSERT_EQ(c.templateBuf[0].size(), size_t(3));
    EXPECT_EQ(c.templateUsed[0], std::vector<int>({1, 1, 0}));
    EXPECT_EQ(c.templateCount[0], 2);
    EXPECT_EQ(c.templateBuf[0][0][size_t(kH / 2) * kW + kW / 2], 255);  // synthetic
    EXPECT_EQ(c.templateBuf[0][1][size_t(5) * kW + 3], pattern(3, 5));
    EXPECT_EQ(c.templateBuf[0][2][0], 0);
    EXPECT_EQ(c.ignoreMask[0][size_t(10) * kW + kW - 1], 255);
    EXPECT_EQ(c.ignoreMask[0][size_t(10) * kW + kW - 2], 0);

    EXPECT_EQ(c.templateUsed[1], std::vector<int>({1, 0, 0}));
    EXPECT_EQ(c.templateCount[1], 1);
    EXPECT_EQ(c.templateBuf[1][0][0], 33);
    EXPECT_EQ(std::count(c.ignoreMask[1].begin(), c.ignoreMask[1].end(), 0), kW * kH);
}

TEST_F(ViewFrames, OverlaysAreCutToTheFrame) {
    const int w = 10;
    const int h = 6;
    std::vector<uchar> frame(size_t(w * h), 100);
    std::vector<uchar> display(size_t(w * h * 4), 0);
    frameToDisplay(frame.data(), FrameFormat{w, h, false}, display.data());
    EXPECT_EQ(displayPixel(display.data(), w, 3, 3), qRgb(100, 100, 100));
    const QImage picture = displayImageOver(display.data(), w, h);
    EXPECT_EQ(picture.pixel(3, 3), qRgb(100, 100, 100));

    std::vector<uchar> mask(size_t(w * h), 255);
    // Reaches past the right and bottom edges: only the 2 x 2 pixels inside are coloured.
    EXPECT_EQ(markPixels(display.data(), w, h, QRect(QPoint(8, 4), QPoint(40, 30)), mask.data(),
                         qRgb(255, 0, 0)),
              4);
    EXPECT_EQ(displayPixel(display.data(), w, 9, 5), qRgb(255, 0, 0));
    EXPECT_EQ(displayPixel(display.data(), w, 7, 5), qRgb(100, 100, 100));
    // Above and left of the frame, and entirely outside.
    EXPECT_EQ(markPixels(display.data(), w, h, QRect(QPoint(-5, -5), QPoint(0, 0)), mask.data(),
                         qRgb(0, 255, 255)),
              1);
    EXPECT_EQ(markPixels(display.data(), w, h, QRect(QPoint(20, 20), QPoint(30, 30)), mask.data(),
                         qRgb(0, 255, 255)),
              0);
    // Only masked pixels.
    mask.assign(mask.size(), 0);
    mask[size_t(2) * w + 2] = 1;
    EXPECT_EQ(markPixels(display.data(), w, h, QRect(0, 0, w, h), mask.data(), qRgb(0, 0, 255)), 1);
    EXPECT_EQ(displayPixel(display.data(), w, 2, 2), qRgb(0, 0, 255));

    // Colour frames show their true colours.
    std::vector<uchar> rgba = {200, 50, 10, 0};
    std::vector<uchar> one(4, 0);
    frameToDisplay(rgba.data(), FrameFormat{1, 1, true}, one.data());
    EXPECT_EQ(displayImageOver(one.data(), 1, 1).pixel(0, 0), qRgb(200, 50, 10));
}
