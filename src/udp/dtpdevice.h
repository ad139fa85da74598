#pragma once
// What the two device roles of the text protocol (the IO box and the camera) share: sending a
// message the protocol's way, listening on every local network, the clock of their liveness
// checks and the files that hold their configuration.

#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <atomic>

#include "udpcore.h"

class DtpDevice : public UDP_Core {
    Q_OBJECT
public:
    explicit DtpDevice(QObject* parent = nullptr);

    // Listens at port on the address and on the directed broadcast of every local network.
    void listenOnLocalNets(quint16 port);

protected:
    // One message, sent once from fromIp (by default the local address on dest's network);
    // like every send of the protocol it blocks for the protocol's whole wait. The result of
    // send_core.
    virtual DTP_INTER_ERROR sendMessage(const QString& dest, quint16 port, const QByteArray& text,
                                        const QString& fromIp = QString());
    // Milliseconds of a clock that never jumps: these devices get their wall clock set over the
    // network, and a liveness check must not take a clock change for silence or for an answer.
    virtual qint64 monotonicMs() const;

    // (address, directed broadcast) of every local network in table order; the broadcast is
    // empty when it cannot be formed.
    QList<QPair<QString, QString>> localBroadcasts() const;
    QStringList localAddresses() const;
};

namespace dtp {

// Sets or clears one IO channel (0..7) of an IO word; false, and no change, for another channel.
bool setChannel(std::atomic<quint32>& word, int channel, bool on);

// Dotted IPv4 text, as the protocol carries addresses.
bool isIPv4(const QString& text);

// The JSON object of a configuration file; false when the file cannot be opened (a file that
// is no JSON object reads as an empty one).
bool readJsonObject(const QString& path, QJsonObject& out);
// Writes the object, indented, through the durable writer: a failure, a full disk or a crash
// while writing leaves the previous configuration. False (and a warning) on failure.
bool writeJsonObject(const QString& path, const QJsonObject& object);

}  // namespace dtp
