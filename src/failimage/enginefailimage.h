#pragma once
// The fail-image work of a camera view straight from its engine context, which holds the
// frame pipeline, the templates, the ignore-point masks, the live areas and the results of the
// last run. Each function is the whole of the view operation of the same name:
//
//   void CammerWidget::SaveFailImage(int d, int isOK) {
//       failimage::saveFailImage(context, d, isOK, safetyDoorTrig, baseScaleX, baseScaleY);
//   }

#include <vector>

#include "enginecontext.h"

namespace failimage {

// Renders the inspected frame (alignedBuf) of detection `step` with the live areas, their
// results, defect boxes and labels (label settings from the context's settings) into the
// camera's NG (isOK 0) or OK (isOK 1) slot and records the first failed area for the saver.
// safetyDoorTrigger adds the line "Safety door trigger detection". baseScaleX/Y are display
// pixels per frame pixel.
bool saveFailImage(const engine::EngineContext& context, int step, int isOK, bool safetyDoorTrigger,
                   float baseScaleX, float baseScaleY);

// Writes the alarm handling of *state onto the stored picture and moves *state on.
bool updateFailImage(const engine::EngineContext& context, int step, int isOK, int* state);

// Retraining, by the operator's resample or the automatic update: the grabbed frame becomes the
// inspected frame, the shown frame (showBuf, when given and of the frame's size) and, once it is
// saved as "template0.bmp", template 0 of the detection. False when the frame buffers are not
// set up or the file was not written: the old template then stays in force.
bool saveReTrainImage(engine::EngineContext& context, int step, std::vector<uchar>* showBuf);

// Resampling, once template 0 is stored: the new template replaces the detection's whole set, so
// its other template files are removed, and their slots leave the templates in force. Run only
// after the write: a refused resample, or a stop between the two, never leaves fewer templates
// than before. A file the disk keeps stays in force; false then.
bool dropOtherTemplates(engine::EngineContext& context, int step);

// Resampling: the detection's ignore points are cleared once the cleared mask is saved. False
// when the file was refused while there were points: they then stay in force.
bool clearIgnorePoints(engine::EngineContext& context, int step);

// Saves the detection's ignore-point mask as "ignorepoint.bmp".
bool saveIgnorePoint(const engine::EngineContext& context, int step);

}  // namespace failimage
