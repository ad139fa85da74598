#include "systemcommands.h"

#include <QtDebug>

#include "globals.h"
#include "systemactions.h"

namespace settings {

namespace {

constexpr int kEntryShutDown = 209;
constexpr int kEntryExit = 210;
constexpr int kEntryAskPowerOff = 291;
constexpr int kEntryPowerOffRecord = 292;
constexpr int kEntryAskRestart = 293;
constexpr int kEntryAskExit = 294;
constexpr int kEntryExitRecord = 295;

// The language table names no restart button, no restart record and no refused command; these
// follow the wording of its neighbouring entries (293, 292) in every language.
const char* const kRestartLabel[kLanguageCount] = {"重启", "Restart", "重新啟動", "再起動"};
const char* const kRestartRecord[kLanguageCount] = {
    "手动重启系统", "Restarting the system Manually", "手動重新啟動系統", "手動でシステムを再起動"};
const char* const kRefused[kLanguageCount] = {"系统拒绝执行：%1", "The system refused: %1",
                                              "系統拒絕執行：%1",
                                              "システムが実行を拒否しました：%1"};

QString refusal(const QString& program, const sys::CommandResult& result) {
    QString why = program;
    const QString output = QString::fromLocal8Bit(result.output).trimmed().section('\n', 0, 0);
    if (!result.started)
        why += QStringLiteral(" (not started)");
    else if (!output.isEmpty())
        why += QStringLiteral(" (") + output + QLatin1Char(')');
    else
        why += QStringLiteral(" (%1)").arg(result.exitCode);
    return lanOwn(kRefused).arg(why);
}

}  // namespace

QString stopCommandLabel(StopCommand command) {
    switch (command) {
        case StopCommand::Exit:
            return lan(kEntryExit).trimmed();
        case StopCommand::ShutDown:
            return lan(kEntryShutDown).trimmed();
        case StopCommand::Restart:
            break;
    }
    return lanOwn(kRestartLabel);
}

StopOutcome runStopCommand(SettingsHost& host, StopCommand command, const dialogs::Subject& about) {
    QString question;
    QString record;
    QString program;
    switch (command) {
        case StopCommand::Exit:
            question = lan(kEntryAskExit);
            record = lan(kEntryExitRecord);
            break;
        case StopCommand::ShutDown:
            question = lan(kEntryAskPowerOff);
            record = lan(kEntryPowerOffRecord);
            program = QStringLiteral("poweroff");
            break;
        case StopCommand::Restart:
            question = lan(kEntryAskRestart);
            record = lanOwn(kRestartRecord);
            program = QStringLiteral("reboot");
            break;
    }
    // Gone too: a stop nobody answered must not take the panel down under an NG alarm.
    if (host.ask(question, about) != dialogs::Answer::Yes) return StopOutcome::Declined;
    host.insertRecord(record);
    host.saveStatisticsBeforeStop();
    host.stopWatchdog();
    const bool detectionWasRunning = host.stopDetection();
    if (command != StopCommand::Exit)
        return handOverToSystem(host, program, detectionWasRunning, about);
    for (int c = 0; c < host.cameraCount(); ++c) {
        host.cameraStop(c);
        host.cameraClose(c);
    }
    qInfo() << "leaving the program from the settings screen";
    host.endProgram(0);
    return StopOutcome::Stopped;
}

StopOutcome handOverToSystem(SettingsHost& host, const QString& program, bool detectionWasRunning,
                             const dialogs::Subject& about,
                             const std::function<void()>& stayingUp) {
    // Only now: every record of the stop is in the files the flush completes.
    host.flushAll();
    sys::actions().run(QStringLiteral("sync"), {});
    const sys::CommandResult result = sys::actions().run(program, {});
    if (!result.ok()) {
        // A panel that stays up must not run on with its databases closed and nobody told.
        qCritical().noquote() << program << "was refused by the system, exit code"
                              << result.exitCode << result.output.trimmed();
        host.resumeAfterStop(detectionWasRunning);
        // Whatever the caller puts right comes first: the notice may end unanswered.
        if (stayingUp) stayingUp();
        host.warn(refusal(program, result), about);
        return StopOutcome::Refused;
    }
    if (sys::actions().isReal()) return StopOutcome::Stopped;
    qWarning().noquote() << "the panel does not" << program << "off the panel; the program goes on";
    host.resumeAfterStop(detectionWasRunning);
    if (stayingUp) stayingUp();
    return StopOutcome::Resumed;
}

}  // namespace settings
