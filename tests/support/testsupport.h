#pragma once
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QString>
#include <QTemporaryDir>
#include <functional>

#include "recordingsystemactions.h"

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

// Processes events until the condition holds or the time-out passes; returns the condition.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000);

// Root of the source tree (for shipped data such as pictures).
QString sourceDir();

}  // namespace testsupport
