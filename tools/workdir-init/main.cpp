// Lays out a working folder as a panel has it after installation: the factory parameter group
// and the parameter and record databases made from the defaults. Existing files are kept.
// Usage: mouldmon-workdir-init [folder]
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>

#include "operationlog.h"
#include "wizardparastore.h"

namespace {
bool copyIfMissing(const QString& from, const QString& to) {
    return QFile::exists(to) || QFile::copy(from, to);
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString folder = app.arguments().value(1, QStringLiteral("."));
    if (!QDir().mkpath(folder) || !QDir::setCurrent(folder)) {
        std::fprintf(stderr, "cannot use the folder %s\n", qPrintable(folder));
        return 1;
    }
    QDir().mkpath(QStringLiteral("paraGroup/default"));
    const QString defaults = QStringLiteral("paraGroup/default/PARAM.db");
    bool ok = QFile::exists(defaults) || WizardParaStore::createDefaultDatabase(defaults);
    ok = ok && copyIfMissing(defaults, QStringLiteral("PARAM.db"));
    const QString recordTemplate = QLatin1String(OperationLog::kTemplateFile);
    ok = ok && (QFile::exists(recordTemplate) || OperationLog::createEmptyDatabase(recordTemplate));
    ok = ok && copyIfMissing(recordTemplate, QLatin1String(OperationLog::kDatabaseFile));
    if (!ok) {
        std::fprintf(stderr, "cannot lay out the working folder %s\n", qPrintable(folder));
        return 1;
    }
    return 0;
}
