#pragma once
// The random walk's configurations: the pictures the cameras serve, how a walk's machine is set
// up (a Case and its one-line form), what a seed draws, and the cases walks once failed on.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>
#include <vector>

namespace walk {

enum Picture { Clean, PinMissing, RunnerBlocked, PartLeft, PictureCount };
extern const char kPictureLetters[];

// The pictures every camera serves: a clean open mould, then faults of growing size.
const std::vector<QImage>& pictures();
// The grey bytes of each picture, as the cameras deliver them.
const std::vector<QByteArray>& pictureBytes();
QByteArray rowsOf(const QImage& grey);

constexpr int kStepsKept = 2;  // the product and mould steps (steps 1 and 2 of every mode)

// The detection modes a walk draws: the standard one, two colours on the left mould alone, and
// two steps of their own (the product step on the mould-open input, the mould step on the
// second signal).
enum Mode { Standard = 0, TwoColour = 1, MultiStep = 3 };

// How a walk's machine is set up. The defaults are the set-up the first kept cases were found
// in; a seed draws every member.
struct Case {
    int mode = Standard;
    bool password = false;      // the operator password is on and guards the answers
    bool timedRelease = false;  // the mould alarm has a release timer ("time" fires it)
    int cameras = 2;            // 1..4
    bool product = false;       // the product step runs before the mould step
    bool upperOnly = false;     // the mould step looks at the upper half only (product: both)
    // Semi-automatic: the product step on the mould-open input, the mould step on the second
    // signal, each after its own delay (tenths of a second).
    bool semi = false;
    int delays[kStepsKept] = {0, 0};
    bool mouldPulse = false;    // a failed mould pulses the clamp and the alarm, no alarm page
    bool productPulse = false;  // a failed product pulses the ejector, no alarm page
    bool okNgPulse = false;     // every result is a pulse: no alarm, no interlock
    int clampPulse = 0;         // tenths of a second of the clamp's pulses
    int ejectorPulse = 0;       // tenths of a second of the ejector's pulses
    int okCount = 0;            // every okCount-th passing mould raises the count alarm
    int reDetect = 0;           // a failed mould is detected again this often before its alarm
    bool doorReset = false;     // the alarm's answers want the safety door open
    bool doorTrigger = false;   // the door's close re-runs the mould step
    bool lostBox = false;       // a camera loss shows the power-off box
    // The cameras take a frame only when triggered, and frames on every camera start a cycle
    // as the mould-open input does (the model then counts no cycles).
    bool extTrigger = false;
    // Output options: the clamp cut on the mould's alarm only, a pre-cut time, the clamp cut
    // again a pulse after a passing mould, the ejector cut on the product's alarm, the clamp
    // withheld while detection is stopped.
    bool cutOnAlarm = false;
    int preCut = 0;
    bool cutAfterOk = false;
    bool cutEjector = false;
    bool stopClamp = false;
    int noInput = 0;  // seconds of the no-input time-out ("idle" fires it)
    QStringList steps;

    // The mould step waits for the second signal.
    bool mouldOnSecondSignal() const { return semi || mode != Standard; }
    // The product step runs in the cycle.
    bool productStep() const { return product || mode == TwoColour; }
    QString line() const;
    static Case parse(const QString& line);
};

Case drawCase(quint32 seed);
// Cases walks once failed on, shrunk to the steps that broke an invariant.
const std::vector<const char*>& keptCases();

}  // namespace walk
