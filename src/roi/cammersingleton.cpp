#include "cammersingleton.h"

#include <sys/mman.h>
#include <unistd.h>

#include <QtDebug>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <new>
#include <set>

#include "imagehelpers.h"
#include "roirow.h"
#include "roitable.h"
#include "shapescale.h"

using namespace roi;

namespace {

bool validIndex(int g, int i) {
    return g >= 0 && g < kDetections && i >= 0 && i < kMaxRois;
}

int clampedCount(int count) {
    return std::clamp(count, 0, kMaxRois);
}

int clampedX(int v) {
    CheckInRange(&v, 1);
    return v;
}

int clampedY(int v) {
    CheckInRange(&v, 0);
    return v;
}

// A stored ring radius is 16 bits wide, which is far more than the display can show; a ring
// larger than the display diagonal covers the whole area anyway, and its mask would need
// gigabytes. Radii are kept within the diagonal.
int maxRingRadius() {
    if (gShowW <= 0 || gShowH <= 0) return (1 << kRingRadiusBits) - 1;
    return int(std::ceil(std::hypot(double(gShowW), double(gShowH))));
}

void appendRoiValue(std::string& out, const CammerSingleton& p, int g, int i) {
    const int type = p.roiShapeType[g][i];
    const RePolygon& polygon = p.polygons[g][i];
    const int code = (type == kShapePolygon && polygon.hand) ? kShapePolygon | kFreehandFlag : type;
    for (const qint64 v :
         {qint64(p.roiParam3[g][i]), qint64(p.roiParam1[g][i]), qint64(p.roiParam2[g][i]),
          qint64(p.roiFunc[g][i]), qint64(code), qint64(p.roiNgOutput[i])}) {
        appendNumber(out, v);
        out += ' ';
    }
    if (type == kShapePolygon) {
        const int n = std::clamp(polygon.count, 0, kMaxPolygonPoints);
        out.reserve(out.size() + size_t(n) * 10 + 8);
        appendNumber(out, n);
        out += ' ';
        for (int k = 0; k < n; ++k) {
            appendNumber(out, polygon.points[k].x());
            out += ' ';
            appendNumber(out, polygon.points[k].y());
            out += ' ';
        }
    } else if (type == kShapeRing) {
        const Circle& ring = p.circles[g][i];
        const quint32 m = (quint32(ring.innerRadius) << kRingRadiusBits) + quint32(ring.radius);
        out += "0 ";
        appendNumber(out, ring.center.x());
        out += ' ';
        appendNumber(out, ring.center.y());
        out += ' ';
        appendNumber(out, m);
    } else {
        const QRect& r = p.rects[g][i].showRect;
        out += "0 ";
        appendNumber(out, r.left());
        out += ' ';
        appendNumber(out, r.top());
        out += ' ';
        appendNumber(out, r.right());
        out += ' ';
        appendNumber(out, r.bottom());
    }
}

// --- the record's pages ---------------------------------------------------------------------

size_t pageSize() {
    static const size_t size = size_t(sysconf(_SC_PAGESIZE));
    return size;
}

size_t mappedSize(size_t size) {
    const size_t page = pageSize();
    return (size + page - 1) / page * page;
}

// Records that live in mappings of their own, whose pages may be given back.
std::mutex& mappedMutex() {
    static std::mutex m;
    return m;
}
std::set<const void*>& mappedRecords() {
    static std::set<const void*> records;
    return records;
}

bool isMapped(const void* record) {
    std::lock_guard<std::mutex> lock(mappedMutex());
    return mappedRecords().count(record) != 0;
}

// The mapping operator new just made, whose pages are still all zero; read once by the
// constructor that runs in it.
thread_local const void* tZeroedRecord = nullptr;

// The bytes of a new polygon after its point arrays; its count and points are all zero.
constexpr size_t kPolygonTail = offsetof(RePolygon, showRect);

const unsigned char* emptyPolygonTail() {
    static const auto* bytes = [] {
        static const RePolygon empty;
        return reinterpret_cast<const unsigned char*>(&empty) + kPolygonTail;
    }();
    return bytes;
}

}  // namespace

