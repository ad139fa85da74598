#include "cameramanager.h"

CameraManager* CameraManager::getInstance() {
    static CameraManager* instance = new CameraManager;
    return instance;
}
