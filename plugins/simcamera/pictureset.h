#pragma once
// The pictures of one simulated camera, decoded into frames in the layout the camera views
// expect: grey = 1 byte per pixel, colour = 4 bytes per pixel R, G, B, A (R in the low byte),
// rows without padding.

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QVector>

namespace simcamera {

class PictureSet {
public:
    // Loads the pictures of cameraFolder for grey or colour operation, in file-name order. The
    // pictures of the wanted kind are used when there are any, else the other kind converted.
    // Pictures whose size differs from the first one are skipped. False when none is usable.
    bool load(const QString& cameraFolder, bool colour);

    int count() const { return frames_.size(); }
    QSize size() const { return size_; }
    int frameBytes() const { return frameBytes_; }
    const QByteArray& frame(int index) const { return frames_.at(index); }

    // A picture file as a frame (empty when it cannot be read); used by load and by checks.
    static QByteArray frameFromFile(const QString& path, bool colour, QSize* size = nullptr);

private:
    QVector<QByteArray> frames_;
    QSize size_;
    int frameBytes_ = 0;
};

}  // namespace simcamera
