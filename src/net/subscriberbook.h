#pragma once
// The subscribers of the HTTP API: "address:port" -> time of the last subscription (ms since
// the epoch), kept in an INI file under the key "subscriber_groups" so that they survive a
// restart.

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QVariantMap>

class SubscriberBook {
public:
    struct Target {
        QString address;
        quint16 port = 0;
    };

    // Reads the file (a missing one gives an empty book).
    explicit SubscriberBook(const QString& iniPath);

    // Takes the "subscriber" array of a subscription request and saves the book. Every element
    // that is an object with "subscriber_ip" and "subscriber_port" subscribes (again) at `nowMs`.
    // Returns the number of elements taken, or -1 when the request has no "subscriber" key.
    int subscribe(const QJsonObject& request, qint64 nowMs);
    // Drops the subscriptions that have expired at `nowMs`, saves the book, and returns the
    // live subscribers whose key is an address and a port.
    QList<Target> liveTargets(qint64 nowMs);

    QVariantMap entries() const { return subscribers_; }
    // True while the file lags behind the book (its last write failed; the next save retries).
    bool pending() const { return subscribers_ != saved_; }

private:
    void makeRoom();
    void save();

    QString path_;
    QVariantMap subscribers_;
    QVariantMap saved_;  // what the file holds
    bool failing_ = false;
};
