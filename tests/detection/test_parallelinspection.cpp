// The cameras of a step inspected at the same time give what inspecting them one after the
// other gives: the same results, the same result records and operator records, in camera order.
#include <gtest/gtest.h>

#include <QSet>
#include <memory>

#include "cyclefakes.h"
#include "enginestation.h"
#include "roilimits.h"

using namespace cycletest;
using namespace enginetest;

namespace {

constexpr int kCameras = 4;
const cv::Size kFrame(640, 480);

struct Outcome {
    std::vector<bool> ok;
    std::vector<std::vector<int>> values;
    QStringList results;  // every result record, as the services receive them
    QStringList records;  // operator records of the engines
    std::vector<std::vector<QThread*>> threads;
};

QString describe(const param_roi& r) {
    QStringList fields;
    for (int v : {r.camera, r.detect, r.roi_id, r.algorithm_type, r.algorithm_result,
                  r.algorithm_sensitivity, r.algorithm_areaMin, r.algorithm_param, r.is_alarm})
        fields << QString::number(v);
    return fields.join(' ');
}

// One product step of four cameras: camera 1 sees a stain, camera 2 has a region outside its
// frame, camera 3 sees its part moved (and corrects it).
Outcome runStep(bool parallel) {
    QList<param_roi> results;
    QStringList records;
    std::vector<std::unique_ptr<Rig>> rigs;
    std::vector<std::unique_ptr<EngineStation>> stations;
    for (int c = 0; c < kCameras; ++c) {
        auto rig = std::make_unique<Rig>(kFrame.width, kFrame.height, false, true, 1, 2);
        rig->ctx.cameraNo = c;
        rig->para->motionCorrect = c == 3 ? 0 : -1;
        rig->ctx.sinks.apiList = &results;
        rig->ctx.sinks.monitor = nullptr;
        rig->ctx.insertRecord = [&records](const QString& text) { records << text; };
        rig->addRect(0, roi::kFuncDefect, {100, 80, 200, 160}, 30, 40, 3);
        rig->addRect(0, roi::kFuncSimilarity, {320, 200, 240, 200}, 80, 0, 0);
        rig->addRect(0, roi::kFuncDarkArea, {40, 300, 120, 120}, 40, 100000, 0);
        if (c == 2) rig->addRect(0, roi::kFuncSpot, {700, 500, 30, 30}, 0, 100, 0);
        const cv::Mat scene = texturedScene(kFrame, 30 + c);
        rig->train(scene);
        cv::Mat frame = withNoise(scene, 2.0, unsigned(c));
        if (c == 1) frame(cv::Rect(150, 120, 30, 30)).setTo(250);
        if (c == 3) {
            frame = cv::Mat(kFrame, CV_8UC1, cv::Scalar(0));
            withNoise(scene, 2.0, 7)(cv::Rect(0, 0, 630, 474))
                .copyTo(frame(cv::Rect(10, 6, 630, 474)));
        }
        rig->setFrame(frame);
        stations.push_back(std::make_unique<EngineStation>(*rig));
        rigs.push_back(std::move(rig));
    }

    CycleRig cycle("detectEnable[1]=0", 0);
    for (auto& s : stations) cycle.host.stations.push_back(s.get());
    cycle.controller->setParallelInspection(parallel);
    cycle.edge(0);

    Outcome out;
    for (const param_roi& r : results) out.results << describe(r);
    out.records = records;
    for (int c = 0; c < kCameras; ++c) {
        out.ok.push_back(rigs[size_t(c)]->ctx.isOK);
        out.values.emplace_back(
            rigs[size_t(c)]->ctx.roiValue[0],
            rigs[size_t(c)]->ctx.roiValue[0] + rigs[size_t(c)]->param->roiCount[0]);
        out.threads.push_back(stations[size_t(c)]->preparedOn);
    }
    return out;
}

TEST(ParallelInspection, SameResultsAndRecordsInCameraOrder) {
    const Outcome serial = runStep(false);
    const Outcome parallel = runStep(true);

    EXPECT_EQ(serial.ok, (std::vector<bool>{true, false, false, true}));
    EXPECT_EQ(parallel.ok, serial.ok);
    EXPECT_EQ(parallel.values, serial.values);
    EXPECT_EQ(parallel.results, serial.results);
    EXPECT_EQ(parallel.records, serial.records);
    ASSERT_EQ(serial.results.size(), 3 * kCameras);
    for (int k = 0; k < serial.results.size(); ++k)
        EXPECT_TRUE(serial.results[k].startsWith(QString::number(k / 3))) << k;
    EXPECT_EQ(serial.records, QStringList{"REG RUN ERROR = 2, 0, -3"});

    // One task per camera, the first on the cycle's own thread; none when taken one by one.
    QSet<QThread*> used;
    for (const auto& threads : parallel.threads) {
        ASSERT_EQ(threads.size(), 1u);
        used.insert(threads.front());
    }
    EXPECT_EQ(parallel.threads.front().front(), QThread::currentThread());
    EXPECT_GT(used.size(), 1);
    for (const auto& threads : serial.threads) EXPECT_TRUE(threads.empty());
}

}  // namespace
