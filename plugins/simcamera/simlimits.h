#pragma once
// Names, timing and folders of the simulation camera, kept in one place.

namespace simcamera {

constexpr const char* kPluginName = "SimCamera";
// Serial number of a simulated camera: this prefix and the name of its picture folder.
constexpr const char* kSerialPrefix = "SIMCAM-";
// Folder beside the plug-in file that holds one sub-folder of pictures per camera.
constexpr const char* kPictureFolder = "simcamera";
// Overrides the picture folder.
constexpr const char* kPictureFolderVariable = "MOULDMON_SIM_PICTURES";
// Inside a camera's folder: the pictures served in grey and in colour operation.
constexpr const char* kGreyFolder = "grey";
constexpr const char* kColourFolder = "colour";
constexpr const char* kPicturePattern = "*.png";
// Key of _cameraInfo::properties with the camera's picture folder.
constexpr const char* kFolderProperty = "folder";

// When set (to anything), a camera keeps its picture until a manual trigger: tests that stage
// a scene must not see it move on by itself on a slow machine.
constexpr const char* kHoldPictureVariable = "MOULDMON_SIM_HOLD";

// Names the file of the trigger wire: the count of the machine's mould-open edges, written by
// the IO-board simulator (tools/iosim, --trigger-file). A camera on the external trigger takes
// one picture for every edge counted since it last looked; without the variable only manual
// triggers make its frames.
constexpr const char* kTriggerFileVariable = "MOULDMON_SIM_TRIGGER";

// While a file of this name is in a camera's folder, the camera is unplugged: its next grab
// reports the loss (sigCameraLost) and it answers no grab and no reconnect until the file is
// gone. A person (or a test) loses a camera with `touch` and brings it back with `rm`.
constexpr const char* kUnpluggedFile = "unplugged";

// Free run: a new frame every period, the next picture after this many frames.
constexpr int kFramePeriodMs = 100;
constexpr int kFramesPerPicture = 50;
// At most this many pictures are served per camera (memory bound).
constexpr int kMaxPictures = 64;
// At most this many cameras are listed (the program uses 8).
constexpr int kMaxCameras = 8;

}  // namespace simcamera
