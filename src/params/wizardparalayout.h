#pragma once
// What the load derives from the stored system parameters: the function fallback, the step
// layout of each detection mode (enabled steps, trigger lines, output owners, side) and the
// display names of the IO terminals.

#include <QString>

#include "globals.h"

class WizardPara;

namespace params {

// When no inspection function may be chosen, the defect function is allowed again.
void applyFunctionFallback(WizardPara& para);

// Derives detectStepNum, detectEnable, trigInLine, outputOwnerActive, startSide (and in mode 0
// outputInvert[4..7]) from detectMode and the stored layout; returns the number of detection
// steps per cycle (gDNum). Stored indices that address tables are guarded: an output owner
// outside 0..7 or an IO row whose trigger input is outside the trigger-slot table turns the
// step off.
int deriveLayout(WizardPara& para);

// Stored parameters put in force while the program runs on (a parameter group restored without
// the restart) keep what the start derived from the detection mode in force: the mode itself
// (the stored one waits in detectModeNext, as one chosen on the settings screen does), the
// enabled steps, their trigger lines, owners and side, and in the standard mode the NG
// outputs' idle levels. The steps per cycle, the cameras' prepared steps and the statistics
// were sized from them at the start.
void keepStartLayout(WizardPara& stored, const WizardPara& running);

// The name of input function f / output function f in a language; empty for an index outside
// the tables.
QString inputFunctionName(int function, int language);
QString outputFunctionName(int function, int language);

// Display names: the first 8 lines of the name file when it can be read (only entries 0..7
// are then assigned), otherwise the names of the detection mode in the given language.
void deriveNames(const WizardPara& para, int language, const QString& nameFile,
                 QString (&names)[kIONameCount]);

}  // namespace params