void* CammerSingleton::operator new(size_t size) {
    // A page that may not be touched on either side of the record keeps its mapping apart
    // from its neighbours (the system would otherwise join it to a writable mapping next to
    // it, a thread's stack say, and report their resident pages together) and stops a write
    // past either end.
    const size_t mapped = mappedSize(size);
    void* guarded = ::mmap(nullptr, mapped + 2 * pageSize(), PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (guarded == MAP_FAILED) throw std::bad_alloc();
    ::mprotect(guarded, pageSize(), PROT_NONE);
    void* p = static_cast<char*>(guarded) + pageSize();
    ::mprotect(static_cast<char*>(p) + mapped, pageSize(), PROT_NONE);
    // One byte written into a huge page would make all 2 MB of it resident.
    ::madvise(p, mapped, MADV_NOHUGEPAGE);
    {
        std::lock_guard<std::mutex> lock(mappedMutex());
        mappedRecords().insert(p);
    }
    tZeroedRecord = p;
    return p;
}

void CammerSingleton::operator delete(void* record, size_t size) {
    if (!record) return;
    {
        std::lock_guard<std::mutex> lock(mappedMutex());
        mappedRecords().erase(record);
    }
    ::munmap(static_cast<char*>(record) - pageSize(), mappedSize(size) + 2 * pageSize());
}

CammerSingleton::CammerSingleton(int camera)
    : cameraNo(camera),
      roiCount(),
      roiParam1(),
      roiParam2(),
      roiParam3(),
      roiFunc(),
      rects(),
      circles(),
      roiShapeType(),
      roiNgOutput(),
      detectSpare(),
      selRoi(0),
      selFunc(0),
      selParam1(0),
      selParam2(0),
      selParam3(0) {
    // Every slot gets the bytes of a new RePolygon. On fresh pages the count and the point
    // arrays are zero already and are left unwritten, so they cost no memory.
    const bool zeroed = tZeroedRecord == this;
    tZeroedRecord = nullptr;
    const unsigned char* tail = emptyPolygonTail();
    for (auto& step : polygons) {
        for (RePolygon& slot : step) {
            auto* bytes = reinterpret_cast<unsigned char*>(&slot);
            if (!zeroed) std::memset(bytes, 0, kPolygonTail);
            std::memcpy(bytes + kPolygonTail, tail, sizeof(RePolygon) - kPolygonTail);
        }
    }
}

void CammerSingleton::copyFrom(const CammerSingleton& other) {
    if (&other == this) return;
    auto* to = reinterpret_cast<unsigned char*>(this);
    const auto* from = reinterpret_cast<const unsigned char*>(&other);
    const size_t page = pageSize();
    for (size_t at = 0; at < sizeof(CammerSingleton); at += page) {
        const size_t n = std::min(page, sizeof(CammerSingleton) - at);
        if (std::memcmp(to + at, from + at, n) != 0) std::memcpy(to + at, from + at, n);
    }
}

void CammerSingleton::reset() {
    const int camera = cameraNo;
    if (isMapped(this)) {
        // The pages read as zero again and take no memory until written.
        ::madvise(this, mappedSize(sizeof(CammerSingleton)), MADV_DONTNEED);
        tZeroedRecord = this;
    }
    ::new (this) CammerSingleton(camera);
}

QString CammerSingleton::tableName() const {
    return cameraTableName(cameraNo);
}

void CammerSingleton::setDefaultRoi(int g, int i) {
    if (!validIndex(g, i)) return;
    roiParam3[g][i] = kDefaultParam3;
    roiParam1[g][i] = kDefaultParam1;
    roiParam2[g][i] = kDefaultParam2;
    roiFunc[g][i] = kDefaultFunc;
    roiShapeType[g][i] = kShapeRect;
    roiNgOutput[i] = 0;
    rects[g][i].showRect.setCoords(kDefaultRectX1, kDefaultRectY1, kDefaultRectX2, kDefaultRectY2);
}

QRect CammerSingleton::roiImageRect(int g, int i) const {
    if (!validIndex(g, i)) return QRect();
    switch (roiShapeType[g][i]) {
        case kShapeRect:
            return rects[g][i].imageRect;
        case kShapeRing:
            return circles[g][i].imageRect;
        default:
            return polygons[g][i].imageRect;
    }
}

QRect CammerSingleton::roiShowRect(int g, int i) const {
    if (!validIndex(g, i)) return QRect();
    switch (roiShapeType[g][i]) {
        case kShapeRect:
            return rects[g][i].showRect;
        case kShapeRing:
            return circles[g][i].showRect;
        default:
            return polygons[g][i].showRect;
    }
}

void CammerSingleton::updateImageGeometry(int g, int i, float scaleX, float scaleY) {
    if (!validIndex(g, i)) return;
    switch (roiShapeType[g][i]) {
        case kShapeRect:
            rects[g][i].setShowA(scaleX, scaleY);
            rects[g][i].setImageRect();
            break;
        case kShapeRing:
            circles[g][i].setShowA(scaleX, scaleY);
            circles[g][i].setImageRect();
            break;
        default:
            polygons[g][i].setShowA(scaleX, scaleY);
            polygons[g][i].setImageRect();
            break;
    }
}

cv::Mat CammerSingleton::buildMask(int g, int i) const {
    if (!validIndex(g, i)) return cv::Mat();
    switch (roiShapeType[g][i]) {
        case kShapeRect:
            return rects[g][i].UpdateMask();
        case kShapeRing:
            return circles[g][i].UpdateMask();
        default:
            return polygons[g][i].UpdateMask();
    }
}

cv::Mat CammerSingleton::finishRoi(int g, int i, float scaleX, float scaleY) {
    updateImageGeometry(g, i, scaleX, scaleY);
    return buildMask(g, i);
}

RoiLoadResult CammerSingleton::LoadDatafromFile(QSqlDatabase db, float scaleX, float scaleY,
                                                RoiMaskTable* masks) {
    RoiLoadResult result;
    if (!isUsableScale(scaleX) || !isUsableScale(scaleY)) {
        qWarning() << "ROI load of camera" << cameraNo << "with unusable display scale" << scaleX
                   << scaleY << "- using 1";
        scaleX = scaleY = 1.0f;
    }
    RoiTable table(db, tableName());
    QHash<QString, QString> rows;
    result.tableRead = table.readAll(&rows, &result.error);
    if (!result.tableRead)
        qWarning() << "ROI table" << tableName() << "could not be read:" << result.error;

    auto finish = [&](int g, int i) {
        updateImageGeometry(g, i, scaleX, scaleY);
        if (masks) (*masks)[size_t(g)][size_t(i)] = buildMask(g, i);
    };
    auto loadDefault = [&](int g, int i) {
        setDefaultRoi(g, i);
        finish(g, i);
    };

    QVector<TableRow> missingDetections;
    for (int g = 0; g < kDetections; ++g) {
        const auto detectRow = rows.constFind(detectRowName(g));
        if (detectRow == rows.constEnd()) {
            roiCount[g] = 0;
            missingDetections.append({detectRowName(g), QStringLiteral("0")});
        } else {
            TokenReader reader(*detectRow);
            roiCount[g] = reader.nextInt();
            for (int k = 0; k < kSpareValues; ++k) detectSpare[g][k] = reader.nextInt();
        }
        if (unsigned(roiCount[g]) > unsigned(kMaxRois)) {
            qWarning() << "ROI table" << tableName() << "detection" << g << "holds ROI count"
                       << roiCount[g] << "- detection emptied";
            result.badCountDetections.append(g);
            roiCount[g] = 0;
        }
        for (int i = 0; i < roiCount[g]; ++i) {
            const auto roiRow = rows.constFind(roiRowName(g, i));
            if (roiRow == rows.constEnd()) {
                loadDefault(g, i);
                continue;
            }
            TokenReader reader(*roiRow);
            roiParam3[g][i] = reader.nextInt();
            roiParam1[g][i] = reader.nextInt();
            roiParam2[g][i] = reader.nextInt();
            roiFunc[g][i] = reader.nextInt();
            const quint32 code = reader.nextUnsigned();
            roiNgOutput[i] = reader.nextInt();
            const int pointCount = reader.nextInt();
            if (roiNgOutput[i] < 0 || roiNgOutput[i] >= kNgOutputs) roiNgOutput[i] = 0;
            roiShapeType[g][i] = int(code & 0xff);
            switch (roiShapeType[g][i]) {
                case kShapeRect: {
                    const int x1 = clampedX(reader.nextInt());
                    const int y1 = clampedY(reader.nextInt());
                    const int x2 = clampedX(reader.nextInt());
                    const int y2 = clampedY(reader.nextInt());
                    rects[g][i].showRect.setCoords(x1, y1, x2, y2);
                    finish(g, i);
                    break;
                }
                case kShapeRing: {
                    Circle& ring = circles[g][i];
                    const int cx = clampedX(reader.nextInt());
                    const int cy = clampedY(reader.nextInt());
                    ring.center = QPoint(cx, cy);
                    const quint32 m = reader.nextUnsigned();
                    const int limit = maxRingRadius();
                    ring.radius = std::min(int(m & 0xffff), limit);
                    ring.innerRadius = int(m >> kRingRadiusBits);
                    ring.UpdateRect();
                    finish(g, i);
                    break;
                }
                case kShapePolygon: {
                    if (pointCount < 1 || pointCount > kMaxPolygonPoints) {
                        loadDefault(g, i);
                        break;
                    }
                    RePolygon& polygon = polygons[g][i];
                    polygon.hand = (code >> 8 & 0xff) != 0;
                    for (int k = 0; k < pointCount; ++k) {
                        const int x = clampedX(reader.nextInt());
                        const int y = clampedY(reader.nextInt());
                        polygon.points[k] = QPoint(x, y);
                    }
                    polygon.count = pointCount;
                    finish(g, i);
                    break;
                }
                default:
                    // An unknown shape keeps its parameters and type; nothing can be derived.
                    break;
            }
        }
    }
    if (!missingDetections.isEmpty() && result.tableRead) {
        QString error;
        if (!table.insertRows(missingDetections, &error)) result.error = error;
    }
    return result;
}

bool CammerSingleton::SaveDatatoFile(QSqlDatabase db, QString* error) const {
    QVector<TableRow> rows;
    QStringList removed;
    rows.reserve(kDetections * (kMaxRois + 1));
    std::string value;
    for (int g = 0; g < kDetections; ++g) {
        const int count = clampedCount(roiCount[g]);
        if (count != roiCount[g])
            qWarning() << "ROI save of" << tableName() << "detection" << g << "count" << roiCount[g]
                       << "stored as" << count;
        value.clear();
        appendNumber(value, count);
        for (int k = 0; k < kSpareValues; ++k) {
            value += ' ';
            appendNumber(value, detectSpare[g][k]);
        }
        rows.append({detectRowName(g), QString::fromLatin1(value.data(), int(value.size()))});
        for (int i = 0; i < count; ++i) {
            value.clear();
            appendRoiValue(value, *this, g, i);
            rows.append({roiRowName(g, i), QString::fromLatin1(value.data(), int(value.size()))});
        }
        for (int i = count; i < kMaxRois; ++i) removed.append(roiRowName(g, i));
    }
    QString reason;
    RoiTable table(db, tableName());
    const bool ok = table.writeRows(rows, removed, &reason);
    if (error) *error = reason;
    return ok;
}

void CammerSingleton::setSelectRoi(int detect, int i) {
    if (detect < 0 || detect >= kDetections) return;
    if (i < 0 || i >= clampedCount(roiCount[detect])) return;
    selRoi = i;
    selFunc = roiFunc[detect][i];
    selParam1 = roiParam1[detect][i];
    selParam2 = roiParam2[detect][i];
    selParam3 = roiParam3[detect][i];
}

void CammerSingleton::syncParam(int detect, int i) {
    if (detect < 0 || detect >= kDetections) return;
    const int count = clampedCount(roiCount[detect]);
    if (i < 0 || i >= count) return;
    const int d1 = roiParam1[detect][i] - selParam1;
    const int d2 = roiParam2[detect][i] - selParam2;
    const int d3 = roiParam3[detect][i] - selParam3;
    const int f = roiFunc[detect][i];
    for (int k = 0; k < count; ++k) {
        if (roiFunc[detect][k] != f || k == selRoi) continue;
        roiParam1[detect][k] += d1;
        roiParam2[detect][k] += d2;
        roiParam3[detect][k] += d3;
    }
    setSelectRoi(detect, i);
}

bool CammerSingleton::sameParameters(const CammerSingleton& other) const {
    if (cameraNo != other.cameraNo) return false;
    if (std::memcmp(roiNgOutput, other.roiNgOutput, sizeof roiNgOutput) != 0) return false;
    if (std::memcmp(detectSpare, other.detectSpare, sizeof detectSpare) != 0) return false;
    for (int g = 0; g < kDetections; ++g) {
        if (roiCount[g] != other.roiCount[g]) return false;
        const int count = clampedCount(roiCount[g]);
        for (int i = 0; i < count; ++i) {
            if (roiParam1[g][i] != other.roiParam1[g][i] ||
                roiParam2[g][i] != other.roiParam2[g][i] ||
                roiParam3[g][i] != other.roiParam3[g][i] || roiFunc[g][i] != other.roiFunc[g][i] ||
                roiShapeType[g][i] != other.roiShapeType[g][i])
                return false;
            // Stored with the rectangle's geometry unless a ring or a polygon.
            const int type = roiShapeType[g][i] == kShapeRing || roiShapeType[g][i] == kShapePolygon
                                 ? roiShapeType[g][i]
                                 : kShapeRect;
            if (!sameGeometry(other, g, i, type)) return false;
        }
    }
    return true;
}

bool CammerSingleton::sameGeometry(const CammerSingleton& other, int g, int i,
                                   int shapeType) const {
    if (g < 0 || g >= kDetections || i < 0 || i >= kMaxRois) return false;
    switch (shapeType) {
        case kShapeRect:
            return rects[g][i].showRect == other.rects[g][i].showRect;
        case kShapeRing: {
            const Circle& a = circles[g][i];
            const Circle& b = other.circles[g][i];
            return a.center == b.center && a.radius == b.radius && a.innerRadius == b.innerRadius;
        }
        default: {
            const RePolygon& a = polygons[g][i];
            const RePolygon& b = other.polygons[g][i];
            if (a.count != b.count || a.hand != b.hand) return false;
            const int n = std::clamp(a.count, 0, kMaxPolygonPoints);
            return std::equal(a.points, a.points + n, b.points);
        }
    }
}
