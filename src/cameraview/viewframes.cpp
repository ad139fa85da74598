#include "viewframes.h"

#include <cstring>
#include <opencv2/core.hpp>

#include "frameclip.h"
#include "imagehelpers.h"
#include "viewlimits.h"

namespace cameraview {

namespace {

// Copies the rows of a converted picture into a tightly packed buffer. QImage rows are padded
// to multiples of four bytes, so the picture is never read as one block.
void copyRows(const QImage& image, int rowBytes, uchar* out) {
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(out + size_t(y) * size_t(rowBytes), image.constScanLine(y), size_t(rowBytes));
}

QImage readPicture(const QString& path) {
    QImage image;
    if (!image.load(path)) return QImage();
    return image;
}

}  // namespace

QString templatePath(int cameraNo, int detect, int slot) {
    return QString::fromLatin1(kTemplateFile).arg(cameraNo + 1).arg(detect + 1).arg(slot);
}

QString ignoreMaskPath(int cameraNo, int detect) {
    return QString::fromLatin1(kIgnoreMaskFile).arg(cameraNo + 1).arg(detect + 1);
}

bool loadTemplateFile(const QString& path, const FrameFormat& format, uchar* slot) {
    if (!format.isValid() || !slot) return false;
    const QImage image = readPicture(path);
    if (image.isNull() || image.width() != format.width || image.height() != format.height)
        return false;
    const int wantedDepth = format.color ? 32 : 8;
    if (image.depth() != wantedDepth) return false;
    // An 8-bit picture is read through its colour table, so a grey table gives the stored
    // values and any other table gives the grey of its colours.
    const QImage converted =
        image.convertToFormat(format.color ? QImage::Format_RGBA8888 : QImage::Format_Grayscale8);
    if (converted.isNull()) return false;
    copyRows(converted, format.width * format.bytesPerPixel(), slot);
    return true;
}

void fillSyntheticTemplate(const FrameFormat& format, uchar* slot) {
    if (!format.isValid() || !slot) return;
    const int w = format.width;
    const int h = format.height;
    const int bpp = format.bytesPerPixel();
    const int x1 = w / 4;
    const int x2 = 3 * (w / 4);
    const int y1 = h / 4;
    const int y2 = 3 * (h / 4);
    for (int y = 0; y < h; ++y) {
        uchar* row = slot + size_t(y) * size_t(w) * size_t(bpp);
        const bool rowInside = y >= y1 && y <= y2;
        for (int x = 0; x < w; ++x) {
            const uchar v = (rowInside && x >= x1 && x <= x2) ? 255 : 0;
            std::memset(row + size_t(x) * size_t(bpp), v, size_t(bpp));
        }
    }
}

bool loadIgnoreMaskFile(const QString& path, int width, int height, uchar* mask) {
    if (width <= 0 || height <= 0 || !mask) return false;
    const QImage image = readPicture(path);
    if (image.isNull() || image.width() != width || image.height() != height) return false;
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    if (grey.isNull()) return false;
    copyRows(grey, width, mask);
    return true;
}

QImage displayImageOver(uchar* display, int width, int height) {
    if (!display || width <= 0 || height <= 0) return QImage();
    return QImage(display, width, height, width * kDisplayBytesPerPixel, QImage::Format_RGBX8888);
}

void frameToDisplay(const uchar* frame, const FrameFormat& format, uchar* display) {
    if (!frame || !display || !format.isValid()) return;
    // Pixels are handled as 32-bit words: R in the low byte, the fourth byte in the high one,
    // made opaque so the picture reads the same wherever it is used.
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "frames are R, G, B, A in memory order");
    constexpr quint32 kOpaque = 0xff000000u;
    const bool colour = format.color;
    const auto convertRows = [=](const cv::Range& rows) {
        const size_t begin = size_t(rows.start) * size_t(format.width);
        const size_t end = size_t(rows.end) * size_t(format.width);
        for (size_t k = begin; k < end; ++k) {
            quint32 v;
            if (colour)
                std::memcpy(&v, frame + 4 * k, 4);
            else
                v = quint32(frame[k]) * 0x010101u;
            v |= kOpaque;
            std::memcpy(display + 4 * k, &v, 4);
        }
    };
    if (format.pixelCount() < imaging::kParallelPixelThreshold)
        convertRows(cv::Range(0, format.height));
    else
        cv::parallel_for_(cv::Range(0, format.height), convertRows);
}

int markPixels(uchar* display, int width, int height, const QRect& area, const uchar* mask,
               QRgb color) {
    if (!display || !mask) return 0;
    const QRect clipped = imaging::clippedRect(area, width, height);
    if (clipped.isEmpty()) return 0;
    const uchar pixel[4] = {uchar(qRed(color)), uchar(qGreen(color)), uchar(qBlue(color)), 0xff};
    int marked = 0;
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        const uchar* maskRow = mask + size_t(y) * size_t(width);
        uchar* row = display + size_t(y) * size_t(width) * kDisplayBytesPerPixel;
        for (int x = clipped.left(); x <= clipped.right(); ++x) {
            if (!maskRow[x]) continue;
            std::memcpy(row + size_t(x) * kDisplayBytesPerPixel, pixel, sizeof pixel);
            ++marked;
        }
    }
    return marked;
}

QRgb displayPixel(const uchar* display, int width, int x, int y) {
    const uchar* p = display + (size_t(y) * size_t(width) + size_t(x)) * kDisplayBytesPerPixel;
    return qRgb(p[0], p[1], p[2]);
}

}  // namespace cameraview
