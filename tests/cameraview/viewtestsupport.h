#pragma once
// A camera-view test bench: the process globals a view reads, a parameter database in a fresh
// working folder, the main window's state and hooks, and views built on scripted cameras.

#include <gtest/gtest.h>

#include <QImage>
#include <QSqlDatabase>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "cammerwidget.h"
#include "scriptedcamera.h"
#include "testsupport.h"
#include "viewhooks.h"
#include "wizardpara.h"

namespace viewtest {

// Writes a BMP of 1, 4 or 8 bits per pixel with a grey palette of 2^bits entries, black to
// white; pixel(x, y) is the palette index.
bool writeGreyBmp(const QString& path, int width, int height, int bitsPerPixel,
                  const std::function<int(int, int)>& pixel);

class ViewTest : public ::testing::Test {
protected:
    ViewTest();
    ~ViewTest() override;
    void SetUp() override;
    void TearDown() override;

    // A view of camera cameraNo on `camera` (owned by the test; null = no camera object).
    std::unique_ptr<CammerWidget> makeView(testcamera::ScriptedCamera* camera, int cameraNo = 0,
                                           QWidget* parent = nullptr);
    cameraview::CameraViewHooks hooks();

    // A scripted camera owned by the fixture.
    testcamera::ScriptedCamera* newCamera(int width, int height);

    // Renders the view at its current size.
    QImage render(CammerWidget& view, bool withBackground = true);

    testsupport::WorkDir work;
    QSqlDatabase db;
    WizardPara para;
    WizardPara paraBak;
    cameraview::ViewHostState host;
    cameraview::RecordPicture recordShown;
    QStringList records;
    int lostCalls = 0;
    bool settingsShown = false;
    std::vector<int> hintStarts;
    // Region editing: the editing page's tool slots called (and what the test makes them do),
    // and the clock of the double taps.
    std::vector<cameraview::EditPageCall> pageCalls;
    std::function<void(cameraview::EditPageCall)> onPageCall;
    qint64 clockMs = 0;
    std::vector<std::unique_ptr<testcamera::ScriptedCamera>> cameras;

private:
    struct Saved;
    std::unique_ptr<Saved> saved_;
};

}  // namespace viewtest
