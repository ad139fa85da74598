#pragma once
// The random walk's driver: walks one case over the whole main window. It drives the machine's
// signals, the cameras and the operator's presses, answers each box from the sequence (a box
// stays open across the machine's events until the sequence answers it) and after every step
// checks the invariants (walkinvariants.cpp) and the model's expectations (walkmodel.h).

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "dialogseam.h"
#include "walkconfigs.h"
#include "walkmodel.h"
#include "walkpulses.h"

class CammerSingleton;
class CammerWidget;
class DeRaRazovi;
class DrawROIWidget;
class QDialog;

namespace cycletest {
class WindowRig;
}

namespace walk {

// The stored areas of a camera's product and mould steps, as far as an answer can change them.
QVector<int> areasOf(const CammerSingleton& p);

// The files an answer may change: templates, ignore masks, areas.
struct Disk {
    std::map<QString, QByteArray> templates;  // "cammer12/template1.bmp": grey bytes
    std::vector<QByteArray> masks;            // per camera and step, empty without a file
    std::vector<QVector<int>> areas;          // per camera
    bool operator==(const Disk& o) const {
        return templates == o.templates && masks == o.masks && areas == o.areas;
    }
};
Disk readDisk();

// Where a box was asked, which decides what its answer is about.
enum class Where { AlarmPage, AreaPage, Settings, ToolBar };

// One box as the walk saw it: what the window showed when it opened, and how it was answered.
struct Box {
    QString text;
    QString label;
    Where where = Where::ToolBar;
    std::vector<qint64> asked;  // the walk's reading of its subject when it opened
    struct Shown {
        QByteArray frame;   // the judged frame
        QByteArray found;   // the pixels the regions found
        QVector<int> edit;  // the areas being edited
    };
    std::vector<Shown> shown;  // per camera
    bool yes = false;
    bool stale = false;  // the reading changed before the answer
    bool afterStop = false;
    int recordsAtAnswer = 0;
    int camera = -1;  // the camera the operator chose on the page for it (the count: all)
    bool acts() const { return yes && !stale && !afterStop; }
};

class Walk {
public:
    Walk(cycletest::WindowRig& rig, const Case& c, const Disk& groups);
    ~Walk();

    void run();
    // A line the program logged (the result lines and the timer's releases).
    void heard(const QString& text);
    const QStringList& violations() const { return violations_; }
    const QString& trace() const { return trace_; }
    int pulsesTimed() const { return pulses_->timed(); }

private:
    DrawROIWidget& page();
    CammerWidget& view(int c);
    int records() const;
    bool retraining();
    void violate(const QString& what);
    void settle();
    void stuck(bool lost);
    void perform(const QString& step);
    void machine(const std::function<void()>& act);
    bool grabbed(const std::vector<int>& shown);
    void input(int bit, bool on);
    void inputs(const std::vector<int>& bits, bool on);
    void signal(const std::vector<int>& bits, const QString& pictures);
    void awaitDelays();
    bool cycleTakesEdge();
    bool edgeJudges(const std::vector<int>& bits);
    void show(int c, int picture);
    void loseCamera(int c);
    void openAndLose(int c);
    // Camera c unplugged and its loss seen by the window.
    void unplug(int c);
    void camerasBack();
    bool anyLost() const;
    // A camera back has taken no frame of its new link yet.
    bool awaitsFrame() const;
    void timePasses();
    void noInputPasses();
    void resetCounts();
    void confirmCameraLoss();
    void operate(const QString& name, const QString& arg);
    void stop();
    void finishStop();
    int answer(QDialog* d);
    Where where();
    std::vector<qint64> reading(Where where);
    QByteArray shownFrame(int c);
    // The invariants, after every step (walkinvariants.cpp).
    void check(const QString& step, int askedBefore);
    void checkPageShows();
    void checkCounts(bool byClients);
    void checkDeeds();
    void checkDisk(const Disk& before, const Disk& now);
    void checkOutputs(const QString& step);
    void checkPulses();
    // What the walk sees besides (walksees.cpp): each result line's step counts, the records,
    // the ejector, the fourth output, the camera an answer marks, nothing judged while stopped.
    void seeResult(const Result& r);
    void seeAlarmRaised(const Result& r);
    void markCamera(const QString& arg, const std::function<void()>& press);
    void checkSeen(const QString& step);
    void readCounting();

    cycletest::WindowRig& rig_;
    DeRaRazovi& w_;
    const Case& case_;
    const Disk& groups_;  // what a restore brings back
    CycleModel model_;
    std::unique_ptr<dialogs::ScopedAnswerer> answers_;
    int next_ = 0;
    int openBoxes_ = 0;
    QString trace_;
    QStringList violations_;
    QString step_;                              // the top-level step, for the violations
    Disk disk_;                                 // as the last step left it
    Disk started_;                              // as the walk found it
    std::vector<Box> answered_;                 // the boxes of the top-level step
    std::vector<std::pair<int, int>> machine_;  // records written by the machine's events
    qint64 judgements_ = 0;                     // result lines of the cycle
    qint64 releases_ = 0;                       // alarms released by their timer
    bool resampling_ = false;                   // a confirmed re-sampling is under way
    bool level_[3] = {};               // the mould open, the door closed, the second signal
    std::vector<bool> lost_;           // per camera: taken away by the walk
    std::vector<int> wanted_;          // per camera: the picture of the last edge
    std::vector<int> framesAtReturn_;  // per camera back: the window's frames then, -1 none
    bool pendingEdge_ = false;         // a mould-open edge came while a camera was away
    bool byMachine_ = false;           // the innermost step running is the machine's
    bool countUnknown_ = false;        // the model cannot tell the count alarm's moulds
    bool countsTold_ = false;          // a count differed: told once
    bool lossConfirmed_ =
        false;                // the camera-loss box is being confirmed: its power-off is asked for
    quint32 quietAlarm_ = 0;  // the alarm whose output the templates, the door or a pulse ended
    QMetaObject::Connection pulseEnd_;
    std::unique_ptr<PulseWatch> pulses_;
    bool stopped_ = false;
    bool stuck_ = false;  // a step did not settle: the walk ends
    QElapsedTimer stopClock_;
    int recordsAtStop_ = 0;
    Disk diskAtStop_;
    struct Seen {
        bool pending = false;  // a result line whose counting is still to be read
        Result line;           // that line
        bool counted = false;  // its kind is the first of its cycle: it counts
        bool cycleCounted = false;
        std::vector<bool> cycleFailed;
        std::vector<int> counts;  // the counts before it counted
        bool told = false;        // a count differed: told once
        int chosen = -1;          // the camera the operator chose for the press under way
        int marked = -1;  // the camera "Don't Detect" is pressed for, its re-check under way
        int markedLines = 0;
        std::vector<std::pair<int, QString>> alarmRecords;  // from which record, its text
        std::set<std::pair<int, int>> failed;               // the cameras and steps a line failed
        bool resampling = false;       // a re-sampling was under way at the last step
        bool stopped = false;          // detection stopped by the operator
        std::vector<quint64> shownAt;  // per camera: the moment it was shown its last picture
        quint32 alarmSerial = 0;
    } seen_;
};

}  // namespace walk
