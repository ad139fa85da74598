#include "resstatisticsdatabase.h"

#include <QDebug>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QThread>
#include <QVariant>

#include "globals.h"
#include "resstatisticsparam.h"
#include "sqlitefiles.h"
#include "statisticsarchive.h"
#include "statisticsjson.h"
#include "statisticssqlite.h"
#include "writecause.h"

using namespace stats;

namespace {

const QString kSaveConnectionName = QString::fromLatin1(kSaveConnection);
const QString kLoadConnectionName = QString::fromLatin1(kLoadConnection);

// Older layout: summary rows carry this index as camera or detection number.
constexpr int kOlderSummaryIndex = 8;

QString olderRowQuery(int camera, int detect) {
    return QStringLiteral("select value1 ,value2 from resstatistics where name='C%1_D%2'")
        .arg(camera)
        .arg(detect);
}

// Up to 24 decimal counts separated by white space into the slotCounts, slot 0 first; a token
// that is not a number ends the list (it and every later slot read 0).
void readOlderSlots(const QString& text, QList<int>& slotCounts) {
    while (slotCounts.size() < kHourSlots) slotCounts.append(0);
    const QStringList tokens =
        text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    const int taken = qMin(tokens.size(), kHourSlots);
    for (int k = 0; k < taken; ++k) {
        bool ok = false;
        const int value = tokens.at(k).toInt(&ok);
        if (!ok) {
            for (int rest = k; rest < kHourSlots; ++rest) slotCounts[rest] = 0;
            return;
        }
        slotCounts[k] = value;
    }
}

}  // namespace

ResStatisticsDatabase::ResStatisticsDatabase(ResStatisticsParam* owner, QObject* parent)
    : QObject(parent),
      owner_(owner),
      ownerThread_(owner ? owner->thread() : nullptr),
      archiveDir_(QString::fromLatin1(kDefaultArchiveDir)),
      runningFile_(QString::fromLatin1(kRunningDbFile)),
      templateFile_(QString::fromLatin1(kTemplateDbFile)) {
    // A damaged running database would fail every start: it is kept aside for a look later and
    // the day starts over in a new one.
    const storage::DbCheck check = storage::checkDatabase(runningFile_);
    if (check.state == storage::DbState::Damaged) {
        qCritical() << "statistics:" << runningFile_ << "is damaged:" << check.reason;
        replacedDamaged_ = !storage::moveAside(runningFile_).isEmpty();
    }
    if (!ensureRunningFile()) {
        replacedDamaged_ = false;
    } else {
        ScopedConnection connection(runningFile_, kSaveConnectionName);
        usable_ = connection.isOpen() && ensureStatisticsTable(connection.database());
        if (!connection.isOpen())
            qWarning() << "statistics: cannot open" << runningFile_ << connection.errorText();
    }
    refusedByDisk_ = !usable_ && check.state != storage::DbState::Damaged &&
                     storage::probeWriteCause(runningFile_) != storage::WriteCause::Unknown;
}

bool ResStatisticsDatabase::ensureRunningFile() {
    if (QFileInfo::exists(runningFile_)) return true;
    return createStatisticsFile(runningFile_, templateFile_);
}

bool ResStatisticsDatabase::onOwnerThread() const {
    return ownerThread_ == QThread::currentThread() && owner_;
}

QString ResStatisticsDatabase::removeSuffix(const QString& name) {
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) return name;
    return name.left(dot).split(QLatin1Char('/')).last();
}

// --- loading ---

void ResStatisticsDatabase::loadCountFromJson(const QString& file, QJsonObject& out) {
    // Opening would make an empty file where none is.
    if (!QFileInfo(file).isFile()) return;
    ScopedConnection connection(file, kLoadConnectionName);
    if (!connection.isOpen()) {
        qWarning() << "statistics: cannot open" << file << connection.errorText();
        return;
    }
    QSqlQuery query(connection.database());
    out = loadCountFromJson(query, file);
}

QJsonObject ResStatisticsDatabase::loadCountFromJson(QSqlQuery query, const QString& file) {
    QString text = readDayDocument(query);
    if (text.isEmpty()) text = convertOlderLayout(query, file);
    return documentFromText(text);
}

QString ResStatisticsDatabase::convertOlderLayout(QSqlQuery& query, const QString& file) {
    CountGroup group;
    group.morningStart = kDefaultMorningStart;
    group.nightStart = kDefaultNightStart;
    ResStatisticsParam::initStuCountGroup(group, QString::fromLatin1(kDefaultGroupName));
    loadCount(group, query);

    CountGroupList day;
    const QString name = removeSuffix(file);
    if (name == QLatin1String(kRunningDbBaseName) && onOwnerThread()) {
        day.date = owner_->getCurDBDate();
        group.groupName = owner_->currentGroupName();
    } else {
        day.date = name;
    }
    day.groups.append(group);
    const QJsonObject json = ResStatisticsParam::StuCountToJson(day);
    saveCountFromJson(json, query);

    const QString stored = readDayDocument(query);
    if (stored.isEmpty()) {
        qInfo() << "resstatistics laod statisticsjson fail";
        // The rows stay as they were; show what was read from them.
        return QString::fromUtf8(documentText(json));
    }
    return stored;
}

