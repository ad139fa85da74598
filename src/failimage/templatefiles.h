#pragma once
// The per-detection picture files of a camera: the templates ("./cammer<c><d>/template<k>.bmp",
// slot 0 written by retraining) and the ignore-point mask ("./cammer<c><d>/ignorepoint.bmp").
// Camera and detection are written 1-based, one number after the other.
//
// Grey frames and masks are stored as 8-bit indexed BMP files with a grey colour table; colour
// frames (bytes R, G, B, A) as 32-bit BMP files in true colours. Frames and masks are tightly
// packed rows whatever the width; files are replaced whole, so a failed write leaves the
// previous file.

#include <QtGui/qrgb.h>

#include <QString>
#include <QVector>
#include <vector>

#include "failpicture.h"

namespace failimage {

QString templatePath(int camera, int step, int slot);
QString ignorePointPath(int camera, int step);

// Entry i is the opaque grey i.
QVector<QRgb> grayColorTable();

// Writes a frame as a BMP file (format above). False, with a warning, when it cannot be written.
bool saveFrameBmp(const QString& path, const FrameView& frame);
// Reads a frame file written by saveFrameBmp into dst (frame.byteCount() bytes). Accepted only
// when the picture has the frame's width and height and its depth matches the colour mode
// (8 bits for grey, 32 for colour); false otherwise, dst untouched.
bool loadFrameBmp(const QString& path, int width, int height, bool color, uchar* dst);

// Retraining: writes the frame as template slot 0 of the detection.
bool saveRetrainTemplate(int camera, int step, const FrameView& frame);

// The number of ignore-point masks a camera keeps: 8 in the sequence detection mode, else the
// configured detection count (0 when below 1).
int ignoreMaskCount(int detectMode, int detections);
// Writes a mask of width x height bytes (non-zero = ignored) to the detection's file.
bool saveIgnoreMask(int camera, int step, const uchar* mask, int width, int height);
// The detection's mask: the file's pixels when it exists with the frame's size, else all zero.
std::vector<uchar> loadIgnoreMask(int camera, int step, int width, int height);

}  // namespace failimage
