#pragma once
// Sizes, counts and file names of camera access, kept in one place.

namespace camera {

// Serial numbers: the stored slots of SN.db and the length a stored serial must have to count.
constexpr int kSerialSlots = 8;
constexpr int kSerialMinLength = 8;
constexpr int kSerialMaxLength = 256;
// The value of an empty slot.
constexpr const char* kEmptySerial = "0";

// The serial-number database, relative to the working folder, and its factory copy.
constexpr const char* kSerialDatabaseFile = "SN.db";
constexpr const char* kSerialDefaultFile = "./paraGroup/default/SN.db";
constexpr const char* kSerialConnectionName = "dbT";
constexpr const char* kSerialTable = "sysparam";
constexpr const char* kSerialRowPrefix = "serialNB";

// Where the plug-ins are: <program folder>/Plugins/Cameras/*.so
constexpr const char* kPluginFolder = "Plugins";
constexpr const char* kCameraPluginFolder = "Cameras";
constexpr const char* kPluginFilePattern = "*.so";

// Language entries of the manager's messages.
constexpr int kEntryParamFileError = 160;
constexpr int kEntryCameraUnavailable = 134;
constexpr int kEntryCameraCountChanged = 360;

}  // namespace camera
