#include "steprules.h"

#include <algorithm>

#include "detectionlimits.h"
#include "globals.h"
#include "paramlimits.h"
#include "wizardpara.h"

namespace detection {

namespace {

bool validPosition(int k) {
    return k >= 0 && k < kMaxSteps;
}

int ownerOf(const WizardPara& p, int k) {
    return validPosition(k) ? p.outputOwnerActive[k] : params::kNoOwner;
}

}  // namespace

bool isTwoMouldMode(int mode) {
    return mode == params::kModeTwoColor || mode == params::kModeTurntable;
}

bool isMultiMode(int mode) {
    return mode == params::kModeMultiDetect;
}

int lastPosition(int mode, int stepCount) {
    return isMultiMode(mode) ? stepCount - 1 : 1;
}

int kindOf(int mode, int step) {
    return isTwoMouldMode(mode) ? (step & 1) : step;
}

int stepOfPosition(int mode, int position, int side) {
    if (!isTwoMouldMode(mode)) return position;
    const int base = position < 2 ? position : position - 2;
    return base + (side == kSideRight ? 2 : 0);
}

int stepOutput(int position, int stepCount) {
    if (position == stepCount - 1) return OutputNo[7] - 1;
    return validPosition(position) ? OutputNo[position] - 1 : -1;
}

bool positionEnabled(const WizardPara& p, int position, int side) {
    const int step = stepOfPosition(p.detectMode, position, side);
    return validPosition(step) && p.detectEnable[step] != 0;
}

bool startsCycle(const WizardPara& p, int input, int resumeInput, bool lastPending) {
    switch (p.detectMode) {
        case params::kModeStandard:
            return input == kOpenInput ||
                   (input == kSecondSignalInput && p.separateDetectSignal == 1);
        case params::kModeTwoColor:
            return input == kOpenInput;
        case params::kModeTurntable:
            return (input == kOpenInput && p.moldSide != 1) ||
                   (input == kRightInput && p.moldSide != 0);
        case params::kModeMultiDetect:
            if (!p.sequentialDetect) return true;
            return input == kOpenInput && resumeInput == kNoInput && !lastPending;
        default:
            return false;
    }
}

MouldArming mouldArming(const WizardPara& p, int input) {
    MouldArming a;
    switch (p.detectMode) {
        case params::kModeStandard:
            a.arm = input == kSecondSignalInput && p.semiAuto;
            break;
        case params::kModeTurntable:
            a.arm = input == kSecondSignalInput;
            break;
        case params::kModeTwoColor:
            if (input == kSecondSignalInput && p.moldSide != 1) {
                a.arm = true;
                a.side = kSideLeft;
            } else if (input == kRightInput && p.moldSide != 0) {
                a.arm = true;
                a.side = kSideRight;
            }
            break;
        default:
            break;
    }
    return a;
}

bool positionTriggered(const WizardPara& p, int position, int input, int forcedStep) {
    if (!validPosition(position)) return false;
    const int line = p.trigInLine[position];
    switch (p.detectMode) {
        case params::kModeStandard:
            return position == forcedStep || line == input;
        case params::kModeTwoColor:
            return line == input || (line == params::kLineBothMoulds &&
                                     (input == kSecondSignalInput || input == kRightInput));
        case params::kModeTurntable:
            return line == input || (line == params::kLineBothMoulds &&
                                     (input == kOpenInput || input == kRightInput));
        default:
            return false;
    }
}

int positionDelay(const WizardPara& p, int position, int lastDelay) {
    if (!validPosition(position)) return 0;
    int d = p.stepDelay(position);
    if (p.detectMode == params::kModeStandard && position > 0 && p.semiAuto == 0 &&
        p.detectProdEnable)
        d += lastDelay;
    return d < 0 ? 0 : d;
}

int ownerCutMode(const WizardPara& p, int position) {
    const int owner = ownerOf(p, position);
    if (!validPosition(owner)) return -1;
    return p.detectCutMode[owner];
}

std::vector<int> cutModeOutputs(const WizardPara& p, int stepCount, int position) {
    std::vector<int> outputs;
    const int owner = ownerOf(p, position);
    if (!validPosition(owner)) return outputs;
    const int cut = p.detectCutMode[owner];
    for (int j = position; j < stepCount && j < kMaxSteps; ++j) {
        if (j == 0 && !p.detectProdEnable) continue;
        const int ownerJ = ownerOf(p, j);
        bool on = false;
        switch (cut) {
            case kCutAll:
            case kAllDelay:
                on = ownerJ != params::kNoOwner;
                break;
            case kCutSelf:
            case kSelfDelay:
                on = ownerJ == owner;
                break;
            default:
                break;
        }
        if (on) outputs.push_back(stepOutput(j, stepCount));
    }
    return outputs;
}

MultiSelection selectMultiPosition(const WizardPara& p, int stepCount, int input, int seqStep,
                                   int resumeInput, bool lastPending, bool cycleStarted) {
    MultiSelection s;
    const int count = std::min(stepCount, kMaxSteps);
    if (!p.sequentialDetect) {
        if (!lastPending) return s;
        const int from = resumeInput != kNoInput ? seqStep + 1 : 0;
        for (int k = std::max(from, 0); k < count; ++k) {
            if (p.trigInLine[k] == input) {
                s.position = k;
                break;
            }
        }
    } else {
        if (resumeInput == kNoInput && !cycleStarted) {
            int next = -1;
            for (int j = std::max(seqStep + 1, 0); j < count; ++j) {
                if (p.trigInLine[j] != params::kLineNone) {
                    next = j;
                    break;
                }
            }
            const bool accepted = next < 0 || p.trigInLine[next] == input || next == 0;
            if (!accepted) {
                s.endScan = true;
                return s;
            }
        }
        if (!lastPending) return s;
        s.position = 0;
        for (int j = std::max(seqStep + 1, 0); j < count; ++j) {
            if (ownerOf(p, j) != params::kNoOwner) {
                s.position = j;
                break;
            }
        }
    }
    if (s.position < 0) return s;

    // In sequential operation a position of the same owner as the one before keeps the
    // outputs as they are, except at the start of a new round on input 0.
    if (p.sequentialDetect && validPosition(seqStep)) {
        const bool newRound = input == kOpenInput && seqStep == stepCount - 1;
        if (ownerOf(p, s.position) == ownerOf(p, seqStep) && !newRound) return s;
    }
    s.outputsOn = cutModeOutputs(p, stepCount, s.position);
    return s;
}

ResumeChoice resumeAfterStep(const WizardPara& p, int stepCount, int seqStep, int forcedInput) {
    ResumeChoice r;
    const int count = std::min(stepCount, kMaxSteps);
    if (validPosition(seqStep)) {
        for (int j = seqStep + 1; j < count; ++j) {
            if (p.trigInLine[j] == params::kLineNone) continue;
            if (p.trigInLine[j] == p.trigInLine[seqStep]) {
                r.resumeInput = p.trigInLine[seqStep];
                r.forcedInput = kNoInput;
                return r;
            }
            break;
        }
    }
    r.resumeInput = forcedInput;
    r.forcedInput = kNoInput;
    return r;
}

int nextStepAfterOk(const WizardPara& p, int stepCount, int curDetect) {
    if (stepCount <= 0) return curDetect;
    const int next = (curDetect + 1) % stepCount;
    if (isMultiMode(p.detectMode)) {
        for (int n = 0; n < stepCount; ++n) {
            const int s = (next + n) % stepCount;
            if (validPosition(s) && p.detectEnable[s]) return s;
        }
        return curDetect;  // nothing enabled: the search ends where it began
    }
    int step = next;
    if (step % 2 == 0 && !p.detectProdEnable) step = (next + 1) % stepCount;
    if (isTwoMouldMode(p.detectMode)) {
        if (p.moldSide == 0)
            step = step % 2;
        else if (p.moldSide == 1)
            step = step % 2 + 2;
    }
    return step;
}

}  // namespace detection