bool ResStatisticsDatabase::loadCount(CountGroup& group, QSqlQuery& query) {
    const int cameras = qMin(boundedCameraCount(numCamera), group.cameras.size());
    for (int i = 0; i < cameras; ++i) {
        CountCamera camera = group.cameras.at(i);
        loadCountCamera(camera, i, query);
        group.cameras[i] = camera;
    }
    loadCountCamera(group.summary, kOlderSummaryIndex, query);
    group.groupName = QString::fromLatin1(kDefaultGroupName);
    return true;
}

bool ResStatisticsDatabase::loadCountCamera(CountCamera& camera, int cameraIndex, QSqlQuery query) {
    const int stages = qMin(boundedStageCount(gDNum), camera.detects.size());
    for (int d = 0; d < stages; ++d) {
        CountDetect record = camera.detects.at(d);
        if (loadCountDetect(record, olderRowQuery(cameraIndex, d), query))
            camera.detects[d] = record;
    }
    CountDetect summary = camera.summary;
    if (loadCountDetect(summary, olderRowQuery(cameraIndex, kOlderSummaryIndex), query))
        camera.summary = summary;
    return true;
}

bool ResStatisticsDatabase::loadCountDetect(CountDetect& record, const QString& sql,
                                            QSqlQuery query) {
    if (!query.exec(sql) || !query.next()) {
        query.finish();
        return false;
    }
    readOlderSlots(query.value(0).toString(), record.OK);
    readOlderSlots(query.value(1).toString(), record.NG);
    query.finish();
    return true;
}

void ResStatisticsDatabase::slotUpdateRecord(QString file) {
    // A missing file is not created by opening it.
    if (!QFileInfo(file).isFile()) {
        emit sigLoadFinish(QJsonObject(), false);
        return;
    }
    QJsonObject json;
    bool opened = false;
    {
        ScopedConnection connection(file, kLoadConnectionName);
        opened = connection.isOpen();
        if (opened) {
            QSqlQuery query(connection.database());
            json = loadCountFromJson(query, file);
        } else {
            qWarning() << "statistics: cannot open" << file << connection.errorText();
        }
    }
    emit sigLoadFinish(json, opened);
}

// --- saving and archiving ---

bool ResStatisticsDatabase::saveCountFromJson(const QJsonObject& json, QSqlQuery query) {
    return upsertDayDocument(query, QString::fromUtf8(documentText(json)));
}

bool ResStatisticsDatabase::writeRunningDocument(const QJsonObject& json) {
    const QByteArray text = documentText(json);
    // An unchanged day is not written again: the panel's flash lives longer.
    if (text == lastSavedText_ && QFileInfo::exists(runningFile_)) return true;
    lastSavedText_.clear();
    if (!ensureRunningFile()) {
        qWarning() << "statistics: no running database; the day was not saved";
        return false;
    }
    bool written = false;
    {
        ScopedConnection connection(runningFile_, kSaveConnectionName);
        if (!connection.isOpen()) {
            qWarning() << "statistics: cannot open" << runningFile_ << connection.errorText()
                       << "- the day was not saved";
            return false;
        }
        if (!ensureStatisticsTable(connection.database())) return false;
        QSqlQuery query(connection.database());
        written = upsertDayDocument(query, QString::fromUtf8(text));
        storage::noteSqlOutcome(runningFile_, written ? QSqlError() : query.lastError());
    }
    if (written) lastSavedText_ = text;
    return written;
}

void ResStatisticsDatabase::queueArchive(const QString& date, const QJsonObject& day) {
    pending_.append({date, day});
}

bool ResStatisticsDatabase::flushPendingArchives() {
    while (!pending_.isEmpty()) {
        const PendingDay& day = pending_.first();
        if (!writeRunningDocument(day.json)) return false;
        // An archive in the older row layout gets its document first, so that it can be added to.
        const QString existing = archivePath(archiveDir_, day.date);
        if (QFileInfo::exists(existing)) {
            QJsonObject unused;
            loadCountFromJson(existing, unused);
        }
        const QString archived = archiveDayFile(runningFile_, archiveDir_, day.date);
        if (archived.isEmpty()) return false;
        pending_.removeFirst();
        // The running database is empty now, ready for the next day.
        lastSavedText_.clear();
        emit sigDayArchived(archived);
    }
    return true;
}

void ResStatisticsDatabase::slotSaveRecord(QString curDate, QJsonObject json, bool isMove) {
    if (isMove) queueArchive(curDate, json);
    if (!flushPendingArchives()) {
        qWarning() << "statistics:" << pending_.size()
                   << "finished day(s) wait for their archive; the running day is kept in memory";
        emit sigSaveFinished(false);
        return;
    }
    emit sigSaveFinished(isMove ? true : writeRunningDocument(json));
}
