#pragma once
// Fixed values of the demonstration set-up of a working folder.

namespace workdirdemo {

// The virtual screen the run command gives the program; the regions are laid out for it
// when no display is named and none can be asked.
constexpr int kDefaultDisplayWidth = 1920;
constexpr int kDefaultDisplayHeight = 1080;
// Largest display side accepted from the command line.
constexpr int kMaxDisplaySide = 16384;

// Input terminal 1 (bit 0 of the input word): the mould-open signal.
constexpr int kMouldOpenInput = 0;

// Each camera gets two defect areas, the upper and the lower half of its picture inside a
// margin (per mille of the picture's width, and of its height above and below), so that an NG
// shows which half changed while the other stays green.
constexpr int kMarginPerMille = 50;
// Above the upper area a little more: its label is drawn above the area and would otherwise
// stand on the view's status line.
constexpr int kTopMarginPerMille = 80;
// Below the lower area more still: the window's mode and version labels and its magnifier lie
// over the bottom of a single view, and an area's outline would run through them.
constexpr int kBottomMarginPerMille = 120;
constexpr int kRegionsPerStep = 2;

// Parameters of the defect areas (shown on the editing page; the inspection itself uses the
// system's filter size and alarm area unless every area parameter is shown).
constexpr int kDefectSensitivity = 25;
constexpr int kDefectAlarmArea = 100;
constexpr int kDefectFilterSize = 3;

// Reference picture of every camera: the first of its pictures, a clean open mould.
constexpr int kReferencePicture = 0;

}  // namespace workdirdemo
