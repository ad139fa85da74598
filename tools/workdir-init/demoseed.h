#pragma once
// The demonstration set-up of a working folder: inspection areas and reference templates for
// the simulation camera's cameras, so that a fresh folder shows both results: OK on the clean
// pictures and NG on the fault picture, in every enabled detection step that input terminal 1
// (mould open) triggers.
//
// Each camera gets two defect areas (upper and lower half of its picture) in those steps, and
// its first picture (a clean open mould) as template 0 of the step, which is also the
// reference of the position correction. A camera whose table already holds areas is left
// alone, and a template file that exists is never replaced: an operator's work always wins.
//
// A test tool for the run command, not a feature of the program.

#include <QImage>
#include <QSize>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVector>

class WizardPara;

namespace workdirdemo {

struct SimulationCamera {
    QString name;      // its picture folder's name
    QString folder;    // absolute path of that folder
    int cameraNo = 0;  // the number the program gives the camera (0-based)
};

// The simulation camera's picture folder for a program in programFolder: the folder named by
// the simulation camera's environment variable, else the one beside its plug-in.
QString pictureRootFor(const QString& programFolder);

// The simulation cameras in the order the program numbers them: the cameras whose serial
// numbers are stored in the serial-number database `serialDb` first, in slot order, then the
// others in folder-name order (as the plug-in lists them). A missing or unreadable database
// leaves the plug-in's order.
QVector<SimulationCamera> simulationCameras(const QString& pictureRoot, const QString& serialDb);

// The picture the camera serves first, in the pixel format the camera serves: 8-bit grey, or
// RGBA8888 for colour operation. The wanted kind's pictures are used when there are any, else
// the other kind converted. Null when the camera has no readable picture.
QImage referencePicture(const QString& cameraFolder, bool colour);

// The steps (below stepCount) that are enabled and triggered by input terminal 1.
QVector<int> stepsOnMouldOpen(const WizardPara& para, int stepCount);

// The two areas of a camera in image coordinates (inclusive corners).
QVector<QRect> demoImageRegions(QSize picture);
// An image rectangle in display coordinates for a display of `display` over `picture`.
QRect toDisplay(const QRect& image, QSize picture, QSize display);

struct DemoOptions {
    QString pictureRoot;  // the simulation camera's picture folder
    QSize display;        // the program's display area (gShowW x gShowH)
    QString serialDb;     // the serial-number database; empty: the program's, in the folder
};

struct CameraOutcome {
    enum class Kind { Seeded, KeptRegions, NoPicture, Failed };
    Kind kind = Kind::Failed;
    SimulationCamera camera;
    QStringList templatesKept;  // template files that existed and were left as they were
    QString detail;             // why the camera was left alone or failed
};

struct DemoReport {
    bool ok = false;     // nothing failed (also when there was nothing to set up)
    QVector<int> steps;  // the steps areas were added to
    QVector<CameraOutcome> cameras;
    QString error;  // why the set-up failed
    QString note;   // why there was nothing to set up
};

// Seeds the working folder (the current directory) whose parameter database is `db`. Reads the
// system parameters from `db` (which sets the derived globals, as the program's start does) and
// sets gShowW and gShowH to options.display, which the area store reads.
DemoReport seedDemoRegions(QSqlDatabase db, const DemoOptions& options);

// One line per camera, for the person who started the tool.
QStringList describe(const DemoReport& report);

}  // namespace workdirdemo
