#pragma once
// Names and limits of the log files.

namespace logsettings {

// Folder that holds the log folders, relative to the working directory.
constexpr const char* kDefaultWorkspace = "./cnt_net/workspace/";
// glog's files, and files written by outside programs that are only trimmed here.
constexpr const char* kLogFolder = "log/";
constexpr const char* kStdoutFolder = "log_stdout/";

// Old logs kept from previous runs, and files kept in the stdout folder.
constexpr int kMaxOldLogs = 50;
constexpr int kMaxStdoutFiles = 50;
// Size at which glog starts a new file, in MB.
constexpr int kMaxLogFileMb = 200;

constexpr const char* kLogExtension = ".log";
constexpr const char* kInfoPrefix = "LOG_";
constexpr const char* kWarningPrefix = "WARNING_";
constexpr const char* kErrorPrefix = "ERROR_";
constexpr const char* kFatalPrefix = "FATAL_";

// Text put in front of warnings in the INFO log, and the file name of a message without one.
constexpr const char* kWarningTag = "---warning---";
constexpr const char* kUnknownSource = "unknow";

// Where critical, fatal and crash-report records are located in the log.
constexpr const char* kLoggerSource = "logmanager.cpp";
constexpr int kCriticalLine = 241;
constexpr int kFatalLine = 245;
constexpr int kCrashReportLine = 24;

}  // namespace logsettings
