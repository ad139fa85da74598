#pragma once
// What a camera view needs from the program around it. The main window (which the views cannot
// include: it is built on them) fills these hooks; tests fill them with their own functions.
// An empty hook does nothing, and the state hooks then give the state of a freshly started
// program.

#include <QImage>
#include <QPoint>
#include <QSqlDatabase>
#include <QString>
#include <functional>
#include <memory>

#include "doubletap.h"
#include "enginecontext.h"
#include "globals.h"
#include "question.h"
#include "viewlimits.h"

class CameraInterface;
struct _cameraInfo;

namespace cameraview {

// The main window's state words the view paints from, read once per repaint.
struct ViewHostState {
    int curCamera = 0;    // the camera shown alone; numCamera = all cameras tiled
    int editDetect = 0;   // detection edited on the editing page
    int curDetect = 0;    // detection the cycle ran last
    int detectState = 1;  // 1 running, 2 resampling, 3 stopped
    int resultState = 0;  // 0 waiting, 1 last OK, 2 NG alarm shown, 3 area setting
    int cycleState = 3;   // 1 detecting, 2 detected, 3 waiting
    int drawTool = 0;     // editing page tool: 0 none, 1 rectangle, 2 polygon, 4 circle
    bool freehandDraw = false;
    bool copyAreaArmed = false;  // the next press copies the selected area
    int zoomX = 0;               // magnified view: translation, then scale
    int zoomY = 0;
    float zoomScale = 1.0f;
    bool stepTimerActive[kMaxDetections] = {};  // the delay timer of each position runs
    float trigDelayLeft[kMaxDetections] = {};   // seconds left of each position's delay
};

// The stored OK or NG picture the editing page shows (sources 3 and 4).
struct RecordPicture {
    QImage image;
    QString name;
    int camera = 0;
    int count = 0;
    int index = 0;
};

// The frame pixel under the pointer of the camera shown alone.
struct PointerSample {
    QPoint image;          // image coordinates
    bool inFrame = false;  // pixel is valid only then
    quint32 pixel = 0;     // grey byte, or the 4-byte colour value of colour cameras
};

struct CameraViewHooks {
    // The camera object for a listed camera; empty: the camera manager's createCamera.
    std::function<CameraInterface*(const _cameraInfo&)> createCamera;
    // The parameter database the region tables are read from; empty: the main window's
    // connection (WizardPara::paramDatabase()).
    std::function<QSqlDatabase()> paramDatabase;
    // The main window's InsertRecord: an operation record in the current language.
    std::function<void(const QString&)> insertRecord;
    // The main window's LostCamera: outputs and the lost-camera warning.
    std::function<void()> lostCamera;
    // The settings screen exists and is visible: the camera setters then apply the values
    // being edited (gpWParaBak) instead of the live ones.
    std::function<bool()> settingsVisible;
    std::function<ViewHostState()> hostState;
    std::function<RecordPicture()> recordPicture;
    // Starts the main window's size-hint timer (the hint itself is gDrawHint).
    std::function<void(int ms)> startDrawHint;
    // Where the engine's result records go (the monitoring link and the HTTP API lists).
    engine::ResultSinks resultSinks;

    // --- region editing: the main window's words and the editing page ---
    std::function<void(int tool)> setDrawTool;  // DeRaRazovi::drawTool (0 disarms)
    std::function<void()> disarmCopy;           // copyAreaArmed := false
    // A press on the camera shown alone, at its widget position (lastPressX/Y).
    std::function<void(QPoint)> pressedAt;
    // The pointer over the camera shown alone (cursorImageX/Y and cursorPixel).
    std::function<void(const PointerSample&)> pointerOver;
    // Every press on a view: the tool bar's collapse timer, and the tool bar back.
    std::function<void()> viewTouched;
    // A drag over empty picture pans the magnified view (DeRaRazovi::updateMScale).
    std::function<void(QPoint)> panZoom;
    // The editing page's drawing-tool slots that a double tap or a first point calls.
    std::function<void(EditPageCall)> editingPage;
    // What the view's boxes are asked about, read now: the editing page's subject; empty: the
    // program.
    std::function<dialogs::Subject()> editSubject;
    // One double-tap reference for every view of the program; empty: the view keeps its own.
    std::shared_ptr<DoubleTapDetector> doubleTap;
};

}  // namespace cameraview
