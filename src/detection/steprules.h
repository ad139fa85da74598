#pragma once
// The step layout of each detection mode and the rules by which an input edge starts a
// cycle, arms the mould step and starts positions. Pure functions of the system parameters.
//
// Positions are what the pass counts and times: in modes 1 and 2 positions 0 and 1 stand for
// steps 0/1 on the left side and 2/3 on the right side; in modes 0 and 3 position = step.
// A step's kind indexes the per-kind state (pending masks, retries, counting): product 0 and
// mould 1 in modes 0..2 (the low bit in modes 1/2), the step itself in mode 3.

#include <vector>

class WizardPara;

namespace detection {

bool isTwoMouldMode(int mode);  // modes 1 (two-colour) and 2 (turntable)
bool isMultiMode(int mode);     // mode 3

// The position whose step ends a cycle: 1, or stepCount - 1 in mode 3.
int lastPosition(int mode, int stepCount);
// The kind of a step (see above).
int kindOf(int mode, int step);
// The step a position runs (modes 1/2: by side; otherwise the position itself).
int stepOfPosition(int mode, int position, int side);
// The output terminal bit of position j: OutputNo[j] - 1, OutputNo[7] - 1 for the last one.
int stepOutput(int position, int stepCount);
// Whether the position takes part on the given side (modes 1/2 check its step on that side).
bool positionEnabled(const WizardPara& p, int position, int side);

// --- step scan of modes 0..2 ---

// Whether an accepted edge on `input` starts a new cycle (modes 0..3). lastPending: the last
// position still has cameras to inspect (used by sequential multi-detection only).
bool startsCycle(const WizardPara& p, int input, int resumeInput, bool lastPending);

// The mould step's second signal (modes 0..2): whether `input` arms it and the side it
// selects (-1 keeps the side).
struct MouldArming {
    bool arm = false;
    int side = -1;
};
MouldArming mouldArming(const WizardPara& p, int input);

// Whether position k is triggered by `input` (modes 0..2; mode 0 also by the forced step).
bool positionTriggered(const WizardPara& p, int position, int input, int forcedStep);

// The delay of position k in tenths of a second. In mode 0 without semi-automatic operation
// and with product detection the mould step counts from the end of the product step's delay
// (lastDelay). Negative values count as 0.
int positionDelay(const WizardPara& p, int position, int lastDelay);

// --- multi-detection (mode 3) ---

struct MultiSelection {
    bool endScan = false;        // the edge is refused and ends the scan of this pass
    int position = -1;           // the position selected, -1 none
    std::vector<int> outputsOn;  // step outputs switched on by the owner's cut mode
};

// What an accepted edge on `input` selects. cycleStarted: the same edge just started a cycle.
MultiSelection selectMultiPosition(const WizardPara& p, int stepCount, int input, int seqStep,
                                   int resumeInput, bool lastPending, bool cycleStarted);

// The outputs the owner of position k switches on for positions k..stepCount-1 by its cut
// mode (position 0 is skipped without product detection).
std::vector<int> cutModeOutputs(const WizardPara& p, int stepCount, int position);

// Mode 3 after an OK of position seqStep: the input a following edge is taken from without a
// new edge, when the next position with a trigger line listens to the same line.
struct ResumeChoice {
    int resumeInput = -1;
    int forcedInput = -1;
};
ResumeChoice resumeAfterStep(const WizardPara& p, int stepCount, int seqStep, int forcedInput);

// The cut mode of the owner of position k, -1 when it has none.
int ownerCutMode(const WizardPara& p, int position);

// Cut modes of multi-detection.
enum CutMode {
    kCutAll = 0,
    kCutSelf = 1,
    kNotCut = 2,
    kSelfDelay = 3,
    kAllDelay = 4,
    kNgCutSelf = 5
};

// --- steps after an OK result ---

// The step shown next after an OK display (the advance of TimerShow). In mode 3 the next
// enabled step; when no step is enabled the step stays as it is.
int nextStepAfterOk(const WizardPara& p, int stepCount, int curDetect);

}  // namespace detection
