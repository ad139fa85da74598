#pragma once
// The system parameters: one live record (gpWPara) and one editing copy (gpWParaBak), both
// created by the main window. The record is plain data; it is copied only with its copy
// assignment. Every stored field is described once in paramschema.h, which the load, the save
// and the new-database writer share.

#include <QDir>
#include <QSqlDatabase>
#include <QString>

#include "paramlimits.h"

class WizardPara {
public:
    WizardPara();
    ~WizardPara();
    WizardPara(const WizardPara&) = delete;
    WizardPara& operator=(const WizardPara& other);

    // --- stored fields (row and token in paramschema.cpp) ---
    int exposeTime[params::kCameraCount]{};
    int adjustPlus[params::kCameraCount]{};
    int sharp[params::kCameraCount]{};
    int contrast[params::kCameraCount]{};
    int gamma[params::kCameraCount]{};
    int trigInDelay[params::kLineCount]{};  // tenths of a second; [8] is not stored
    int trigInLine[params::kLineCount]{};   // derived: input bit of each step, 255 both, -1 none
    int inputInvert[params::kLineCount]{};  // not stored
    int outputInvert[params::kLineCount]{};
    int semiAuto{};
    int detectEnable[params::kStepCount]{};  // derived
    int sameParam{};
    int stopClampOnStop{};
    int motionCorrect{};  // 0 on, -1 off
    int cutEjectorWhenClamp{};
    int isPswUsed{};
    int templateAutoUpdate{};
    int detectProdEnable{};
    int tempNum{};
    int picNumNG{};
    int picNumOK{};
    int screenOffTime{};  // seconds, 0 never
    int speed{};
    int amplify{};
    int autoLogout{};  // seconds
    int reDetectNum{};
    int ejectorPulse{};  // tenths of a second
    int clampPulse{};    // tenths of a second
    int output4Pulse{};  // tenths of a second
    int inputTimeout{};  // seconds, 0 off
    int debounceTime{};  // tenths of a second
    int filterSize{};
    int alarmArea{};
    int shapeAccuracy{};
    int zoomLayers{};
    int noEjectorCtrlProd{};
    int ejectorPulseOnProdNG{};
    int clampPulseOnMoldNG{};
    int input4Use{};
    int cutClampAfterMoldOK{};
    int cutEjectorAfterProdOK{};
    int okNgPulse{};
    int cutEjectorOnProdAlarm{};
    int cutClampOnMoldAlarm{};
    int moldNGTimedRelease{};
    int pswNotDetect{};
    int pswAddTemp{};
    int pswStopDetect{};
    int safeDoorResetAlarm{};
    int enableDefect{};
    int enableSpot{};
    int enableIgnore{};
    int enableLocate{};
    int showAllParam{};
    int safeDoorTrigger{};
    int spare140{};
    int useStatistics{};
    int output4Use{};
    int shapeOffset{};
    int templateIsNG{};
    int realTimeShowROI{};
    int useLog{};
    int spare147{};
    int matchBrightness{};
    int angleCorrect{};
    int noRefreshAfterAlarm{};
    int addAllCamTemp{};
    int camSampleSeparately{};
    int prodNGSkipOnDoor{};
    int shieldPin{};
    int cameraLostOpt{};
    int moldOKNum{};
    int continuousArea{};
    int comPort{};
    int isColor{};
    int isGrayHue{};
    int noLensOpt{};
    int minSpot{};
    int showManualSnap{};
    int showFactoryParam{};
    int separateDetectSignal{};
    int detectMode{};      // in force since the load
    int detectModeNext{};  // chosen in the settings, in force after the next start
    int moldSide{};        // modes 1, 2: 0 left, 1 right, 2 or 3 both
    int preCutTime{};
    int isWDR{};
    int enableBlackArea{};
    int enableWhiteArea{};
    int enableWhiteNum{};
    int enableBlackNum{};
    int enableSimilarity{};
    int rotateAngle{};
    int spareToken{};  // every reserved token is read into and written from this one value
    char password[params::kTextFieldBytes]{};  // Latin-1, NUL-terminated
    int spare203{};
    int detectNum{};
    int outputOwner[params::kStepCount]{};   // IO row driving step j, -1 none
    int detectTrigIn[params::kStepCount]{};  // index into TriginNo per IO row
    int detectCutMode[params::kStepCount]{};
    int outputOwnerActive[params::kStepCount]{};  // derived: owners in force until the next start
    int inputFunc[params::kStepCount]{};          // index into gInName
    int outputFunc[params::kStepCount]{};         // index into gOutName
    int detectStepNum{};                          // derived
    int sequentialDetect{};
    int sysUsage{};
    int spare271[params::kSpareArrayCount]{};
    int spare287[params::kSpareArrayCount]{};
    int isHMirror[params::kCameraCount]{};
    int isVMirror[params::kCameraCount]{};
    QString curGroupName;
    QDir groupDir;
    int curGroupIndex{};  // -1 none; the load reads it from sysadd.txt
    int spare325{};
    // Service code of the advanced login, stored in its own row "serviceCode".
    char serviceCode[params::kTextFieldBytes]{};

    // Derived by the load: the side the main window's curSide takes (kSideLeft, kSideRight),
    // or kKeepSide to leave it as it is.
    int startSide = params::kKeepSide;

    // --- store (the database defaults to the main window's connection "dbIn") ---

    // Reads sysadd.txt and the group name, every sysparam row, then applies the load checks
    // and derives the layout, gDNum, gLan and gaName. False when the table could not be read
    // (the record then holds its previous values, checked and derived as usual).
    bool LoadDatafromFile(QSqlDatabase db = paramDatabase());
    // The record part of the load alone, the layout derived: the stored language and the
    // number of steps per cycle are given back for the caller to put in force, or not.
    bool readStored(QSqlDatabase db, int* language, int* steps);
    // Writes every stored field in one transaction; false (and nothing changed) on failure.
    bool SaveDatatoFile(QSqlDatabase db = paramDatabase()) const;
    // Inserts the row with the value "0" when it is missing; false on a database failure.
    bool SaveChkDBItem(const QString& name, QSqlDatabase db = paramDatabase());

    // --- parameter group ---
    QString getCurGroupName() const { return curGroupName; }
    void updateGroupName();
    // Stores curGroupIndex in sysadd.txt and recomputes the group name; false when the file
    // cannot be written.
    bool SaveAddFile();
    // Makes the named group the current one (curGroupIndex, sysadd.txt, curGroupName); an
    // unknown name selects no group.
    bool selectGroup(const QString& name);

    // --- helpers for the settings screens and the password box ---
    QString passwordText() const;
    // False (and nothing changed) for more than 99 characters or a character outside Latin-1.
    bool setPassword(const QString& text);
    QString serviceCodeText() const;
    // As setPassword; an empty code is refused too.
    bool setServiceCode(const QString& text);
    // Delay of detection step k in tenths of a second; a negative value counts as 0, a step
    // outside 0..7 has none.
    int stepDelay(int step) const;

    static QSqlDatabase paramDatabase() {
        return QSqlDatabase::database(QLatin1String(params::kParamConnectionName), false);
    }
};
