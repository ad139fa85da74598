#include "demoseed.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QtDebug>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "cameralimits.h"
#include "cammersingleton.h"
#include "demolimits.h"
#include "globals.h"
#include "paramlimits.h"
#include "simlimits.h"
#include "templatefiles.h"
#include "wizardpara.h"

namespace workdirdemo {

namespace {

QStringList picturesIn(const QString& folder) {
    const QDir dir(folder);
    QStringList paths;
    for (const QString& name :
         dir.entryList({QLatin1String(simcamera::kPicturePattern)}, QDir::Files, QDir::Name))
        paths.append(dir.filePath(name));
    return paths;
}

bool holdsPictures(const QDir& camera) {
    for (const char* kind : {simcamera::kGreyFolder, simcamera::kColourFolder}) {
        if (!picturesIn(camera.filePath(QLatin1String(kind))).isEmpty()) return true;
    }
    return false;
}

// The stored serial numbers in slot order, read without changing the file.
QStringList storedSerials(const QString& path) {
    QStringList serials;
    if (path.isEmpty() || !QFileInfo::exists(path)) return serials;
    const QString connection = QStringLiteral("workdirdemo-sn-") + QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            for (int slot = 0; slot < camera::kSerialSlots; ++slot) {
                QSqlQuery query(db);
                query.prepare(QStringLiteral("select value from %1 where name = ?")
                                  .arg(QLatin1String(camera::kSerialTable)));
                query.addBindValue(QLatin1String(camera::kSerialRowPrefix) + QString::number(slot));
                if (!query.exec() || !query.next()) continue;
                const QString value = query.value(0).toString();
                if (value.size() >= camera::kSerialMinLength &&
                    value.size() <= camera::kSerialMaxLength)
                    serials.append(value);
            }
        } else {
            qWarning().noquote() << "camera serial numbers in" << path
                                 << "not readable:" << db.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return serials;
}

QString serialOf(const QString& folderName) {
    return QLatin1String(simcamera::kSerialPrefix) + folderName;
}

// Tightly packed rows of a picture in the camera's pixel format.
QByteArray packedFrame(const QImage& picture) {
    const int rowBytes = picture.width() * (picture.depth() / 8);
    QByteArray frame(rowBytes * picture.height(), Qt::Uninitialized);
    for (int y = 0; y < picture.height(); ++y)
        std::memcpy(frame.data() + qsizetype(y) * rowBytes, picture.constScanLine(y),
                    size_t(rowBytes));
    return frame;
}

bool hasRegions(const CammerSingleton& p) {
    return std::any_of(std::begin(p.roiCount), std::end(p.roiCount),
                       [](int count) { return count != 0; });
}

void setDemoRegions(CammerSingleton& p, int step, const QVector<QRect>& display) {
    p.roiCount[step] = display.size();
    for (int i = 0; i < display.size(); ++i) {
        p.roiFunc[step][i] = roi::kFuncDefect;
        p.roiParam1[step][i] = kDefectSensitivity;
        p.roiParam2[step][i] = kDefectAlarmArea;
        p.roiParam3[step][i] = kDefectFilterSize;
        p.roiShapeType[step][i] = roi::kShapeRect;
        p.rects[step][i].showRect = display.at(i);
        p.roiNgOutput[i] = 0;
    }
}

// Writes the reference as template 0 of the step unless a template is there already. Returns
// false when it had to be written and could not be.
bool placeTemplate(const SimulationCamera& camera, int step, const QImage& reference,
                   CameraOutcome* outcome) {
    const QString path = failimage::templatePath(camera.cameraNo, step, 0);
    if (QFileInfo::exists(path)) {
        outcome->templatesKept.append(path);
        return true;
    }
    if (!QDir().mkpath(QFileInfo(path).path())) {
        outcome->detail = QStringLiteral("cannot create the folder of %1").arg(path);
        return false;
    }
    const QByteArray frame = packedFrame(reference);
    failimage::FrameView view;
    view.bytes = reinterpret_cast<const uchar*>(frame.constData());
    view.width = reference.width();
    view.height = reference.height();
    view.color = reference.format() == QImage::Format_RGBA8888;
    if (failimage::saveFrameBmp(path, view)) return true;
    outcome->detail = QStringLiteral("cannot write %1").arg(path);
    return false;
}

CameraOutcome seedCamera(QSqlDatabase db, const SimulationCamera& camera, const QVector<int>& steps,
                         bool colour, QSize display) {
    CameraOutcome outcome;
    outcome.camera = camera;
    const QImage reference = referencePicture(camera.folder, colour);
    if (reference.isNull()) {
        outcome.kind = CameraOutcome::Kind::NoPicture;
        outcome.detail = QStringLiteral("no readable picture in %1").arg(camera.folder);
        return outcome;
    }
    const float scaleX = float(display.width()) / float(reference.width());
    const float scaleY = float(display.height()) / float(reference.height());

    // The record is large (every area slot holds a polygon): it lives on the heap.
    auto param = std::make_unique<CammerSingleton>(camera.cameraNo);
    const RoiLoadResult loaded = param->LoadDatafromFile(db, scaleX, scaleY, nullptr);
    if (!loaded.tableRead) {
        outcome.kind = CameraOutcome::Kind::Failed;
        outcome.detail =
            QStringLiteral("table %1 not readable: %2").arg(param->tableName(), loaded.error);
        return outcome;
    }
    // A count the program refuses is still somebody's data: it is not replaced either.
    if (hasRegions(*param) || !loaded.badCountDetections.isEmpty()) {
        outcome.kind = CameraOutcome::Kind::KeptRegions;
        outcome.detail = QStringLiteral("table %1 already holds areas").arg(param->tableName());
        return outcome;
    }

    QVector<QRect> shown;
    for (const QRect& r : demoImageRegions(reference.size()))
        shown.append(toDisplay(r, reference.size(), display));
    for (int step : steps) setDemoRegions(*param, step, shown);

    for (int step : steps) {
        if (!placeTemplate(camera, step, reference, &outcome)) {
            outcome.kind = CameraOutcome::Kind::Failed;
            return outcome;
        }
    }
    QString error;
    if (!param->SaveDatatoFile(db, &error)) {
        outcome.kind = CameraOutcome::Kind::Failed;
        outcome.detail = QStringLiteral("areas not stored: %1").arg(error);
        return outcome;
    }
    outcome.kind = CameraOutcome::Kind::Seeded;
    return outcome;
}

QString stepList(const QVector<int>& steps) {
    QStringList names;
    for (int step : steps) names.append(QString::number(step + 1));
    return names.join(QStringLiteral(", "));
}

}  // namespace

QString pictureRootFor(const QString& programFolder) {
    const QByteArray chosen = qgetenv(simcamera::kPictureFolderVariable);
    if (!chosen.isEmpty()) return QString::fromLocal8Bit(chosen);
    QDir dir(programFolder);
    return dir.filePath(QStringLiteral("%1/%2/%3")
                            .arg(QLatin1String(camera::kPluginFolder),
                                 QLatin1String(camera::kCameraPluginFolder),
                                 QLatin1String(simcamera::kPictureFolder)));
}

QVector<SimulationCamera> simulationCameras(const QString& pictureRoot, const QString& serialDb) {
    QVector<SimulationCamera> found;
    const QDir root(pictureRoot);
    for (const QString& name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (found.size() >= simcamera::kMaxCameras) break;
        const QDir folder(root.filePath(name));
        if (!holdsPictures(folder)) continue;
        found.append({name, folder.absolutePath(), 0});
    }

    // The program puts cameras with stored serial numbers first, in slot order.
    QVector<SimulationCamera> ordered;
    for (const QString& serial : storedSerials(serialDb)) {
        for (int i = 0; i < found.size(); ++i) {
            if (serialOf(found.at(i).name) == serial) {
                ordered.append(found.takeAt(i));
                break;
            }
        }
    }
    ordered += found;
    for (int n = 0; n < ordered.size(); ++n) ordered[n].cameraNo = n;
    return ordered;
}

QImage referencePicture(const QString& cameraFolder, bool colour) {
    const QDir dir(cameraFolder);
    const char* wanted = colour ? simcamera::kColourFolder : simcamera::kGreyFolder;
    const char* other = colour ? simcamera::kGreyFolder : simcamera::kColourFolder;
    QStringList paths = picturesIn(dir.filePath(QLatin1String(wanted)));
    if (paths.isEmpty()) paths = picturesIn(dir.filePath(QLatin1String(other)));
    // The camera skips pictures it cannot read; its first frame is the first readable one.
    int readable = 0;
    for (const QString& path : paths) {
        const QImage picture(path);
        if (picture.isNull()) continue;
        if (readable++ == kReferencePicture)
            return picture.convertToFormat(colour ? QImage::Format_RGBA8888
                                                  : QImage::Format_Grayscale8);
    }
    return QImage();
}

QVector<int> stepsOnMouldOpen(const WizardPara& para, int stepCount) {
    QVector<int> steps;
    const int count = std::clamp(stepCount, 0, params::kStepCount);
    for (int d = 0; d < count; ++d) {
        if (para.detectEnable[d] && para.trigInLine[d] == kMouldOpenInput) steps.append(d);
    }
    return steps;
}

QVector<QRect> demoImageRegions(QSize picture) {
    const int w = picture.width();
    const int h = picture.height();
    const int mx = w * kMarginPerMille / 1000;
    const int top = h * kTopMarginPerMille / 1000;
    const int bottom = h * kBottomMarginPerMille / 1000;
    const int middle = h / 2;
    return {QRect(QPoint(mx, top), QPoint(w - 1 - mx, middle - 1)),
            QRect(QPoint(mx, middle), QPoint(w - 1 - mx, h - 1 - bottom))};
}

QRect toDisplay(const QRect& image, QSize picture, QSize display) {
    const double sx = double(display.width()) / double(picture.width());
    const double sy = double(display.height()) / double(picture.height());
    // Inside the image rectangle, so that the area never reaches beyond what was meant.
    return QRect(QPoint(int(std::ceil(image.left() * sx)), int(std::ceil(image.top() * sy))),
                 QPoint(int(std::floor(image.right() * sx)), int(std::floor(image.bottom() * sy))));
}

DemoReport seedDemoRegions(QSqlDatabase db, const DemoOptions& options) {
    DemoReport report;
    if (!db.isOpen()) {
        report.error = QStringLiteral("the parameter database is not open");
        return report;
    }
    if (options.display.width() <= 0 || options.display.height() <= 0) {
        report.error = QStringLiteral("no display size");
        return report;
    }
    gShowW = options.display.width();
    gShowH = options.display.height();

    WizardPara para;
    if (!para.LoadDatafromFile(db)) {
        report.error = QStringLiteral("the system parameters could not be read");
        return report;
    }
    // gDNum is set by the load, as at the program's start.
    report.steps = stepsOnMouldOpen(para, gDNum);
    if (report.steps.isEmpty()) {
        report.ok = true;
        report.note = QStringLiteral("no enabled detection step is triggered by input terminal 1");
        return report;
    }
    const QString serialDb =
        options.serialDb.isEmpty() ? QLatin1String(camera::kSerialDatabaseFile) : options.serialDb;
    const QVector<SimulationCamera> cameras = simulationCameras(options.pictureRoot, serialDb);
    if (cameras.isEmpty()) {
        report.ok = true;
        report.note =
            QStringLiteral("no simulation camera pictures in %1").arg(options.pictureRoot);
        return report;
    }
    report.ok = true;
    for (const SimulationCamera& camera : cameras) {
        const CameraOutcome outcome =
            seedCamera(db, camera, report.steps, para.isColor != 0, options.display);
        if (outcome.kind == CameraOutcome::Kind::Failed) report.ok = false;
        report.cameras.append(outcome);
    }
    return report;
}

QStringList describe(const DemoReport& report) {
    QStringList lines;
    if (!report.error.isEmpty()) {
        lines.append(QStringLiteral("demo set-up failed: %1").arg(report.error));
        return lines;
    }
    if (!report.note.isEmpty()) {
        lines.append(QStringLiteral("demo set-up: nothing to do: %1").arg(report.note));
        return lines;
    }
    for (const CameraOutcome& c : report.cameras) {
        const QString camera =
            QStringLiteral("camera %1 (%2)").arg(c.camera.cameraNo + 1).arg(c.camera.name);
        switch (c.kind) {
            case CameraOutcome::Kind::Seeded:
                lines.append(QStringLiteral("demo set-up: %1: %2 defect areas in step %3, "
                                            "template 0 from its first picture")
                                 .arg(camera)
                                 .arg(kRegionsPerStep)
                                 .arg(stepList(report.steps)));
                for (const QString& kept : c.templatesKept)
                    lines.append(
                        QStringLiteral("demo set-up: %1: kept the existing %2").arg(camera, kept));
                break;
            case CameraOutcome::Kind::KeptRegions:
                lines.append(
                    QStringLiteral("demo set-up: %1 left as it is: %2").arg(camera, c.detail));
                break;
            case CameraOutcome::Kind::NoPicture:
            case CameraOutcome::Kind::Failed:
                lines.append(
                    QStringLiteral("demo set-up: %1 not set up: %2").arg(camera, c.detail));
                break;
        }
    }
    return lines;
}

}  // namespace workdirdemo
