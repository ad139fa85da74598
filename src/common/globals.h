#pragma once
// Process-wide globals shared by the subsystems. They live for the whole process; pointers
// are created by the start-up sequence or the main window and never freed before exit.

#include <QString>
#include <QtGlobal>

class QMutex;
class QPixmap;
class DeRaRazovi;
class WizardPara;
class ControlPort;
class SplashFrame;
class WarnBox;
class ChooseBox;
class PasswordBox;
class NumberInput;
class NumCharInput;
class LostCameraWarnBox;
class ProductAlarmWarnBox;
class ResStatisticsParam;
class SaveFialImageThread;

constexpr int kMaxCameras = 8;
constexpr int kMaxDetections = 8;
constexpr int kLanguageCount = 4;
constexpr int kLanguageTableSize = 8192;

// Program version, logged at start and written to the version file.
extern const char* const kProgramVersion;

extern QString linux_kernel_proc_version;
extern int gfLED;
extern SplashFrame* g_splashframe;
extern DeRaRazovi* gpWin;

// Language table: entry * 4 + language (0 simplified Chinese, 1 English, 2 traditional
// Chinese, 3 Japanese).
extern QString gaLanStr[kLanguageTableSize];
extern int gLan;
// The text of an entry in the current language.
QString lan(int entry);
// The current language's cell of a text of our own that the table does not have, given in the
// table's order of languages.
QString lanOwn(const char* const (&texts)[kLanguageCount]);

extern QMutex* pMutexIO;
extern QMutex* pMutexSaveFail;

extern int gisCOM;
extern int gIOID;
extern quint32 gDataIn;
extern quint32 gDataOut;
extern quint32 gFTemp[16];

extern int numCamera;
extern int gDNum;
// Production counters, as the result decision advances them. Some descriptions of the remote
// services name them the other way round; each service picks the counter by the meaning its
// field or register states, not by the name.
extern int gAllNum[kMaxCameras];        // per camera, judged steps (each kind once a cycle)
extern int gFailNum[kMaxCameras];       // per camera, failed steps
extern int gAllCycleNum[kMaxCameras];   // per camera, judged cycles
extern int gFailCycleNum[kMaxCameras];  // per camera, cycles in which some step failed
extern int gSyncNGNum;                  // steps in which any camera failed
extern int gSyncNGCycleNum;             // cycles in which any camera failed
// Resets of gAllCycleNum and gFailCycleNum so far: a cycle counted before the last one is no
// longer in them.
extern quint32 gCycleCountResets;
// Each camera's cycles and failed cycles start again at 0 (a line controller's reset); the other
// counters, gSyncNGCycleNum among them, are kept.
void resetCycleCounters();

extern void* gpFailImage[128];
extern int gFailIndex[64];
extern bool gisSaveFail[128];
extern int gPicNumOK;
extern int gPicNumNG;
extern int gTempNum;
extern QString gTempTime;
extern int gShowW;
extern int gShowH;
extern int gisColor;
extern int gisGrayHue;
extern int gSource;
extern int gFromTrain;
extern int gDrawHint;
extern int gHelpC;
extern bool gisSafeDoorOpen;
extern bool gisTempAlarm;
extern int gisRunWTD;

// Display names of the IO terminals: 0..8 input terminals 1..9, 9..17 output terminals 1..9.
// Filled by the parameter load (from "name.txt" or by the detection mode).
constexpr int kIONameCount = 18;
extern QString gaName[kIONameCount];

extern const int OutputNo[8];
extern const int TriginNo[8];
// Names of the 14 output and 16 input functions: function * 4 + language.
extern const char* const gOutName[14 * 4];
extern const char* const gInName[16 * 4];

extern WizardPara* gpWPara;
extern WizardPara* gpWParaBak;
extern ControlPort* gpControlIO;
extern WarnBox* gpWarnBox;
extern ChooseBox* gpChooseBox;
extern PasswordBox* gpPasswordBox;
extern NumberInput* gpNumPad;
extern NumCharInput* gpNumCharPad;
extern LostCameraWarnBox* gpLostCameraWarnBox;
extern ProductAlarmWarnBox* gpProductAlarmWarnBox;
extern ResStatisticsParam* gpResStatisticsParam;
extern SaveFialImageThread* gpSaveFialImageThread;

// Shared pixmaps (null pixmaps when their files are missing).
extern QPixmap* gpPixmapLogo;
extern QPixmap* gpPixmapBG;
extern QPixmap* gpPixmapTitle;
extern QPixmap* gpPixmapLine;
extern QPixmap* gpPixmapEdit;
extern QPixmap* gpPixmapSlideru;
extern QPixmap* gpPixmapSliderd;
extern QPixmap* gpPixmapSlidert;
extern QPixmap* gpPixmapButton[2];
extern QPixmap* gpPixmapOUT[2];
extern QPixmap* gpPixmapMove[7];
