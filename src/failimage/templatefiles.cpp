#include "templatefiles.h"

#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QtDebug>
#include <cstring>

#include "faildirectory.h"
#include "failimagelimits.h"

namespace failimage {

namespace {

QString detectionFile(const char* pattern, int camera, int step) {
    return QString::fromLatin1(pattern).arg(camera + 1).arg(step + 1);
}

// An 8-bit grey picture of packed rows; QImage pads its rows to 4 bytes, so rows are copied
// one by one.
QImage grayPicture(const uchar* bytes, int width, int height) {
    QImage picture(width, height, QImage::Format_Indexed8);
    if (picture.isNull()) return picture;
    picture.setColorTable(grayColorTable());
    for (int y = 0; y < height; ++y)
        std::memcpy(picture.scanLine(y), bytes + qsizetype(y) * width, size_t(width));
    return picture;
}

bool writeBmp(const QString& path, const QImage& picture) {
    return writePictureAtomically(picture, path, "BMP");
}

void copyRows(const QImage& picture, int rowBytes, uchar* dst) {
    for (int y = 0; y < picture.height(); ++y)
        std::memcpy(dst + qsizetype(y) * rowBytes, picture.constScanLine(y), size_t(rowBytes));
}

}  // namespace

QString templatePath(int camera, int step, int slot) {
    return detectionFile(kTemplatePattern, camera, step).arg(slot);
}

QString ignorePointPath(int camera, int step) {
    return detectionFile(kIgnorePointPattern, camera, step);
}

QVector<QRgb> grayColorTable() {
    QVector<QRgb> table(256);
    for (int i = 0; i < 256; ++i) table[i] = qRgba(i, i, i, 255);
    return table;
}

bool saveFrameBmp(const QString& path, const FrameView& frame) {
    if (!frame.isValid()) {
        qWarning() << "picture file" << path << "not written: no frame";
        return false;
    }
    if (frame.color) {
        const QImage wrapped(frame.bytes, frame.width, frame.height, frame.width * 4,
                             QImage::Format_RGBX8888);
        return writeBmp(path, wrapped.convertToFormat(QImage::Format_RGB32));
    }
    return writeBmp(path, grayPicture(frame.bytes, frame.width, frame.height));
}

bool loadFrameBmp(const QString& path, int width, int height, bool color, uchar* dst) {
    if (!dst || width <= 0 || height <= 0) return false;
    QImageReader reader(path);
    const QImage picture = reader.read();
    if (picture.isNull() || picture.width() != width || picture.height() != height) return false;
    if (color) {
        if (picture.depth() != 32) return false;
        copyRows(picture.convertToFormat(QImage::Format_RGBX8888), width * 4, dst);
        return true;
    }
    if (picture.depth() != 8) return false;
    copyRows(picture, width, dst);
    return true;
}

bool saveRetrainTemplate(int camera, int step, const FrameView& frame) {
    return saveFrameBmp(templatePath(camera, step, 0), frame);
}

int ignoreMaskCount(int detectMode, int detections) {
    const int count = detectMode == kSequenceMode ? kSteps : detections;
    return count < 1 ? 0 : (count > kSteps ? kSteps : count);
}

bool saveIgnoreMask(int camera, int step, const uchar* mask, int width, int height) {
    return saveFrameBmp(ignorePointPath(camera, step), FrameView{mask, width, height, false});
}

std::vector<uchar> loadIgnoreMask(int camera, int step, int width, int height) {
    if (width <= 0 || height <= 0) return {};
    std::vector<uchar> mask(size_t(width) * size_t(height), 0);
    QImageReader reader(ignorePointPath(camera, step));
    QImage picture = reader.read();
    if (picture.isNull() || picture.width() != width || picture.height() != height) return mask;
    // Masks are written as 8-bit pictures; any other depth is read by its grey values so that
    // a pixel is never taken apart into bytes.
    if (picture.depth() != 8) picture = picture.convertToFormat(QImage::Format_Grayscale8);
    copyRows(picture, width, mask.data());
    return mask;
}

}  // namespace failimage
