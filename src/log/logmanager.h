#pragma once
// Routes Qt's messages into glog's files and tidies the log folders at start-up.

#include <QObject>
#include <QString>
#include <cstddef>

#include "logsettings.h"

class QMessageLogContext;

class LogManager : public QObject {
    Q_OBJECT
public:
    // The process's logger; created by the start-up sequence and never destroyed before exit.
    static LogManager* __instance;
    // The logger over the default workspace, created on first use.
    static LogManager* getInstance();

    // Creates the log folders under workspace (which ends with "/"), tidies them, installs the
    // message handler and starts glog with its files there. glog starts once per process; a
    // second logger only points glog's files at its own folder.
    explicit LogManager(QObject* parent = nullptr, const QString& workspace = QString::fromLatin1(
                                                       logsettings::kDefaultWorkspace));

    // Qt message handler: debug is dropped, info and warnings go to the INFO log with the
    // caller's file and line, critical to the ERROR log, fatal to the FATAL log (which ends the
    // process).
    static void outputMessage(QtMsgType type, const QMessageLogContext& context,
                              const QString& message);

    // The start-up tidy of the log folder (see logfiles::tidyLogFolder).
    void clearup_cachelogfile();

    QString logDir() const { return logDir_; }
    QString stdoutDir() const { return stdoutDir_; }

private:
    void startGlog();

    QString logDir_;
    QString stdoutDir_;
};

// glog's failure writer: one chunk of a crash report as an ERROR record, flushed at once.
void SignalHandle(const char* data, std::size_t size);
