#pragma once
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <ostream>

#include "eventwait.h"
#include "recordingsystemactions.h"

class QLabel;

namespace testsupport {

// The recording seam installed by the test main.
sys::RecordingSystemActions& recorder();

// A fresh temporary folder that is the working directory for the life of the object (the
// program keeps its files relative to the working directory).
class WorkDir {
public:
    WorkDir();
    ~WorkDir();
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
    QString previous_;
};

// Root of the source tree (for shipped data such as pictures).
QString sourceDir();

// Leaves a database file as a power cut in the middle of a transaction leaves it: the
// statements of `interrupted` ran in a transaction that never ended, some of its pages reached
// the file, and the hot journal that undoes them lies beside it.
void leaveInterruptedWrite(const QString& path, const QStringList& interrupted);

// Collects the messages of one type (from any thread) logged while it lives.
class MessageCatcher {
public:
    explicit MessageCatcher(QtMsgType type = QtWarningMsg);
    ~MessageCatcher();
    MessageCatcher(const MessageCatcher&) = delete;
    MessageCatcher& operator=(const MessageCatcher&) = delete;
    QStringList messages() const;
    // Messages containing the text.
    int count(const QString& text) const;

private:
    QtMessageHandler previous_ = nullptr;
};

// Whether a program is on the PATH.
bool available(const QString& program);
// Runs a program (a client we did not write) while this thread keeps handling events, so that
// services on it answer; returns its standard output. exitCode: its exit code, -1 when it did
// not end within the time-out (it is killed) or crashed; a failure is added to the test.
QByteArray runClient(const QString& program, const QStringList& args, int* exitCode,
                     int timeoutMs = 10000);

// The lines a label draws its text in, as its own wrapping breaks them: pieces of the text, each
// with the spaces or the line feed it ends with, that make up the whole text again.
QStringList labelLines(const QLabel& label);

}  // namespace testsupport

// Test failures show QStrings (and lists of them) as their text.
void PrintTo(const QString& text, std::ostream* os);
