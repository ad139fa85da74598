#pragma once
// Runs the inspections of the cameras of one detection step at the same time: one task per
// camera (the first on the calling thread, the others on a pool of this object's own), and
// returns when the slowest is done. A camera's inspection ahead touches only that camera, and
// its records wait in it until the cycle takes its result in camera order, so the results,
// the records and their order are those of inspecting the cameras one after the other.

#include <QThreadPool>
#include <vector>

namespace detection {

class CameraStation;

class ParallelInspection {
public:
    ParallelInspection();
    ~ParallelInspection();
    ParallelInspection(const ParallelInspection&) = delete;
    ParallelInspection& operator=(const ParallelInspection&) = delete;

    // CameraStation::prepareInspection(step) of every camera, at the same time.
    void prepare(const std::vector<CameraStation*>& cameras, int step);

private:
    QThreadPool pool_;
};

}  // namespace detection
