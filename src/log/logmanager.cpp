#include "logmanager.h"

#include <glog/logging.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <string>

#include "logfolder.h"

LogManager* LogManager::__instance = nullptr;

namespace {

QString withSlash(QString path) {
    if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
    return path;
}

// The caller's file name without its folders.
QByteArray sourceFileName(const char* file) {
    if (!file || !*file) return QByteArray(logsettings::kUnknownSource);
    const QByteArray path(file);
    return path.mid(path.lastIndexOf('/') + 1);
}

// glog keeps the pointer it is started with for the life of the process.
const char* programPath() {
    static const QByteArray path = QCoreApplication::instance()
                                       ? QCoreApplication::applicationFilePath().toLatin1()
                                       : QByteArray("mouldmon");
    return path.constData();
}

}  // namespace

LogManager* LogManager::getInstance() {
    if (!__instance) __instance = new LogManager(nullptr);
    return __instance;
}

LogManager::LogManager(QObject* parent, const QString& workspace)
    : QObject(parent),
      logDir_(withSlash(workspace) + QLatin1String(logsettings::kLogFolder)),
      stdoutDir_(withSlash(workspace) + QLatin1String(logsettings::kStdoutFolder)) {
    QDir().mkpath(logDir_);
    QDir().mkpath(stdoutDir_);
    clearup_cachelogfile();
    logfiles::trimFolder(stdoutDir_, logsettings::kMaxStdoutFiles);
    qInstallMessageHandler(&LogManager::outputMessage);
    startGlog();
}

void LogManager::startGlog() {
    if (!google::IsGoogleLoggingInitialized()) google::InitGoogleLogging(programPath());

    FLAGS_log_dir = logDir_.toStdString();
    FLAGS_logbufsecs = 0;
    FLAGS_max_log_size = logsettings::kMaxLogFileMb;
    FLAGS_stop_logging_if_full_disk = true;
    FLAGS_logtostderr = false;
    google::SetLogFilenameExtension(logsettings::kLogExtension);
    const struct {
        google::LogSeverity severity;
        const char* prefix;
    } destinations[] = {
        {google::GLOG_INFO, logsettings::kInfoPrefix},
        {google::GLOG_WARNING, logsettings::kWarningPrefix},
        {google::GLOG_ERROR, logsettings::kErrorPrefix},
        {google::GLOG_FATAL, logsettings::kFatalPrefix},
    };
    for (const auto& destination : destinations) {
        const std::string base = (logDir_ + QLatin1String(destination.prefix)).toStdString();
        google::SetLogDestination(destination.severity, base.c_str());
    }

    google::InstallFailureSignalHandler();
    google::InstallFailureWriter(&SignalHandle);
}

void LogManager::clearup_cachelogfile() {
    logfiles::tidyLogFolder(logDir_);
}

void LogManager::outputMessage(QtMsgType type, const QMessageLogContext& context,
                               const QString& message) {
    const QByteArray text = message.toUtf8();
    switch (type) {
        case QtDebugMsg:
            return;
        case QtInfoMsg: {
            const QByteArray file = sourceFileName(context.file);
            google::LogMessage(file.constData(), context.line, google::GLOG_INFO)
                .stream()
                .write(text.constData(), text.size());
            return;
        }
        case QtWarningMsg: {
            const QByteArray file = sourceFileName(context.file);
            google::LogMessage(file.constData(), context.line, google::GLOG_INFO).stream()
                << logsettings::kWarningTag << std::string(text.constData(), text.size());
            return;
        }
        case QtCriticalMsg:
            google::LogMessage(logsettings::kLoggerSource, logsettings::kCriticalLine,
                               google::GLOG_ERROR)
                    .stream()
                << '\t' << std::string(text.constData(), text.size());
            return;
        case QtFatalMsg:
            google::LogMessage(logsettings::kLoggerSource, logsettings::kFatalLine,
                               google::GLOG_FATAL)
                    .stream()
                << '\t' << std::string(text.constData(), text.size());
            return;
    }
}

void SignalHandle(const char* data, std::size_t size) {
    google::LogMessage(logsettings::kLoggerSource, logsettings::kCrashReportLine,
                       google::GLOG_ERROR)
        .stream()
        .write(data, static_cast<std::streamsize>(size));
    google::FlushLogFiles(google::GLOG_ERROR);
}
