#pragma once
// Access to the shared fail-image slots (gpFailImage, gisSaveFail, gFailIndex) from the camera
// views. Every function holds pMutexSaveFail only for its flag reads and one copy; pictures are
// rendered and annotated outside the lock on a private image.
//
// A slot is (camera x 8 + step) x 2 + kind (kind 0 NG picture, 1 OK picture) and holds the
// 32-bit RGB picture of one frame of its camera; the main window allocates it with the
// camera's pixel count x 4 bytes. Pictures handed in here must have that camera's frame size.

#include <QImage>
#include <QSize>

#include "failpicture.h"

namespace failimage {

// Slot index, or -1 when camera, step or kind is out of range.
int slotIndex(int camera, int step, int kind);
// Index into gFailIndex, or -1 when out of range.
int stepIndex(int camera, int step);

// Copies a 32-bit RGB picture into its slot and, when firstFailedArea >= 0 and nothing is
// pending for the step yet, records firstFailedArea + 1 as the step's number. False (and
// nothing changed) for a slot out of range, an unallocated slot or a missing mutex.
bool storePicture(int camera, int step, int kind, const QImage& picture, int firstFailedArea);

// A copy of the slot as a 32-bit RGB picture of the given frame size; null when the slot
// cannot be read.
QImage loadPicture(int camera, int step, int kind, QSize frameSize);

// Renders the frame with its annotations and stores it (the view's SaveFailImage).
bool saveFailPicture(int camera, int step, int kind, const FrameView& frame,
                     const FailPictureSpec& spec);

// Writes the alarm-handling text of *state onto the stored picture and advances *state
// (the view's UpdateFailImage). A state that draws nothing leaves the slot and the state as
// they were. The state advances even when the slot cannot be read (false, with a warning).
bool updateFailPicture(int camera, int step, int kind, QSize frameSize, int* state);

}  // namespace failimage
