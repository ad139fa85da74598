#pragma once
// Image helpers shared by the engine, the ROI shapes and the camera views: shifting and
// rotating pictures, proximity tests for touch editing, keeping display coordinates inside the
// camera display area (gShowW x gShowH) and the conversions between the cameras' 4-byte colour
// frames and the 8-bit pictures that are inspected and shown.
//
// Colour frames hold 4 bytes per pixel R, G, B, A; read as one int per pixel, R is the low
// byte. Rows follow each other without a gap.

#include <QPoint>
#include <QRect>
#include <opencv2/core.hpp>

namespace imaging {

// Margin kept between a display coordinate and the border of the display area.
constexpr int kDisplayMargin = 3;
// Proximity tolerances are clamped into this range (pixels).
constexpr int kMinTolerance = 3;
constexpr int kMaxTolerance = 50;
// Padding factor of TransformImage: the padded square is the longer side times this.
constexpr double kRotationPadFactor = 1.414;
// Colour conversions of frames with fewer pixels than this stay on the calling thread.
constexpr int kParallelPixelThreshold = 256 * 256;

}  // namespace imaging

// Grey weights of R, G and B scaled by 1024 (three tables of 256 entries: R, G, B).
extern const int gaRGB2Gray[3 * 256];

// dst(y, x) = src(y - dy, x - dx) where that pixel exists, else 0: the content moves by
// (+dx, +dy). dst is (re)created with src's size and type when it does not already have them;
// src and dst may share their pixels.
void MoveImage(cv::Mat src, cv::Mat& dst, int dx, int dy);

// Shifts the picture by `shift`, then rotates it by `angle` degrees (counter-clockwise
// positive) about `center`. The picture is padded first so that rotated corners are not cut
// off before the original frame is taken back out; uncovered pixels become 0.
void TransformImage(cv::Mat src, cv::Mat& dst, cv::Point shift, cv::Point center, double angle);

// Touch proximity: the tolerance is clamped to 3..50 and the comparison is strict.
bool PointAround(QPoint a, QPoint b, int tol);  // a square, not a circle
bool LineAround(int a, int b, int tol);
// Near the line at `a` on one axis and `c` within the inclusive span lo..hi on the other.
bool LineAround(int a, int b, int c, int lo, int hi, int tol);

// Keeps a display coordinate inside 3 .. S - 3 with S = gShowW (isX != 0) or gShowH.
void CheckInRange(int* v, int isX);
// The two trailing arguments are accepted for existing callers and not read.
void CheckInRange(int* v, int isX, int, int);
// Normalises the rectangle, then clamps each side (keepSize false) or moves the whole
// rectangle inside the area (keepSize true; a rectangle larger than the area ends flush with
// the right and bottom limits).
void CheckInRange(QRect* r, bool keepSize);
void CheckInRange(QRect* r, int, int, bool keepSize);

// Grey by the integer table gaRGB2Gray; a pure white pixel gives 254.
void RGB2Gray(uchar* dst, const int* src, int w, int h);
void RGBA2Gray(uchar* dst, const int* src, int w, int h);
// Each grey value g becomes the pixel bytes g, g, g, 0.
void Gray2RGBA(const uchar* src, int* dst, int w, int h);
// Hue in 0..254 (six sectors of 42.5); black, white and grey give 0.
uchar RGB2HueByte(uchar r, uchar g, uchar b);
void RGBA2Hue(uchar* dst, const int* src, int w, int h);
