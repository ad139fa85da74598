#include "globals.h"

#include <QPixmap>
#include <algorithm>

const char* const kProgramVersion = "18.12.1.45";

QString linux_kernel_proc_version;
int gfLED = -1;
SplashFrame* g_splashframe = nullptr;
DeRaRazovi* gpWin = nullptr;

QString gaLanStr[kLanguageTableSize];
int gLan = 0;

QString lan(int entry) {
    const int index = entry * kLanguageCount + gLan;
    if (entry < 0 || gLan < 0 || gLan >= kLanguageCount || index >= kLanguageTableSize)
        return QString();
    return gaLanStr[index];
}

QString lanOwn(const char* const (&texts)[kLanguageCount]) {
    return QString::fromUtf8(texts[qBound(0, gLan, kLanguageCount - 1)]);
}

QMutex* pMutexIO = nullptr;
QMutex* pMutexSaveFail = nullptr;

int gisCOM = 0;
int gIOID = 0;
quint32 gDataIn = 0;
quint32 gDataOut = 0;
quint32 gFTemp[16] = {};

int numCamera = 0;
int gDNum = 0;
int gAllNum[kMaxCameras] = {};
int gFailNum[kMaxCameras] = {};
int gAllCycleNum[kMaxCameras] = {};
int gFailCycleNum[kMaxCameras] = {};
int gSyncNGNum = 0;
int gSyncNGCycleNum = 0;
quint32 gCycleCountResets = 0;

void resetCycleCounters() {
    std::fill(gAllCycleNum, gAllCycleNum + kMaxCameras, 0);
    std::fill(gFailCycleNum, gFailCycleNum + kMaxCameras, 0);
    ++gCycleCountResets;
}

void* gpFailImage[128] = {};
int gFailIndex[64] = {};
bool gisSaveFail[128] = {};
int gPicNumOK = 0;
int gPicNumNG = 0;
int gTempNum = 0;
QString gTempTime;
int gShowW = 0;
int gShowH = 0;
int gisColor = 0;
int gisGrayHue = 0;
int gSource = -1;
int gFromTrain = 0;
int gDrawHint = 0;
int gHelpC = 0;
bool gisSafeDoorOpen = false;
bool gisTempAlarm = false;
int gisRunWTD = 0;

QString gaName[kIONameCount];

const int OutputNo[8] = {2, 4, 5, 6, 7, 8, 9, 1};
const int TriginNo[8] = {1, 3, 4, 5, 6, 7, 8, 9};

// The Japanese column repeats the English text.
const char* const gOutName[14 * 4] = {
    "允许合模", "Al clam",   "允許合模", "Al clam",   "允许顶针", "Al thim", "允許頂針", "Al thim",
    "中子A进",  "Neu A I",   "中子A進",  "Neu A I",   "中子A退",  "Neu A O", "中子A退",  "Neu A O",
    "中子B进",  "Neu B I",   "中子B進",  "Neu B I",   "中子B退",  "Neu B O", "中子B退",  "Neu B O",
    "中子C进",  "Neu C I",   "中子C進",  "Neu C I",   "中子C退",  "Neu C O", "中子C退",  "Neu C O",
    "允许绞牙", "Al thread", "允許絞牙", "Al thread", "允许旋转", "Rot",     "允許旋轉", "Rot",
    "允许左移", "L shift",   "允許左移", "L shift",   "允许右移", "R shift", "允許右移", "R shift",
    "允许移模", "Mov mol",   "允許移模", "Mov mol",   "机手动作", "Mac mov", "機手動作", "Mac mov",
};

const char* const gInName[16 * 4] = {
    "开模到位",  "Mol op",   "開模到位", "Mol op",   "安全门关", "clo door",  "安全門關",
    "clo door",  "安全门开", "op door",  "安全門開", "op door",  "顶针退",    "Thim O",
    "頂針退",    "Thim O",   "顶针进",   "Thim I",   "頂針進",   "Thim I",    "开模阀",
    "Mol val",   "開模閥",   "Mol val",  "机械手",   "Manip",    "機械手",    "Manip",
    "复位键",    "Res but",  "復位鍵",   "Res but",  "滑块退",   "Slid back", "滑塊退",
    "Slid back", "机手上行", "Mac up",   "機手上行", "Mac up",   "中子A进",   "Neu A I",
    "中子A進",   "Neu A I",  "中子A退",  "Neu A O",  "中子A退",  "Neu A O",   "中子B进",
    "Neu B I",   "中子B進",  "Neu B I",  "中子B退",  "Neu B O",  "中子B退",   "Neu B O",
    "中子C进",   "Neu C I",  "中子C進",  "Neu C I",  "中子C退",  "Neu C O",   "中子C退",
    "Neu C O",
};

WizardPara* gpWPara = nullptr;
WizardPara* gpWParaBak = nullptr;
ControlPort* gpControlIO = nullptr;
WarnBox* gpWarnBox = nullptr;
ChooseBox* gpChooseBox = nullptr;
PasswordBox* gpPasswordBox = nullptr;
NumberInput* gpNumPad = nullptr;
NumCharInput* gpNumCharPad = nullptr;
LostCameraWarnBox* gpLostCameraWarnBox = nullptr;
ProductAlarmWarnBox* gpProductAlarmWarnBox = nullptr;
ResStatisticsParam* gpResStatisticsParam = nullptr;
SaveFialImageThread* gpSaveFialImageThread = nullptr;

QPixmap* gpPixmapLogo = nullptr;
QPixmap* gpPixmapBG = nullptr;
QPixmap* gpPixmapTitle = nullptr;
QPixmap* gpPixmapLine = nullptr;
QPixmap* gpPixmapEdit = nullptr;
QPixmap* gpPixmapSlideru = nullptr;
QPixmap* gpPixmapSliderd = nullptr;
QPixmap* gpPixmapSlidert = nullptr;
QPixmap* gpPixmapButton[2] = {};
QPixmap* gpPixmapOUT[2] = {};
QPixmap* gpPixmapMove[7] = {};
