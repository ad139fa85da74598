#include "handlemanager.h"

#include "zemcameradevice.h"

HandleManager* HandleManager::instance = nullptr;
int HandleManager::handle = 0;

HandleManager::HandleManager(QObject* parent) : QObject(parent) {
    handle = 0;
}

HandleManager::~HandleManager() {
    qDeleteAll(handles);
    handles.clear();
}

HandleManager* HandleManager::get() {
    if (!instance) instance = new HandleManager(nullptr);
    return instance;
}

void HandleManager::release() {
    delete instance;
    instance = nullptr;
}

int HandleManager::addHandle(ZemCamera* camera, int& newHandle) {
    int next = handle + 1;
    while (handles.contains(next)) ++next;
    handle = next;
    newHandle = next;
    handles.insert(next, camera);
    return 0;
}

int HandleManager::deleteHandle(int& which) {
    auto it = handles.find(which);
    if (it == handles.end()) return -1;
    ZemCamera* camera = it.value();
    handles.erase(it);
    delete camera;
    which = -1;
    return 0;
}

int HandleManager::deleteHandle(ZemCamera* camera, int& which) {
    Q_UNUSED(camera)
    return deleteHandle(which);
}

ZemCamera* HandleManager::getCamera(int which) {
    return handles.value(which, nullptr);
}

int HandleManager::getCamera(ZemCamera* camera, int which) {
    Q_UNUSED(camera)
    return handles.contains(which) ? 0 : -1;
}
