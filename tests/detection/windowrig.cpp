#include "windowrig.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMutex>
#include <QMutexLocker>
#include <QScreen>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>

#include "cameramanager.h"
#include "cammersingleton.h"
#include "cammerwidget.h"
#include "controlport.h"
#include "deraRazovi.h"
#include "dialogseam.h"
#include "globals.h"
#include "languagetable.h"
#include "operationlog.h"
#include "question.h"
#include "recordingsystemactions.h"
#include "wizardpara.h"
#include "wizardparastore.h"

namespace cycletest {

namespace {

constexpr int kFrameW = 640;
constexpr int kFrameH = 480;
constexpr int kThreshold = 128;    // white-area band starts here
constexpr int kMaxWhiteArea = 50;  // pixels; more is NG
constexpr int kRegionNgGroup = 1;  // NG output group of the regions (output 5)
constexpr int kStartTimeoutMs = 10000;
constexpr const char* kSetupConnection = "cycleRigSetup";

QImage scene(int grey) {
    QImage image(kFrameW, kFrameH, QImage::Format_Grayscale8);
    image.fill(qRgb(grey, grey, grey));
    return image;
}

}  // namespace

WindowRig::WindowRig(int cameras, const std::function<void(WizardPara&)>& configure,
                     sys::RecordingSystemActions& seam, RigScenes scenes)
    : scenes_(std::move(scenes)) {
    // As a start does: the stop of an earlier window in this process ended its questions.
    dialogs::resumeAsking();
    if (!pMutexIO) pMutexIO = new QMutex;
    if (!pMutexSaveFail) pMutexSaveFail = new QMutex;
    static bool languageFilled = false;
    if (!languageFilled) {
        fillLanguageTable();
        languageFilled = true;
    }
    previousDir_ = QDir::currentPath();
    previousPictures_ = qEnvironmentVariable("MOULDMON_SIM_PICTURES");
    if (!dir_.isValid() || !QDir::setCurrent(dir_.path())) {
        error_ = QStringLiteral("no working folder");
        return;
    }
    const QRect screen = QApplication::primaryScreen()->geometry();
    gShowW = screen.width();
    gShowH = screen.height();
    if (!prepareFolder(cameras, configure)) return;

    if (!sim_.start()) {
        error_ = QStringLiteral("IO-board simulator: ") + sim_.errorString();
        return;
    }
    sim_.setOutputObserver([this](quint32 word) {
        std::lock_guard<std::mutex> lock(changesMutex_);
        changes_.push_back({Clock::now(), word});
    });
    seam.setSerialPath(sim_.slavePath());
    // Scenes change only when a test shows another picture.
    qputenv("MOULDMON_SIM_HOLD", "1");
    qputenv("MOULDMON_SIM_PICTURES",
            QDir(dir_.path()).filePath(QStringLiteral("sim")).toLocal8Bit());
    CameraManager::getInstance()->setProgramFolder(QStringLiteral(MOULDMON_BIN_DIR));
    dialogs::setAnswerer([](QDialog*) { return int(QDialog::Rejected); });

    {
        // The board's words are process globals: a window of an earlier rig must not leave
        // its inputs behind as edges for this one.
        QMutexLocker lock(pMutexIO);
        gDataIn = 0;
        gDataOut = 0;
    }
    // So are the editing page's words: an area check or an alarm page left open by an earlier
    // window would hold this one's decisions.
    gSource = -1;
    gFromTrain = 0;
    gDrawHint = 0;
    gisSafeDoorOpen = false;
    window_ = std::make_unique<DeRaRazovi>(nullptr);
    if (numCamera != cameras) {
        error_ = QStringLiteral("%1 cameras opened, %2 wanted").arg(numCamera).arg(cameras);
        return;
    }
    gpControlIO->InitIOThread(window_.get());
    shownPicture_.assign(size_t(cameras), 0);
    // A camera on the external trigger takes no picture at its start. Each is turned once round
    // its pictures, to take its first scene as a free-running start does; the switch below
    // takes that frame, as it takes the free run's, for no triggered one.
    if (gpWPara && gpWPara->sysUsage)
        for (int c = 0; c < numCamera; ++c)
            for (int k = 0; k < pictureCount_[size_t(c)]; ++k)
                window_->cammerWidgets[c]->ManualUpdateImage();
    for (int c = 0; c < numCamera; ++c) window_->cammerWidgets[c]->CameraChangeTrig(true);

    // The board follows the window's idle outputs once the IO thread runs.
    const bool settled = waitFor(
        [this] {
            QMutexLocker lock(pMutexIO);
            return sim_.outputs() == (gDataOut & 0x3FFu) && sim_.commandCount(2) > 10;
        },
        kStartTimeoutMs);
    if (!settled) error_ = QStringLiteral("the board never took the idle outputs");
}

WindowRig::~WindowRig() {
    if (gpControlIO) gpControlIO->StopIOThread();
    window_.reset();
    delete gpControlIO;
    gpControlIO = nullptr;
    dialogs::setAnswerer({});
    sim_.setOutputObserver({});
    sim_.stop();
    qputenv("MOULDMON_SIM_PICTURES", previousPictures_.toLocal8Bit());
    qunsetenv("MOULDMON_SIM_HOLD");
    QDir::setCurrent(previousDir_);
}

bool WindowRig::prepareFolder(int cameras, const std::function<void(WizardPara&)>& configure) {
    QDir().mkpath(QStringLiteral("paraGroup/default"));
    if (!WizardParaStore::createDefaultDatabase(QStringLiteral("paraGroup/default/PARAM.db")) ||
        !QFile::copy(QStringLiteral("paraGroup/default/PARAM.db"), QStringLiteral("PARAM.db")) ||
        !OperationLog::createEmptyDatabase(QStringLiteral("RECORDNULL.db")) ||
        !QFile::copy(QStringLiteral("RECORDNULL.db"), QStringLiteral("RECORD.db"))) {
        error_ = QStringLiteral("factory files");
        return false;
    }
    pictureCount_.assign(size_t(cameras), 0);
    for (int c = 0; c < cameras; ++c) {
        const QString folder = QStringLiteral("sim/cam%1/grey").arg(c + 1);
        const std::vector<QImage> pictures = picturesOf(c);
        bool saved = QDir().mkpath(folder) && pictures.size() >= 2;
        // The camera serves its pictures in name order.
        for (size_t k = 0; k < pictures.size() && saved; ++k)
            saved = pictures[k].save(folder + QStringLiteral("/%1.png").arg(k, 2, 10, QChar('0')));
        if (!saved) {
            error_ = QStringLiteral("pictures");
            return false;
        }
        pictureCount_[size_t(c)] = int(pictures.size());
    }
    return writeParameters(cameras, configure);
}

std::vector<QImage> WindowRig::picturesOf(int camera) const {
    if (scenes_.pictures) return scenes_.pictures(camera);
    return {scene(0), scene(255)};
}

bool WindowRig::writeParameters(int cameras, const std::function<void(WizardPara&)>& configure) {
    bool written = false;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QLatin1String(kSetupConnection));
        db.setDatabaseName(QStringLiteral("PARAM.db"));
        if (db.open()) {
            auto para = std::make_unique<WizardPara>();
            para->LoadDatafromFile(db);
            // Position correction and registration off: the scenes are plain pictures.
            para->motionCorrect = -1;
            para->angleCorrect = 0;
            para->isColor = 0;
            para->enableWhiteArea = 1;
            para->useStatistics = 1;
            para->inputTimeout = 0;
            para->screenOffTime = 0;
            for (int& d : para->trigInDelay) d = 0;
            if (configure) configure(*para);
            para->detectModeNext = para->detectMode;
            written = para->SaveDatatoFile(db);
            if (scenes_.regions) written = written && scenes_.regions(db, cameras);
            for (int c = 0; c < cameras && written && !scenes_.regions; ++c) {
                auto table = std::make_unique<CammerSingleton>(c);
                table->LoadDatafromFile(db, 1.0f, 1.0f, nullptr);
                for (int step = 0; step < 2; ++step) {
                    table->roiCount[step] = 1;
                    table->setDefaultRoi(step, 0);
                    table->roiFunc[step][0] = 5;
                    table->roiParam1[step][0] = kThreshold;
                    table->roiParam2[step][0] = kMaxWhiteArea;
                }
                table->roiNgOutput[0] = kRegionNgGroup;
                written = table->SaveDatatoFile(db);
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(QLatin1String(kSetupConnection));
    if (!written) error_ = QStringLiteral("parameters");
    return written;
}

void WindowRig::setScene(int camera, bool ng) {
    showPicture(camera, ng ? 1 : 0);
}

void WindowRig::showPicture(int camera, int picture) {
    if (camera < 0 || camera >= int(shownPicture_.size())) return;
    const int count = pictureCount_[size_t(camera)];
    if (picture < 0 || picture >= count) return;
    // A software trigger moves on to the next picture.
    while (shownPicture_[size_t(camera)] != picture) {
        window_->cammerWidgets[camera]->ManualUpdateImage();
        shownPicture_[size_t(camera)] = (shownPicture_[size_t(camera)] + 1) % count;
    }
}

void WindowRig::retakePicture(int camera) {
    if (camera < 0 || camera >= int(shownPicture_.size())) return;
    for (int k = 0; k < pictureCount_[size_t(camera)]; ++k)
        window_->cammerWidgets[camera]->ManualUpdateImage();
}

void WindowRig::setAllScenes(bool ng) {
    for (int c = 0; c < int(shownPicture_.size()); ++c) setScene(c, ng);
}

bool WindowRig::unplug(int camera, bool unplugged) {
    // The simulation camera's own command: a file in its folder.
    QFile plug(QDir(dir_.path()).filePath(QStringLiteral("sim/cam%1/unplugged").arg(camera + 1)));
    if (!unplugged) return !plug.exists() || plug.remove();
    if (!plug.open(QIODevice::WriteOnly)) return false;
    plug.close();
    return true;
}

void WindowRig::setInput(int bit, bool on) {
    sim_.setInput(bit, on);
}

void WindowRig::setInputs(quint32 word) {
    sim_.setInputs(word);
}

bool WindowRig::waitFor(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
    return true;
}

namespace {

class OnceBetweenEvents : public QObject {
public:
    OnceBetweenEvents(std::function<bool()> condition, std::function<void()> action)
        : condition_(std::move(condition)), action_(std::move(action)) {}

protected:
    bool eventFilter(QObject*, QEvent*) override {
        if (action_ && condition_()) {
            const std::function<void()> action = std::move(action_);
            action_ = nullptr;
            action();
        }
        return false;
    }

private:
    std::function<bool()> condition_;
    std::function<void()> action_;
};

}  // namespace

void WindowRig::whenBetweenEvents(std::function<bool()> condition, std::function<void()> action) {
    // A child of the window, so it goes with it.
    auto* filter = new OnceBetweenEvents(std::move(condition), std::move(action));
    filter->setParent(window_.get());
    QCoreApplication::instance()->installEventFilter(filter);
}

bool WindowRig::waitInputSeen(int bit, bool on, int timeoutMs) {
    return waitFor(
        [&] {
            QMutexLocker lock(pMutexIO);
            return bool((gDataIn >> bit) & 1u) == on;
        },
        timeoutMs);
}

bool WindowRig::waitInputTaken(int bit, bool on, int timeoutMs) {
    return waitFor([&] { return gpControlIO && bool(gpControlIO->inPrev[bit]) == on; }, timeoutMs);
}

bool WindowRig::levelIn(quint32 word, int bit) const {
    const bool physical = (word >> bit) & 1u;
    const bool inverted = gpWPara && bit < 9 && gpWPara->outputInvert[bit];
    return physical != inverted;
}

bool WindowRig::output(int bit) const {
    return levelIn(sim_.outputs(), bit);
}

bool WindowRig::waitOutput(int bit, bool on, int timeoutMs) {
    return waitFor([&] { return output(bit) == on; }, timeoutMs);
}

std::vector<OutputChange> WindowRig::changes() const {
    std::lock_guard<std::mutex> lock(changesMutex_);
    return changes_;
}

void WindowRig::clearChanges() {
    std::lock_guard<std::mutex> lock(changesMutex_);
    changes_.clear();
}

WindowRig::Clock::time_point WindowRig::firstChange(int bit, bool on,
                                                    Clock::time_point since) const {
    for (const OutputChange& change : changes()) {
        if (change.when < since) continue;
        if (levelIn(change.word, bit) == on) return change.when;
    }
    return Clock::time_point::max();
}

QStringList WindowRig::records() const {
    QStringList rows;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("cycleRigRecords"));
        db.setDatabaseName(QDir(dir_.path()).filePath(QStringLiteral("RECORD.db")));
        if (db.open()) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("SELECT remarks FROM RECORD ORDER BY rowid"));
            while (q.next()) rows << q.value(0).toString();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("cycleRigRecords"));
    return rows;
}

QString WindowRig::counterFile() const {
    QFile file(QDir(dir_.path()).filePath(QStringLiteral("cnt_net/workspace/count.ini")));
    if (!file.open(QIODevice::ReadOnly)) return QString();
    return QString::fromUtf8(file.readAll());
}

}  // namespace cycletest
