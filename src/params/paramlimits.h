#pragma once
// Sizes, limits and file names of the system parameters and the parameter groups.

namespace params {

constexpr int kCameraCount = 8;       // cameras with their own image settings
constexpr int kStepCount = 8;         // detection steps / IO rows of the multi-detection layout
constexpr int kLineCount = 9;         // input and output lines of the IO board
constexpr int kSpareArrayCount = 16;  // reserved value arrays (only 8 entries are stored)
constexpr int kTextFieldBytes = 100;  // text fields: 99 Latin-1 characters and the NUL
constexpr int kMaxTextLength = kTextFieldBytes - 1;
constexpr int kInputFunctionCount = 16;   // entries of gInName per language
constexpr int kOutputFunctionCount = 14;  // entries of gOutName per language
constexpr int kTriggerSlotCount = 8;      // entries of TriginNo
constexpr int kNameFileLines = 8;         // lines of name.txt that are used
constexpr int kWideRowTokens = 20;        // tokens of the rows system7 .. system14
constexpr int kLanguageLast = 3;          // languages 0..3
// The language of the factory parameters (simplified Chinese): also the one the program speaks
// before it has read its parameters.
constexpr int kFactoryLanguage = 0;

// Detection modes (system functions).
constexpr int kModeStandard = 0;
constexpr int kModeTwoColor = 1;
constexpr int kModeTurntable = 2;
constexpr int kModeMultiDetect = 3;

// Trigger line values besides an input bit.
constexpr int kLineBothMoulds = 255;  // modes 1 and 2: either side's input
constexpr int kLineNone = -1;

// Output owner of a step without an IO row.
constexpr int kNoOwner = -1;

// Side of the two-mould modes as the main window keeps it.
constexpr int kSideRight = 0;
constexpr int kSideLeft = 1;
constexpr int kKeepSide = -1;  // the load leaves the main window's side as it is

// Position correction switch.
constexpr int kMotionCorrectOn = 0;
constexpr int kMotionCorrectOff = -1;

// Service code of the advanced login in a new parameter database.
constexpr const char* kFactoryServiceCode = "888888";

// Files and folders, relative to the working folder.
constexpr const char* kParamDatabaseFile = "PARAM.db";
constexpr const char* kParamConnectionName = "dbIn";
constexpr const char* kParamTable = "sysparam";
constexpr const char* kGroupIndexFile = "sysadd.txt";
constexpr const char* kNameFile = "name.txt";
constexpr const char* kGroupFolder = "paraGroup";
constexpr const char* kDefaultGroupName = "default";
constexpr int kNoGroup = -1;

}  // namespace params
