#pragma once
// The random walk's model of the machine: what must hold after each step, from what the walk
// drove (the mould edges, the pictures each camera showed, the cameras taken away and back,
// the answers) and the result lines the program wrote. It keeps its own count of cycles and
// failed cycles, knows which result a picture must get while the templates, ignore points and
// areas are the ones the walk started with, and which alarm a release timer belongs to, and
// tells when the clamp must be withheld.

#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

#include "walkconfigs.h"

namespace walk {

// A result line: "Detection result: step N of M OK" or "... NG (camera 1, 3)[, detected again]".
struct Result {
    int step = -1;             // 0-based
    std::vector<bool> failed;  // per camera
    bool retry = false;        // the failure is detected again before it stands
    std::vector<bool> lost;    // per camera: failed uninspected, for a frame missing
    bool anyFailed() const;
    static bool parse(const QString& line, int cameras, Result* r);
};

// The production counts: cycles and failed cycles per camera, and cycles any camera failed.
struct Counts {
    QList<int> cycles;
    QList<int> failed;
    int anyFailed = 0;
    bool operator==(const Counts& o) const {
        return cycles == o.cycles && failed == o.failed && anyFailed == o.anyFailed;
    }
    QString text() const;
};

class CycleModel {
public:
    CycleModel(const Case& c, int cameras);

    // --- what the walk drove ---
    // A mould-open edge the cycle takes: a new cycle (the model's count memory starts anew).
    void cycleStarts();
    // A mould-open edge while the cycle before still waits for a camera's frame: the new cycle
    // starts once that one judged its mould step, unless an alarm then stands.
    void cycleStartsAfterPending() { startPending_ = true; }
    // A camera was taken away; a frame of its current link arrived; it serves `picture` (the
    // cameras run free: every frame from now on shows it).
    void cameraLost(int camera);
    void frameArrived(int camera);
    void pictureShown(int camera, int picture);
    // Whether the camera has a frame of its current link, and the picture it shows.
    bool fresh(int camera) const { return fresh_[size_t(camera)]; }
    // A Modbus master reset the counts: each camera's cycles and failed cycles start again.
    void countersReset();
    // The no-input time-out fired: the clamp is withheld until the next cycle starts.
    void noInputFired() { noInput_ = true; }
    // The program let the clamp go on its own road, the cycle's mould step not yet judged.
    void clampGiven() { cycleOpen_ = false; }
    // An operator road the model does not follow (start/stop, settings, restores, the area
    // page, a re-sampling): nothing is expected held until the next cycle starts.
    void roadUnknown();
    // A confirmed answer may have changed what judges the pictures (templates, ignore points,
    // areas, the live template): from now on the model does not know a picture's result.
    void judgementChanged() { oracle_ = false; }
    // The return from a re-sampling's area page decides the step the re-sampling took: it
    // counts, passing on every camera, without a result line.
    void resampleReturned(int step);
    // The alarm on screen ended by an answer the page gave (not by a result line).
    void alarmAnswered();
    // The operator confirmed the count alarm's box.
    void countAlarmConfirmed() { okMoulds_ = 0; }

    // --- what the program wrote; each returns what broke, if anything ---
    // A result line; byMachine: judged by the machine's signals (not by an answer).
    QStringList judged(const Result& r, bool byMachine);
    // "NG alarm released by its timer".
    QStringList releasedByTimer();
    // A result line's place among the tries of a failing mould step: each failure is detected
    // again as often as the set-up's retries allow before it stands (read before judged()).
    QStringList tried(const Result& r, bool byMachine);

    // --- what must hold ---
    const Counts& expected() const { return counts_; }
    bool alarmExpected() const { return alarmShown_; }
    int alarmKind() const { return alarmKind_; }
    // Counts the alarms the model raised.
    int alarmId() const { return alarmId_; }
    // Why the ejector must be withheld now (empty: nothing holds it). startKnown: the cycle's
    // start is known to have been taken (not left to a pass still to come).
    QString ejectorHold(bool startKnown) const;
    // The count alarm is due: as many passing moulds as the set-up counts were judged.
    bool countAlarmDue() const { return c_.okCount && okMoulds_ >= c_.okCount; }
    // Why the clamp must be withheld now (empty: nothing holds it). lost: a camera is away;
    // countAlarm: the count alarm is raised; running: detection runs.
    QString clampHold(bool anyLost, bool countAlarm, bool running) const;
    // Whether a result of this kind is answered by a pulse instead of an alarm.
    bool pulses(int kind) const;
    int kindOf(int step) const { return c_.mode == TwoColour ? (step & 1) : step; }

private:
    void count(int kind, const std::vector<bool>& failed);
    bool expectedFailure(int camera, int kind, bool earlier) const;

    const Case& c_;
    int cameras_;
    Counts counts_;
    // The count memory of the cycle under way: kinds counted, cameras failed, cycle counted.
    bool kindCounted_[kStepsKept] = {};
    std::vector<bool> cycleFailed_;
    bool cycleCounted_ = false;
    int resets_ = 0;       // Modbus resets so far
    int cycleResets_ = 0;  // resets when the cycle under way was counted
    bool cycleOpen_ = false;
    bool productOpen_ = false;   // the cycle's product step is neither passed nor answered
    bool startPending_ = false;  // started and its mould step neither passed nor answered
    bool noInput_ = false;
    bool alarmShown_ = false;
    int alarmKind_ = -1;
    int alarmId_ = 0;
    int timerFor_ = 0;  // the alarm the release timer was started for, 0 none
    int okMoulds_ = 0;
    bool oracle_ = true;
    std::vector<bool> fresh_;  // per camera: a frame of its current link was taken
    std::vector<int> shown_;   // per camera: the picture of that frame
    // Per camera under the external trigger: the picture before, until a cycle starts. A step
    // held for a camera's return runs once that camera's frame comes, on the other cameras'
    // frames of its own trigger or the ones the next pictures' triggers already brought.
    std::vector<int> before_;

    // The lines of the cycle under way marked "detected again", and whether the cycle's start,
    // which arms the retries, was seen.
    int retries_ = 0;
    bool retriesKnown_ = false;
};

}  // namespace walk
