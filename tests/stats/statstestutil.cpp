#include "statstestutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include "globals.h"
#include "statisticsjson.h"

namespace statstest {

namespace {

template <class Use>
void withDatabase(const QString& file, Use use) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "statstest");
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery query(db);
            use(query);
        } else {
            ADD_FAILURE() << "cannot open " << file.toStdString();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase("statstest");
}

}  // namespace

void execSql(const QString& file, const QStringList& statements) {
    withDatabase(file, [&](QSqlQuery& query) {
        for (const QString& sql : statements) EXPECT_TRUE(query.exec(sql)) << sql.toStdString();
    });
}

QString storedText(const QString& file) {
    QString text;
    withDatabase(file, [&](QSqlQuery& query) {
        if (query.exec("select value1 from resstatistics where name='statisticsjson'") &&
            query.next())
            text = query.value(0).toString();
    });
    return text;
}

QJsonObject storedDay(const QString& file) {
    return stats::documentFromText(storedText(file));
}

void overwriteStoredText(const QString& file, const QString& text) {
    execSql(file, {QStringLiteral("INSERT OR REPLACE INTO resstatistics (name, value1, value2) "
                                  "VALUES ('statisticsjson', '%1', '')")
                       .arg(QString(text).replace("'", "''"))});
}

int storedOk(const QJsonObject& day, int slot) {
    return day["groups"][0]["datas"][0]["data"][0]["OK"][slot].toInt();
}

QString totals(const CountDetect& record) {
    return QStringLiteral("%1/%2").arg(record.all.OK).arg(record.all.NG);
}

QStringList totals(const CountCamera& camera) {
    QStringList all;
    for (const CountDetect& record : camera.detects) all << totals(record);
    return all << totals(camera.summary);
}

QJsonObject readConfig() {
    QFile file("resstatistics.json");
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return QJsonDocument::fromJson(file.readAll()).object();
}

QStringList archiveNames() {
    return QDir(QStringLiteral("ResStatistics"))
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
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
    saves.clear();
    archived.clear();
    QObject::connect(model->store(), &ResStatisticsDatabase::sigSaveFinished, model.get(),
                     [this](bool stored) { saves.append(stored); });
    QObject::connect(model->store(), &ResStatisticsDatabase::sigDayArchived, model.get(),
                     [this](const QString& path) { archived.append(QFileInfo(path).fileName()); });
    return *model;
}

bool StatsTest::checkDateAndWait() {
    const int before = saves.size();
    model->checkDate();
    EXPECT_TRUE(testsupport::waitFor([&] { return saves.size() > before; }));
    // The archive report (if any) is emitted before the save answer; let it arrive too.
    QCoreApplication::processEvents();
    return saves.isEmpty() ? false : saves.last();
}

}  // namespace statstest
