#pragma once
// The statistics store: keeps the running production day in "ResStatistics.db", loads
// archived days for the statistics screen and archives each finished day into the archive
// directory. After construction it lives on its own worker thread and is driven only by
// queued signals of the statistics model.
//
// A finished day is never lost: it is first written into the running database, then its rows
// move into the archive of its date in one transaction (added to the counts of an archive of
// that date that exists already), which leaves the running database empty for the new day.
// When any step fails the finished day stays pending: the running database keeps it, the new
// day is not written over it, and every later save retries the archive first.

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QSqlQuery>
#include <QString>

#include "statisticsrecords.h"

class QThread;
class ResStatisticsParam;

class ResStatisticsDatabase : public QObject {
    Q_OBJECT
public:
    // Makes "ResStatistics.db" from the template when it is missing (or damaged: the damaged file
    // is kept aside) and checks that it opens.
    explicit ResStatisticsDatabase(ResStatisticsParam* owner, QObject* parent = nullptr);

    // False when the running database could not be made or opened at construction.
    bool isUsable() const { return usable_; }
    // True when a damaged running database was kept aside and a new one made at construction.
    bool replacedDamagedFile() const { return replacedDamaged_; }
    // True when the running database is missing or unwritable because the disk refuses it
    // (full or read-only), not because it is damaged.
    bool refusedByDisk() const { return refusedByDisk_; }

    // Directory of the archived days (the main window's statistics directory).
    void setArchiveDir(const QString& dir) { archiveDir_ = dir; }
    QString archiveDir() const { return archiveDir_; }

    // Loads a day document from a database file; out is left as it was when it cannot open.
    void loadCountFromJson(const QString& file, QJsonObject& out);
    // The day document of an open database; a database in the older row layout is converted
    // and the document stored into it, so each file is converted once.
    QJsonObject loadCountFromJson(QSqlQuery query, const QString& file);
    // Stores a day document; false when the statement failed.
    bool saveCountFromJson(const QJsonObject& json, QSqlQuery query);
    // Older row layout: fills a group, a camera or one record from the rows "C<camera>_D<d>".
    bool loadCount(CountGroup& group, QSqlQuery& query);
    bool loadCountCamera(CountCamera& camera, int cameraIndex, QSqlQuery query);
    bool loadCountDetect(CountDetect& record, const QString& sql, QSqlQuery query);

    // "dir/2024-05-01.db" -> "2024-05-01"; a name without "." is answered unchanged.
    static QString removeSuffix(const QString& name);

    // A finished day to be archived; archived by the next flush (or save).
    void queueArchive(const QString& date, const QJsonObject& day);
    // Archives every pending day in order; false when one is still pending.
    bool flushPendingArchives();
    // Finished days waiting for their archive (only on the store's thread).
    int pendingArchiveCount() const { return pending_.size(); }
    // The owner goes while the store is left behind; on the owner's thread only.
    void forgetOwner() { owner_ = nullptr; }

signals:
    void sigLoadFinish(QJsonObject json, bool ok);
    // After every save request: true when the running day is stored (written or unchanged).
    void sigSaveFinished(bool stored);
    // A finished day was archived under this path.
    void sigDayArchived(QString archivePath);

public slots:
    void slotUpdateRecord(QString file);
    // Saves the running day; with isMove the document is the finished day curDate, which is
    // archived and replaced by a new running database.
    void slotSaveRecord(QString curDate, QJsonObject json, bool isMove);

private:
    struct PendingDay {
        QString date;
        QJsonObject json;
    };

    bool ensureRunningFile();
    bool writeRunningDocument(const QJsonObject& json);
    QString convertOlderLayout(QSqlQuery& query, const QString& file);
    bool onOwnerThread() const;

    // Read on the owner's thread only: the store's thread never reaches the owner.
    ResStatisticsParam* owner_;
    QThread* const ownerThread_;
    QString archiveDir_;
    const QString runningFile_;
    const QString templateFile_;
    bool usable_ = false;
    bool replacedDamaged_ = false;
    bool refusedByDisk_ = false;
    QList<PendingDay> pending_;
    // The text last written into the running database; an unchanged day is not rewritten.
    QByteArray lastSavedText_;
};
