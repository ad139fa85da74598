#pragma once
// The inspection parameters of one camera: for each of the 8 detection steps up to 100 ROIs,
// each with three parameters, a function code, a shape (rectangle, ring or polygon) and an NG
// output number; stored in the camera's own table "cammer<n>" of the parameter database.
//
// The record is plain data of fixed size (about 104 MB: every ROI slot carries a polygon of up
// to 8096 points). It owns nothing, so a byte-for-byte copy is a complete copy; allocate it with
// new. Image geometry and masks are derived data: they are rebuilt after loading or editing and
// never stored.
//
// Almost all of those bytes are unused polygon points, which are zero. A record made with new
// lives in pages of its own that start zeroed and are never written by the construction, so
// the memory a record costs is what its regions use (and one page per polygon slot for the
// slot's rectangles and scale). copyFrom and reset keep it that way; a plain assignment works
// too but writes every page.

#include <QRect>
#include <QSqlDatabase>
#include <QString>
#include <QVector>
#include <array>
#include <opencv2/core.hpp>
#include <type_traits>

#include "circle.h"
#include "clustomrect.h"
#include "repolygon.h"
#include "roilimits.h"

// One 8-bit mask per ROI over the ROI's image bounding rectangle, indexed [detection][roi].
using RoiMaskTable = std::array<std::array<cv::Mat, roi::kMaxRois>, roi::kDetections>;

struct RoiLoadResult {
    bool tableRead = false;  // the table could be read (it is created when missing)
    // Detections whose stored ROI count was outside 0..100; they were emptied. The caller
    // shows "Camera parameter file error!" (language entry 0) for them.
    QVector<int> badCountDetections;
    QString error;  // why the table could not be read or rows could not be added
};

class CammerSingleton {
public:
    explicit CammerSingleton(int cameraNo);

    // Zeroed pages of the record's own, given back to the system when it is deleted.
    static void* operator new(size_t size);
    static void operator delete(void* record, size_t size);

    // Makes this record a byte-for-byte copy of `other`, as memcpy would, but writes only the
    // pages that differ: untouched (zero) pages of both stay untouched.
    void copyFrom(const CammerSingleton& other);
    // Returns the record to its state after construction for the same camera and gives the
    // pages its contents took back to the system.
    void reset();

    // "cammer<cameraNo>".
    QString tableName() const;

    // Reads the camera's table into the record. Every loaded ROI gets the display scale
    // (display pixels per image pixel), its image geometry and, when `masks` is given, its
    // mask in (*masks)[g][i]. Missing detection rows are added to the table. Stored
    // coordinates are kept inside the display area, so gShowW and gShowH must be set.
    RoiLoadResult LoadDatafromFile(QSqlDatabase db, float scaleX, float scaleY,
                                   RoiMaskTable* masks);
    // Writes the whole record into the table in one transaction; the table is created when
    // missing. On failure nothing is changed, a warning is logged and false is returned with
    // the reason in `error`.
    bool SaveDatatoFile(QSqlDatabase db, QString* error = nullptr) const;

    // Selects ROI i of detection `detect` (the detection being edited) and takes the snapshot
    // of its function and parameters for syncParam.
    void setSelectRoi(int detect, int i);
    // Adds the change of ROI i since its snapshot to every other ROI of the same function in
    // the detection, then selects ROI i again.
    void syncParam(int detect, int i);

    // Gives ROI i of detection g the default parameters, NG output 0 and the default
    // rectangle (display geometry only).
    void setDefaultRoi(int g, int i);
    // The image bounding rectangle of the shape in force (type 1 rectangle, 4 ring, any
    // other the polygon); inclusive corners.
    QRect roiImageRect(int g, int i) const;
    // The display rectangle of the shape in force.
    QRect roiShowRect(int g, int i) const;
    // Sets the scale and derives the image geometry of the shape in force.
    void updateImageGeometry(int g, int i, float scaleX, float scaleY);
    // The mask of the shape in force.
    cv::Mat buildMask(int g, int i) const;
    // Finishing a ROI after its display geometry changed: scale, image geometry, mask.
    cv::Mat finishRoi(int g, int i, float scaleX, float scaleY);

    // Whether two records hold the same parameter data: ROI counts, parameters, functions,
    // shape types, the display geometry of every shape in force, NG outputs and the reserved
    // detection values. Selection, hover and derived image geometry are not compared.
    bool sameParameters(const CammerSingleton& other) const;
    // Whether area i of detection g has the same display geometry in both records, read as a
    // rectangle (type 1), a ring (4) or a polygon (any other type).
    bool sameGeometry(const CammerSingleton& other, int g, int i, int shapeType) const;

    int cameraNo;
    int roiCount[roi::kDetections];
    int roiParam1[roi::kDetections][roi::kMaxRois];
    int roiParam2[roi::kDetections][roi::kMaxRois];
    int roiParam3[roi::kDetections][roi::kMaxRois];
    int roiFunc[roi::kDetections][roi::kMaxRois];
    ClustomRect rects[roi::kDetections][roi::kMaxRois];
    Circle circles[roi::kDetections][roi::kMaxRois];
    // In a union only so that the construction does not write every point of every slot: the
    // constructor gives each slot the bytes of an empty polygon itself (see there).
    union {
        RePolygon polygons[roi::kDetections][roi::kMaxRois];
    };
    int roiShapeType[roi::kDetections][roi::kMaxRois];  // 1 rectangle, 2 polygon, 4 ring
    // One NG output per ROI number, shared by all detections.
    int roiNgOutput[roi::kMaxRois];
    int detectSpare[roi::kDetections][roi::kSpareValues];
    int selRoi;
    int selFunc;
    int selParam1;
    int selParam2;
    int selParam3;
};

static_assert(std::is_trivially_copyable<CammerSingleton>::value &&
                  std::is_standard_layout<CammerSingleton>::value,
              "ROI records are copied and compared byte for byte");
static_assert(std::is_standard_layout<RePolygon>::value,
              "an empty polygon slot is written field by field");
static_assert(std::is_trivially_copyable<ClustomRect>::value &&
                  std::is_trivially_copyable<Circle>::value &&
                  std::is_trivially_copyable<RePolygon>::value,
              "ROI shapes are copied byte for byte");
// No implicit padding: a byte comparison sees only field values.
static_assert(sizeof(ClustomRect) == 2 * sizeof(QRect) + 4 + sizeof(QPoint) + 3 * 4,
              "ClustomRect has no implicit padding");
static_assert(sizeof(Circle) == 2 * sizeof(QRect) + 2 * sizeof(QPoint) + 4 * 4 + 4 + 3 * 4,
              "Circle has no implicit padding");
static_assert(sizeof(RePolygon) == 4 + 2 * roi::kMaxPolygonPoints * sizeof(QPoint) +
                                       2 * sizeof(QRect) + 4 + sizeof(QPoint) + 3 * 4,
              "RePolygon has no implicit padding");
