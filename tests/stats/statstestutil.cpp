#include "statstestutil.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include "globals.h"
#include "statisticsjson.h"

namespace statstest {

QDateTime at(int year, int month, int day, int hour, int minute, int second) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

void setNow(const QDateTime& when) {
    testsupport::recorder().setNow(when);
}

QString storedText(const QString& file) {
    QString text;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "statstest");
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec("select value1 from resstatistics where name='statisticsjson'") &&
                query.next())
                text = query.value(0).toString();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase("statstest");
    return text;
}

QJsonObject storedDay(const QString& file) {
    return stats::documentFromText(storedText(file));
}

void overwriteStoredText(const QString& file, const QString& text) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "statstest");
        db.setDatabaseName(file);
        EXPECT_TRUE(db.open());
        QSqlQuery query(db);
        query.prepare("update resstatistics set value1 = :v where name='statisticsjson'");
        query.bindValue(":v", text);
        EXPECT_TRUE(query.exec());
        db.close();
    }
    QSqlDatabase::removeDatabase("statstest");
}

QStringList archiveNames() {
    return QDir(QStringLiteral("ResStatistics"))
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
}

namespace {
QMutex g_warningMutex;
QStringList g_warnings;
QtMessageHandler g_previousHandler = nullptr;

void captureWarning(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg) {
        QMutexLocker lock(&g_warningMutex);
        g_warnings.append(text);
    }
    if (g_previousHandler) g_previousHandler(type, context, text);
}
}  // namespace

WarningCapture::WarningCapture() {
    QMutexLocker lock(&g_warningMutex);
    g_warnings.clear();
    g_previousHandler = qInstallMessageHandler(captureWarning);
}

WarningCapture::~WarningCapture() {
    qInstallMessageHandler(g_previousHandler);
}

QStringList WarningCapture::messages() const {
    QMutexLocker lock(&g_warningMutex);
    return g_warnings;
}

bool WarningCapture::contains(const QString& part) const {
    for (const QString& message : messages())
        if (message.contains(part)) return true;
    return false;
}

StoreWatcher::StoreWatcher(ResStatisticsParam& model) {
    connect(model.store(), &ResStatisticsDatabase::sigSaveFinished, this,
            [this](bool stored) { saves.append(stored); });
    connect(model.store(), &ResStatisticsDatabase::sigDayArchived, this,
            [this](const QString& path) { archived.append(QFileInfo(path).fileName()); });
}

void StatsTest::SetUp() {
    savedCameras_ = numCamera;
    savedStages_ = gDNum;
    useCounts(2, 3);
    work = std::make_unique<testsupport::WorkDir>();
    setNow(at(2024, 5, 1, 9, 0));
    host.detectMode = [this] { return detectMode; };
    host.currentGroupName = [this] { return groupName; };
    host.useStatistics = [this] { return useStatistics; };
    host.showWarning = [this](const QString& text) { warnings.append(text); };
    testsupport::recorder().clear();
}

void StatsTest::TearDown() {
    dropModel();
    work.reset();
    numCamera = savedCameras_;
    gDNum = savedStages_;
    testsupport::recorder().setNow(QDateTime());
}

void StatsTest::useCounts(int cameras, int stages) {
    numCamera = cameras;
    gDNum = stages;
}

void StatsTest::freshWorkDir() {
    dropModel();
    work.reset();  // restores the folder before the next one is entered
    work = std::make_unique<testsupport::WorkDir>();
}

ResStatisticsParam& StatsTest::makeModel(int mode) {
    detectMode = mode;
    dropModel();
    // Never let a model write outside the test's own folder.
    EXPECT_EQ(QDir::currentPath(), QDir(work->path()).canonicalPath());
    model = std::make_unique<ResStatisticsParam>(host);
    watcher = std::make_unique<StoreWatcher>(*model);
    return *model;
}

void StatsTest::dropModel() {
    watcher.reset();
    model.reset();
}

bool StatsTest::checkDateAndWait() {
    const int before = watcher->saves.size();
    model->checkDate();
    EXPECT_TRUE(testsupport::waitFor([&] { return watcher->saves.size() > before; }));
    // The archive report (if any) is emitted before the save answer; let it arrive too.
    QCoreApplication::processEvents();
    return watcher->saves.isEmpty() ? false : watcher->saves.last();
}

}  // namespace statstest
