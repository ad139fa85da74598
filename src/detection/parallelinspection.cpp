#include "parallelinspection.h"

#include <QRunnable>
#include <QSemaphore>

#include "camerastation.h"
#include "detectionlimits.h"

namespace detection {

ParallelInspection::ParallelInspection() {
    pool_.setMaxThreadCount(kMaxCameras - 1);
    // A thread started for every step would add its start-up to the cycle time.
    pool_.setExpiryTimeout(-1);
}

ParallelInspection::~ParallelInspection() {
    pool_.waitForDone();
}

void ParallelInspection::prepare(const std::vector<CameraStation*>& cameras, int step) {
    if (cameras.empty()) return;
    QSemaphore done;
    for (size_t i = 1; i < cameras.size(); ++i) {
        CameraStation* camera = cameras[i];
        pool_.start(QRunnable::create([camera, step, &done] {
            camera->prepareInspection(step);
            done.release();
        }));
    }
    cameras.front()->prepareInspection(step);
    done.acquire(int(cameras.size()) - 1);
}

}  // namespace detection
