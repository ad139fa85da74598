#include "cameratestsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSqlDatabase>
#include <QSqlQuery>

#include "globals.h"
#include "languagetable.h"
#include "warnbox.h"

namespace cameratest {

QString makeProgramFolder(const QString& base, const QStringList& pluginFiles) {
    const QString pluginDir = base + QStringLiteral("/Plugins/Cameras");
    QDir().mkpath(pluginDir);
    for (const QString& spec : pluginFiles) {
        const QStringList parts = spec.split(QLatin1Char('='));
        const QString source = parts.at(0);
        const QString target = parts.size() > 1 ? parts.at(1) : QFileInfo(source).fileName();
        EXPECT_TRUE(QFile::copy(source, pluginDir + QLatin1Char('/') + target))
            << qPrintable(source);
    }
    return base;
}

ScopedEnv::ScopedEnv(const char* name, const QByteArray& value)
    : name_(name), previous_(qgetenv(name)), hadValue_(qEnvironmentVariableIsSet(name)) {
    if (value.isNull())
        qunsetenv(name);
    else
        qputenv(name, value);
}

ScopedEnv::~ScopedEnv() {
    if (hadValue_)
        qputenv(name_, previous_);
    else
        qunsetenv(name_);
}

namespace {
QMutex logMutex;
QStringList logLines;
QtMessageHandler previousHandler = nullptr;

void collect(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    {
        QMutexLocker lock(&logMutex);
        logLines.append(message);
    }
    if (previousHandler) previousHandler(type, context, message);
}
}  // namespace

LogCapture::LogCapture() {
    QMutexLocker lock(&logMutex);
    logLines.clear();
    previousHandler = qInstallMessageHandler(collect);
}

LogCapture::~LogCapture() {
    qInstallMessageHandler(previousHandler);
    previousHandler = nullptr;
}

QStringList LogCapture::lines() const {
    QMutexLocker lock(&logMutex);
    return logLines;
}

bool LogCapture::contains(const QString& text) const {
    for (const QString& line : lines())
        if (line.contains(text)) return true;
    return false;
}

QString storedSerial(const QString& file, int slot) {
    QString value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "peek");
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery query(db);
            query.prepare(QStringLiteral("select value from sysparam where name = ?"));
            query.addBindValue(QStringLiteral("serialNB%1").arg(slot));
            if (query.exec() && query.next()) value = query.value(0).toString();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("peek"));
    return value;
}

void ManagerTest::SetUp() {
    fillLanguageTable();
    gLan = 1;
    gShowW = 1280;
    gShowH = 720;
    if (!gpWarnBox) gpWarnBox = new WarnBox(nullptr);
    testsupport::recorder().clear();
}

void ManagerTest::TearDown() {
    testsupport::recorder().clear();
}

std::unique_ptr<CameraManager> ManagerTest::newManager() {
    auto manager = std::make_unique<CameraManager>();
    manager->setRecordSink([this](QString text) { records.append(text); });
    return manager;
}

}  // namespace cameratest
