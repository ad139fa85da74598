#include "wizardparalayout.h"

#include <QFile>
#include <QTextStream>
#include <algorithm>
#include <iterator>

#include "paramlimits.h"
#include "wizardpara.h"

namespace params {

namespace {

// Language entries of the terminal names.
enum NameEntry {
    kOpen = 301,
    kSafety = 302,
    kBack = 303,
    kReserve = 304,
    kClamp = 305,
    kThimble = 306,
    kAlarm = 307,
    kLeftMould = 376,
    kRightMould = 377,
    kTransferMould = 378,
    kShiftLeft = 379,
    kResetKey = 380,
    kStartKey = 381,
    kShiftRight = 382,
};

QString entryText(int entry, int language) {
    if (language < 0 || language >= kLanguageCount) return QString();
    const int index = entry * kLanguageCount + language;
    if (index < 0 || index >= kLanguageTableSize) return QString();
    return gaLanStr[index];
}

// The NG outputs whose idle level the standard mode derives.
constexpr int kFirstNgOutput = 4;
constexpr int kLastNgOutput = 7;

bool inRange(int value, int count) {
    return value >= 0 && value < count;
}

void layoutStandard(WizardPara& p) {
    p.detectStepNum = 4;
    p.detectEnable[0] = p.detectProdEnable ? 1 : 0;
    p.detectEnable[1] = 1;
    p.trigInLine[0] = 0;
    p.trigInLine[1] = p.semiAuto ? 2 : 0;
    // With an ejector pulse instead of a product alarm the NG outputs start released.
    for (int i = kFirstNgOutput; i <= kLastNgOutput; ++i)
        p.outputInvert[i] = p.ejectorPulseOnProdNG ? 0 : 1;
    p.startSide = kKeepSide;
}

void layoutTwoMoulds(WizardPara& p) {
    p.detectStepNum = 4;
    if (static_cast<quint32>(p.moldSide) > 3) p.moldSide = 0;
    const int prod = p.detectProdEnable ? 1 : 0;
    int line = 0;
    switch (p.moldSide) {
        case 0:  // left mould only
            p.detectEnable[0] = prod;
            p.detectEnable[1] = 1;
            p.detectEnable[2] = 0;
            p.detectEnable[3] = 0;
            p.startSide = kSideLeft;
            line = 0;
            break;
        case 1:  // right mould only
            p.detectEnable[0] = 0;
            p.detectEnable[1] = 0;
            p.detectEnable[2] = prod;
            p.detectEnable[3] = 1;
            p.startSide = kSideRight;
            line = 3;
            break;
        default:  // both moulds
            p.detectEnable[0] = prod;
            p.detectEnable[1] = 1;
            p.detectEnable[2] = prod;
            p.detectEnable[3] = 1;
            p.startSide = kKeepSide;
            line = kLineBothMoulds;
            break;
    }
    if (p.detectMode == kModeTwoColor) {
        p.trigInLine[0] = 0;
        p.trigInLine[1] = line == 0 ? 2 : line;
    } else {
        p.trigInLine[0] = line;
        p.trigInLine[1] = p.semiAuto ? 2 : line;
    }
}

void layoutMultiDetect(WizardPara& p) {
    p.detectStepNum = p.detectNum;
    p.startSide = kKeepSide;
    for (int d = 0; d < kStepCount; ++d) {
        bool enabled = false;
        int line = kLineNone;
        if (d < p.detectNum) {
            const int owner = p.outputOwner[d];
            const bool validOwner = inRange(owner, kStepCount);
            p.outputOwnerActive[d] = validOwner ? owner : kNoOwner;
            if (validOwner && (d > 0 || p.detectProdEnable)) {
                const int slot = p.detectTrigIn[owner];
                if (inRange(slot, kTriggerSlotCount)) {
                    enabled = true;
                    line = TriginNo[slot] - 1;
                }
            }
        }
        p.detectEnable[d] = enabled ? 1 : 0;
        p.trigInLine[d] = line;
    }
}

}  // namespace

void applyFunctionFallback(WizardPara& p) {
    if (!p.enableDefect && !p.enableSpot && !p.enableBlackArea && !p.enableWhiteArea &&
        !p.enableSimilarity && !p.enableWhiteNum && !p.enableBlackNum)
        p.enableDefect = 1;
}

int deriveLayout(WizardPara& p) {
    switch (p.detectMode) {
        case kModeTwoColor:
        case kModeTurntable:
            layoutTwoMoulds(p);
            return 4;
        case kModeMultiDetect:
            layoutMultiDetect(p);
            return p.detectNum;
        default:
            layoutStandard(p);
            return 2;
    }
}

void keepStartLayout(WizardPara& stored, const WizardPara& running) {
    stored.detectModeNext = stored.detectMode;
    stored.detectMode = running.detectMode;
    stored.detectStepNum = running.detectStepNum;
    std::copy(std::begin(running.detectEnable), std::end(running.detectEnable),
              std::begin(stored.detectEnable));
    std::copy(std::begin(running.trigInLine), std::end(running.trigInLine),
              std::begin(stored.trigInLine));
    std::copy(std::begin(running.outputOwnerActive), std::end(running.outputOwnerActive),
              std::begin(stored.outputOwnerActive));
    stored.startSide = running.startSide;
    if (running.detectMode == kModeStandard)
        for (int i = kFirstNgOutput; i <= kLastNgOutput; ++i)
            stored.outputInvert[i] = running.outputInvert[i];
}

QString inputFunctionName(int function, int language) {
    if (!inRange(function, kInputFunctionCount) || !inRange(language, kLanguageCount))
        return QString();
    return QString::fromUtf8(gInName[function * kLanguageCount + language]);
}

QString outputFunctionName(int function, int language) {
    if (!inRange(function, kOutputFunctionCount) || !inRange(language, kLanguageCount))
        return QString();
    return QString::fromUtf8(gOutName[function * kLanguageCount + language]);
}

void deriveNames(const WizardPara& p, int language, const QString& nameFile,
                 QString (&names)[kIONameCount]) {
    QFile file(nameFile);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QTextStream in(&file);
        in.setCodec("UTF-8");
        for (int i = 0; i < kNameFileLines; ++i) names[i] = in.atEnd() ? QString() : in.readLine();
        return;
    }
    auto t = [language](int entry) { return entryText(entry, language); };
    switch (p.detectMode) {
        case kModeMultiDetect: {
            names[0] = inputFunctionName(p.inputFunc[0], language);
            names[1] = t(kSafety);  // input terminal 2 is the fixed safety-door input
            for (int i = 1; i < kStepCount; ++i)
                names[1 + i] = inputFunctionName(p.inputFunc[i], language);
            names[9] = outputFunctionName(p.outputFunc[0], language);
            names[10] = outputFunctionName(p.outputFunc[1], language);
            names[11] = t(kAlarm);  // output terminal 3 is the fixed alarm output
            for (int j = 2; j < kStepCount; ++j)
                names[10 + j] = outputFunctionName(p.outputFunc[j], language);
            return;
        }
        case kModeTwoColor: {
            const int entries[] = {kOpen,  kSafety,        kLeftMould, kRightMould,
                                   kClamp, kTransferMould, kAlarm,     kReserve};
            for (int i = 0; i < 8; ++i) names[i] = t(entries[i]);
            return;
        }
        case kModeTurntable: {
            const int entries[] = {kShiftLeft,     kResetKey, kStartKey, kShiftRight,
                                   kTransferMould, kThimble,  kAlarm,    kReserve};
            for (int i = 0; i < 8; ++i) names[i] = t(entries[i]);
            return;
        }
        default: {
            const int entries[] = {kOpen,  kSafety,  kBack,  kReserve,
                                   kClamp, kThimble, kAlarm, kReserve};
            for (int i = 0; i < 8; ++i) names[i] = t(entries[i]);
            return;
        }
    }
}

}  // namespace params
