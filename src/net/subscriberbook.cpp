#include "subscriberbook.h"

#include <QJsonArray>
#include <QtDebug>

#include "httpapilimits.h"

namespace {

const QString kGroupsKey = QStringLiteral("subscriber_groups");

// A missing or non-numeric time counts as the epoch, i.e. long expired.
qint64 subscribedAt(const QVariant& value) {
    bool ok = false;
    const qint64 time = value.toLongLong(&ok);
    return ok ? time : 0;
}

}  // namespace

SubscriberBook::SubscriberBook(const QString& iniPath)
    : settings_(iniPath, QSettings::IniFormat), subscribers_(settings_.value(kGroupsKey).toMap()) {
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
    if (subscribers_ == saved_) return;
    settings_.setValue(kGroupsKey, subscribers_);
    settings_.sync();
    saved_ = subscribers_;
}
