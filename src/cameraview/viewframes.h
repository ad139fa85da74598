#pragma once
// Frames of a camera view on disk and on screen: template and ignore-mask files read into the
// tightly packed frame buffers, the synthetic reference template, the conversion of a frame
// into the painted picture and the overlays that colour single pixels of it.
//
// Frame buffers hold rows of width bytes (grey) or width x 4 bytes (R, G, B, A with R in the
// low byte) one directly after the other. The painted picture holds R, G, B, X bytes per pixel
// (QImage::Format_RGBX8888), so colour frames show their true colours.

#include <QImage>
#include <QRect>
#include <QRgb>
#include <QString>
#include <QtGlobal>

namespace cameraview {

struct FrameFormat {
    int width = 0;
    int height = 0;
    bool color = false;

    bool isValid() const { return width > 0 && height > 0; }
    int pixelCount() const { return width * height; }
    int bytesPerPixel() const { return color ? 4 : 1; }
    int frameBytes() const { return pixelCount() * bytesPerPixel(); }
};

// "./cammer<c><d>/template<slot>.bmp" and "./cammer<c><d>/ignorepoint.bmp" for camera number
// cameraNo and detection detect (both 0-based; the names use them plus one).
QString templatePath(int cameraNo, int detect, int slot);
QString ignoreMaskPath(int cameraNo, int detect);

// Reads a stored template into `slot` (frameBytes bytes). Accepted only when the picture has
// the frame's size and the depth of the camera's frames (8 bits for grey, 32 for colour); it
// is then converted to the frame's pixel format and copied row by row. False, with `slot`
// untouched, for a missing, unreadable or unsuitable file.
bool loadTemplateFile(const QString& path, const FrameFormat& format, uchar* slot);

// The reference used when no template 0 is stored: white (every byte of the pixel 255) for
// width/4 <= x <= 3(width/4) and height/4 <= y <= 3(height/4), black elsewhere.
void fillSyntheticTemplate(const FrameFormat& format, uchar* slot);

// Reads a stored ignore-point mask of width x height into `mask` (one byte per pixel, non-zero
// = ignored). Any depth is accepted and converted to grey, so a 1-bit or 4-bit picture gives
// the same mask as its 8-bit form. False, with `mask` untouched, for a missing, unreadable or
// differently sized file.
bool loadIgnoreMaskFile(const QString& path, int width, int height, uchar* mask);

// The painted picture over a display buffer of width x height x 4 bytes.
QImage displayImageOver(uchar* display, int width, int height);

// Copies a frame into the display buffer: colour frames as R, G, B, grey values as g, g, g,
// each with an opaque fourth byte.
void frameToDisplay(const uchar* frame, const FrameFormat& format, uchar* display);

// Colours the display pixels of `area` (inclusive corners, image coordinates, cut to the
// frame) whose byte in `mask` (width x height, frame-wide) is non-zero. Returns how many
// pixels were coloured.
int markPixels(uchar* display, int width, int height, const QRect& area, const uchar* mask,
               QRgb color);

// The colour of one display pixel.
QRgb displayPixel(const uchar* display, int width, int x, int y);

}  // namespace cameraview
