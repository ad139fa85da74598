#pragma once
// The process-wide registry of cameras: loads the camera plug-ins, finds the cameras (real ones
// before simulated ones), keeps them in a stable order by the serial numbers stored in "SN.db",
// creates the camera objects for the camera views and asks the operator when the number of
// cameras changed. Used from the GUI thread only.
//
// Start-up order (main window): loadPlugins, loadCameraSN, findCameras, sortCamera; the main
// window builds the views and writes cameraList back as the cameras that opened (replacing it
// by findSumulateCameras when none did); then checkCameraCount.

#include <QList>
#include <QString>
#include <QVector>
#include <functional>
#include <memory>

#include "camerainterface.h"
#include "question.h"

class QPluginLoader;

namespace camera {
class CameraPluginSet;
class SerialNumberStore;
}  // namespace camera

class CameraManager {
public:
    // The process-wide manager, created on first use and never deleted.
    static CameraManager* _instance;
    static CameraManager* getInstance();

    CameraManager();
    ~CameraManager();
    CameraManager(const CameraManager&) = delete;
    CameraManager& operator=(const CameraManager&) = delete;

    // Loads <program folder>/Plugins/Cameras/*.so (again: the list is rebuilt, not extended).
    void loadPlugins();
    // Opens "SN.db" (restoring a missing one from the factory copy first) and reads the stored
    // serial numbers into the serial list.
    void loadCameraSN();
    // cameraList := the real plug-ins' cameras; when there are none, the simulation plug-ins'
    // cameras with isSimulated set.
    void findCameras();
    // Orders cameraList by the stored serial numbers.
    void sortCamera();
    // cameraList := the simulation plug-ins' cameras, isSimulated set.
    void findSumulateCameras();
    // The camera object for one listed camera, from the plug-in of its name; null for none.
    CameraInterface* createCamera(_cameraInfo info);
    // Compares the number of cameras in use with the stored one and asks the operator.
    void checkCameraCount();
    // serial list := the serial numbers of cameraList.
    void resetCameraSN();
    // Writes the serial list to "SN.db", one operation record per stored serial. False when a
    // slot could not be written (no store, read-only disk, refused statement): the order
    // stored is then not the one asked for.
    bool saveCameraSN();
    // Stores a new camera order (order[k] = position in cameraList of the camera to be number
    // k); takes effect at the next start. Refuses (false, nothing stored) an order with an
    // index outside cameraList or an index given twice; false too when it could not be stored.
    bool resortCameraSN(QVector<int> order);
    // Why "SN.db" failed just now: true when it cannot be written (the disk is full or
    // read-only, or the open database refused a write), false when it does not open.
    bool serialFileUnwritable() const;

    // --- wiring ---
    // The folder that holds "Plugins"; the program's own folder unless set.
    void setProgramFolder(const QString& folder) { programFolder_ = folder; }
    // A plug-in object linked into the program rather than loaded from a file.
    void addPlugin(CameraInterface* plugin);
    // Where operation records go (the main window's InsertRecord); logged while unset.
    void setRecordSink(std::function<void(QString)> sink) { recordSink_ = std::move(sink); }
    // Where the outcome of writing "SN.db" goes (the main window's write watch): a file the
    // disk refuses is told with the other files that cannot be written. Without it, or for a
    // file that does not open, the parameter-file error is shown.
    void setWriteSink(std::function<void(bool written, QString file)> sink) {
        writeSink_ = std::move(sink);
    }
    // Runs before the reboot that follows a confirmed camera-count change (the main window
    // closes its databases).
    void setBeforeReboot(std::function<void()> hook) { beforeReboot_ = std::move(hook); }

    const QVector<QPluginLoader*>& loaders() const;
    const QVector<CameraInterface*>& plugins() const;
    const QVector<QString>& serialList() const { return serialList_; }

    // The cameras in use, in camera-number order. The main window replaces it.
    QList<_cameraInfo> cameraList;
    // True while cameraList holds simulated cameras.
    bool isSimulated = false;

private:
    void record(const QString& text);
    // Gone when the program stops while it is shown.
    dialogs::Answer warnParamFileError();
    bool toldAsWriteFailure();

    QString programFolder_;
    std::unique_ptr<camera::CameraPluginSet> plugins_;
    std::unique_ptr<camera::SerialNumberStore> store_;
    QVector<QString> serialList_;
    std::function<void(QString)> recordSink_;
    std::function<void(bool, QString)> writeSink_;
    std::function<void()> beforeReboot_;
};
