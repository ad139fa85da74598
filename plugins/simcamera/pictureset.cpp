#include "pictureset.h"

#include <QDebug>
#include <QDir>
#include <QImage>
#include <cstring>

#include "simlimits.h"

namespace simcamera {

namespace {

QStringList picturesIn(const QString& folder) {
    QDir dir(folder);
    QStringList paths;
    for (const QString& name :
         dir.entryList({QLatin1String(kPicturePattern)}, QDir::Files, QDir::Name))
        paths.append(dir.filePath(name));
    return paths;
}

}  // namespace

QByteArray PictureSet::frameFromFile(const QString& path, bool colour, QSize* size) {
    QImage image(path);
    if (image.isNull()) return {};
    image = image.convertToFormat(colour ? QImage::Format_RGBA8888 : QImage::Format_Grayscale8);
    const int rowBytes = image.width() * (colour ? 4 : 1);
    QByteArray frame(rowBytes * image.height(), Qt::Uninitialized);
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(frame.data() + y * rowBytes, image.constScanLine(y), size_t(rowBytes));
    if (size) *size = image.size();
    return frame;
}

bool PictureSet::load(const QString& cameraFolder, bool colour) {
    frames_.clear();
    size_ = QSize();
    frameBytes_ = 0;
    const QDir dir(cameraFolder);
    QStringList paths =
        picturesIn(dir.filePath(QLatin1String(colour ? kColourFolder : kGreyFolder)));
    if (paths.isEmpty())
        paths = picturesIn(dir.filePath(QLatin1String(colour ? kGreyFolder : kColourFolder)));
    for (const QString& path : paths) {
        if (frames_.size() >= kMaxPictures) break;
        QSize pictureSize;
        QByteArray frame = frameFromFile(path, colour, &pictureSize);
        if (frame.isEmpty()) {
            qWarning().noquote() << "simulation camera: cannot read" << path;
            continue;
        }
        if (frames_.isEmpty()) {
            size_ = pictureSize;
            frameBytes_ = frame.size();
        } else if (pictureSize != size_) {
            qWarning().noquote() << "simulation camera: skipping" << path << "of size"
                                 << pictureSize << "instead of" << size_;
            continue;
        }
        frames_.append(frame);
    }
    return !frames_.isEmpty();
}

}  // namespace simcamera
