// Template and ignore-mask files of every depth and of odd widths, the synthetic reference,
// the painted picture and the clipped pixel overlays.

#include <QDir>
#include <QImage>
#include <algorithm>
#include <cstring>
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
    // In colour every byte of a pixel is set; the guard byte after the frame stays.
    for (const FrameFormat& format : {FrameFormat{kW, kH, false}, FrameFormat{kW, kH, true}}) {
        std::vector<uchar> slot(size_t(format.frameBytes()) + 1, 7);
        fillSyntheticTemplate(format, slot.data());
        const int bpp = format.bytesPerPixel();
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                const bool inside =
                    x >= kW / 4 && x <= 3 * (kW / 4) && y >= kH / 4 && y <= 3 * (kH / 4);
                for (int b = 0; b < bpp; ++b)
                    ASSERT_EQ(slot[(size_t(y) * kW + size_t(x)) * bpp + b], inside ? 255 : 0)
                        << bpp << ": " << x << "," << y;
            }
        }
        EXPECT_EQ(slot.back(), 7);
    }
}

TEST_F(ViewFrames, TemplatesOfOddWidthAreConvertedAndCopiedRowByRow) {
    const QString greyPath = work.file("grey.bmp");
    ASSERT_TRUE(writeGreyBmp(greyPath, kW, kH, 8, pattern));
    QImage picture(kW, kH, QImage::Format_RGB32);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) picture.setPixel(x, y, qRgb(200, x, y));
    const QString colourPath = work.file("colour.bmp");
    ASSERT_TRUE(picture.save(colourPath));
    const FrameFormat grey{kW, kH, false};
    const FrameFormat colour{kW, kH, true};
    for (const FrameFormat& format : {grey, colour}) {
        // Colour templates keep red in the low byte.
        std::vector<uchar> want;
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                if (format.color)
                    want.insert(want.end(), {200, uchar(x), uchar(y), 255});
                else
                    want.push_back(uchar(pattern(x, y)));
            }
        }
        std::vector<uchar> slot(want.size(), 0);
        ASSERT_TRUE(loadTemplateFile(format.color ? colourPath : greyPath, format, slot.data()));
        EXPECT_TRUE(slot == want) << (format.color ? "colour" : "grey");
    }

    // Another size, another depth or no file leaves the slot as it was.
    const struct {
        QString path;
        FrameFormat format;
    } refused[] = {{greyPath, {kW + 1, kH, false}},
                   {greyPath, colour},
                   {colourPath, grey},
                   {work.file("missing.bmp"), grey}};
    for (const auto& r : refused) {
        std::vector<uchar> untouched(size_t(r.format.frameBytes()), 9);
        EXPECT_FALSE(loadTemplateFile(r.path, r.format, untouched.data())) << r.path.toStdString();
        EXPECT_EQ(std::count(untouched.begin(), untouched.end(), 9), r.format.frameBytes());
    }
}

TEST_F(ViewFrames, MasksOfEveryDepthGiveTheSameMask) {
    const auto ignored = [](int x, int y) { return (x + 2 * y) % 5 == 0; };
    ASSERT_TRUE(writeGreyBmp(work.file("m1.bmp"), kW, kH, 1,
                             [&](int x, int y) { return ignored(x, y) ? 1 : 0; }));
    ASSERT_TRUE(writeGreyBmp(work.file("m4.bmp"), kW, kH, 4,
                             [&](int x, int y) { return ignored(x, y) ? 15 : 0; }));
    ASSERT_TRUE(writeGreyBmp(work.file("m8.bmp"), kW, kH, 8,
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
    ASSERT_TRUE(writeGreyBmp("cammer11/template1.bmp", kW, kH, 8, pattern));
    ASSERT_TRUE(writeGreyBmp("cammer11/template2.bmp", kW - 1, kH, 8, pattern));
    ASSERT_TRUE(writeGreyBmp("cammer11/ignorepoint.bmp", kW, kH, 1,
                             [](int x, int) { return x == kW - 1 ? 1 : 0; }));
    // Detection 2: a stored reference and a mask of the wrong size.
    ASSERT_TRUE(writeGreyBmp("cammer12/template0.bmp", kW, kH, 8, [](int, int) { return 33; }));
    ASSERT_TRUE(
        writeGreyBmp("cammer12/ignorepoint.bmp", kW, kH - 1, 8, [](int, int) { return 255; }));

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
    EXPECT_EQ(displayImageOver(display.data(), w, h).pixel(3, 3), qRgb(100, 100, 100));

    std::vector<uchar> mask(size_t(w * h), 255);
    const struct {
        QRect area;
        int marked;
    } rows[] = {
        {QRect(QPoint(8, 4), QPoint(40, 30)), 4},   // past the right and bottom edges
        {QRect(QPoint(-5, -5), QPoint(0, 0)), 1},   // above and left of the frame
        {QRect(QPoint(20, 20), QPoint(30, 30)), 0}  // entirely outside
    };
    for (const auto& row : rows)
        EXPECT_EQ(markPixels(display.data(), w, h, row.area, mask.data(), qRgb(255, 0, 0)),
                  row.marked);
    EXPECT_EQ(displayPixel(display.data(), w, 9, 5), qRgb(255, 0, 0));
    EXPECT_EQ(displayPixel(display.data(), w, 7, 5), qRgb(100, 100, 100));
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
