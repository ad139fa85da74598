#include "camerainterface.h"

QMap<QString, CameraInterface*> cameraInterfaceMap;

namespace camera {

QMetaObject::Connection connectCameraLoss(CameraInterface* camera, QObject* receiver,
                                          const char* slot) {
    return QObject::connect(camera, SIGNAL(sigCameraLost()), receiver, slot, Qt::QueuedConnection);
}

}  // namespace camera
