#include "subscriberbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QSettings>
#include <QTemporaryDir>
#include <QtDebug>

#include "durablefile.h"
#include "httpapilimits.h"

namespace {

const QString kGroupsKey = QStringLiteral("subscriber_groups");

// The file's text as QSettings writes the map (other readers of the file rely on its
// format), made in a scratch folder: QSettings alone cannot say whether its data reached the
// disk, so the real file is then replaced by the durable writer.
bool iniText(const QVariantMap& subscribers, QByteArray* text, QString* error) {
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        *error = QStringLiteral("no scratch folder: ") + scratch.errorString();
        return false;
    }
    const QString path = scratch.filePath(QStringLiteral("subscriber.ini"));
    {
        QSettings settings(path, QSettings::IniFormat);
        settings.setValue(kGroupsKey, subscribers);
        settings.sync();
        if (settings.status() != QSettings::NoError) {
            *error = QStringLiteral("the scratch copy could not be written");
            return false;
        }
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    *text = file.readAll();
    return true;
}

// A missing or non-numeric time counts as the epoch, i.e. long expired.
qint64 subscribedAt(const QVariant& value) {
    bool ok = false;
    const qint64 time = value.toLongLong(&ok);
    return ok ? time : 0;
}

}  // namespace

SubscriberBook::SubscriberBook(const QString& iniPath)
    : path_(iniPath),
      subscribers_(QSettings(iniPath, QSettings::IniFormat).value(kGroupsKey).toMap()),
      saved_(subscribers_) {
    // A file written by hand may name more than the cap.
    while (subscribers_.size() > httpapi::kMaxSubscribers) makeRoom();
}

void SubscriberBook::makeRoom() {
    auto oldest = subscribers_.begin();
    for (auto it = subscribers_.begin(); it != subscribers_.end(); ++it)
        if (subscribedAt(it.value()) < subscribedAt(oldest.value())) oldest = it;
    qWarning().noquote() << QStringLiteral(
                                "netdbg: subscriber %1 dropped to make room: already %2 "
                                "subscribers")
                                .arg(oldest.key())
                                .arg(httpapi::kMaxSubscribers);
    subscribers_.erase(oldest);
}

int SubscriberBook::subscribe(const QJsonObject& request, qint64 nowMs) {
    if (!request.contains(QStringLiteral("subscriber"))) return -1;
    int taken = 0;
    for (const QJsonValue& element : request.value(QStringLiteral("subscriber")).toArray()) {
        const QJsonObject entry = element.toObject();
        if (!entry.contains(QStringLiteral("subscriber_ip")) ||
            !entry.contains(QStringLiteral("subscriber_port")))
            continue;
        const QString key = entry.value(QStringLiteral("subscriber_ip")).toString() +
                            QLatin1Char(':') +
                            QString::number(entry.value(QStringLiteral("subscriber_port")).toInt());
        if (!subscribers_.contains(key) && subscribers_.size() >= httpapi::kMaxSubscribers)
            makeRoom();
        subscribers_.insert(key, nowMs);
        ++taken;
    }
    save();
    return taken;
}

QList<SubscriberBook::Target> SubscriberBook::liveTargets(qint64 nowMs) {
    QList<Target> targets;
    for (auto it = subscribers_.begin(); it != subscribers_.end();) {
        if (nowMs - subscribedAt(it.value()) > httpapi::kSubscriptionLifetimeMs) {
            it = subscribers_.erase(it);
            continue;
        }
        const QStringList parts = it.key().split(QLatin1Char(':'));
        bool portOk = false;
        const quint16 port = parts.size() == 2 ? parts[1].toUShort(&portOk) : 0;
        if (portOk) targets.append({parts[0], port});
        ++it;
    }
    save();
    return targets;
}

void SubscriberBook::save() {
    // Rewriting the same content would cost the cycle a flush to disk and the panel's flash a
    // write for nothing.
    if (!pending()) return;
    QByteArray text;
    QString error;
    // The folder may have been impossible to make when the program started.
    QDir().mkpath(QFileInfo(path_).absolutePath());
    if (!iniText(subscribers_, &text, &error) || !storage::replaceFile(path_, text, &error)) {
        // The subscriptions stay in the book and are pushed to; the next request or push
        // writes them again.
        if (!failing_)
            qWarning().noquote() << "subscriber file" << path_ << "cannot be written:" << error
                                 << "- the subscriptions are kept and written when it can be";
        failing_ = true;
        return;
    }
    if (failing_) qInfo().noquote() << "subscriber file" << path_ << "written again";
    failing_ = false;
    saved_ = subscribers_;
}
