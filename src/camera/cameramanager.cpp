#include "cameramanager.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>

#include "cameralimits.h"
#include "cameraorder.h"
#include "camerapluginset.h"
#include "choosebox.h"
#include "globals.h"
#include "question.h"
#include "serialnumberstore.h"
#include "sqlitefiles.h"
#include "systemactions.h"
#include "warnbox.h"
#include "writecause.h"

using namespace camera;

CameraManager* CameraManager::_instance = nullptr;

CameraManager* CameraManager::getInstance() {
    if (!_instance) _instance = new CameraManager;
    return _instance;
}

CameraManager::CameraManager() : plugins_(std::make_unique<CameraPluginSet>()) {}

CameraManager::~CameraManager() {
    if (_instance == this) _instance = nullptr;
}

const QVector<QPluginLoader*>& CameraManager::loaders() const {
    return plugins_->loaders();
}

const QVector<CameraInterface*>& CameraManager::plugins() const {
    return plugins_->plugins();
}

void CameraManager::addPlugin(CameraInterface* plugin) {
    plugins_->add(plugin);
}

void CameraManager::loadPlugins() {
    qInfo() << "Start loading plugins.";
    const QString folder =
        programFolder_.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder_;
    plugins_->load(folder);
}

void CameraManager::loadCameraSN() {
    const QString factory = QLatin1String(kSerialDefaultFile);
    // Keep a factory copy, so that a lost or broken SN.db can always be restored.
    if (!QFileInfo::exists(factory)) SerialNumberStore::createDefaultDatabase(factory);

    store_ = std::make_unique<SerialNumberStore>();
    store_->ensureFile(factory);
    if (!store_->open() && !toldAsWriteFailure()) {
        const dialogs::Answer told = warnParamFileError();
        // Rebooting without a restored file would only bring the same failure back; a stop asked
        // while the operator read the warning is no restart either (the file is restored all
        // the same).
        if (store_->restoreFrom(factory) && told != dialogs::Answer::Gone) {
            sys::actions().run(QStringLiteral("sync"), {});
            sys::actions().run(QStringLiteral("reboot"), {});
        }
        // Where the reboot does not take effect the program goes on with the restored file.
        if (!store_->open()) qWarning() << "going on without stored camera serial numbers";
    }
    // A second load (a new main window in the same process) reads the file again rather than
    // adding its serials twice.
    serialList_ = store_->load();
}

bool CameraManager::serialFileUnwritable() const {
    if (store_ && store_->isUsable()) return true;
    const QString file = QLatin1String(kSerialDatabaseFile);
    return storage::checkDatabase(file).state != storage::DbState::Damaged &&
           storage::probeWriteCause(file) != storage::WriteCause::Unknown;
}

bool CameraManager::toldAsWriteFailure() {
    if (!writeSink_ || !serialFileUnwritable()) return false;
    writeSink_(false, QLatin1String(kSerialDatabaseFile));
    return true;
}

dialogs::Answer CameraManager::warnParamFileError() {
    if (!gpWarnBox) {
        qWarning() << "camera serial-number file error";
        return dialogs::Answer::Yes;
    }
    // Asked at the start, before any screen: about the program.
    return dialogs::notify(lan(kEntryParamFileError), dialogs::Subject::program());
}

void CameraManager::findCameras() {
    cameraList.clear();
    QList<_cameraInfo> simulated;
    for (CameraInterface* plugin : plugins()) {
        const QVector<_cameraInfo> found = plugin->findCameras();
        qInfo().noquote() << plugin->pluginName() << "find camera count:" << found.size();
        QList<_cameraInfo>& target = plugin->cameraType() != 0 ? cameraList : simulated;
        for (const _cameraInfo& info : found) target.append(info);
    }
    isSimulated = false;
    if (cameraList.isEmpty()) {
        cameraList = simulated;
        isSimulated = true;
    }
}

void CameraManager::findSumulateCameras() {
    isSimulated = true;
    cameraList.clear();
    for (CameraInterface* plugin : plugins()) {
        if (plugin->cameraType() != 0) continue;
        for (const _cameraInfo& info : plugin->findCameras()) cameraList.append(info);
    }
}

void CameraManager::sortCamera() {
    cameraList = orderBySerials(cameraList, serialList_);
}

CameraInterface* CameraManager::createCamera(_cameraInfo info) {
    CameraInterface* camera = nullptr;
    for (CameraInterface* plugin : plugins()) {
        if (plugin->pluginName() == info.pluginName) camera = plugin->createCamera(info);
    }
    return camera;
}

void CameraManager::resetCameraSN() {
    serialList_ = serialsOf(cameraList);
}

bool CameraManager::saveCameraSN() {
    if (!store_) {
        qWarning() << "camera serial numbers not saved: the store is not open";
        return false;
    }
    bool saved = true;
    for (int slot = 0; slot < serialList_.size(); ++slot) {
        const QString& serial = serialList_.at(slot);
        // Only a serial number that was really stored is reported as saved.
        if (store_->write(slot, serial)) {
            record(QStringLiteral("Save SN %1: %2").arg(QString::number(slot + 1), serial));
        } else {
            qWarning().noquote() << "camera serial number" << slot + 1 << "not saved";
            // Slots past the last row have nowhere to go; that loses nothing that was stored.
            if (slot < kSerialSlots) saved = false;
        }
    }
    // A stale serial left in a slot would move its camera at the next start.
    for (int slot = serialList_.size(); slot < kSerialSlots; ++slot) {
        if (!store_->write(slot, QLatin1String(kEmptySerial))) saved = false;
    }
    if (!saved) qWarning() << "the camera order in SN.db is not the one asked for";
    if (saved && writeSink_) writeSink_(true, QLatin1String(kSerialDatabaseFile));
    return saved;
}

bool CameraManager::resortCameraSN(QVector<int> order) {
    if (!isValidOrder(order, cameraList.size())) {
        qWarning() << "camera order refused:" << order << "for" << cameraList.size() << "cameras";
        return false;
    }
    serialList_.clear();
    for (int index : order) serialList_.append(cameraList.at(index).serialText());
    return saveCameraSN();
}

void CameraManager::checkCameraCount() {
    if (isSimulated) {
        ChooseBox box(nullptr, gShowW, gShowH);
        box.setText(lan(kEntryCameraUnavailable));
        if (dialogs::ask(box, dialogs::Subject::program()) == dialogs::Answer::Yes) {
            resetCameraSN();
            if (!saveCameraSN() && !toldAsWriteFailure()) warnParamFileError();
        }
        return;
    }
    if (cameraList.size() == serialList_.size() || serialList_.isEmpty()) return;
    ChooseBox box(nullptr, gShowW, gShowH);
    box.setText(lan(kEntryCameraCountChanged));
    if (dialogs::ask(box, dialogs::Subject::program()) != dialogs::Answer::Yes) return;
    resetCameraSN();
    if (!saveCameraSN()) {
        // The restart would only bring the same question back.
        if (!toldAsWriteFailure()) warnParamFileError();
        return;
    }
    if (beforeReboot_) beforeReboot_();
    sys::actions().run(QStringLiteral("reboot"), {});
}

void CameraManager::record(const QString& text) {
    if (recordSink_)
        recordSink_(text);
    else
        qInfo().noquote() << "record:" << text;
}
