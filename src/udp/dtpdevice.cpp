#include "dtpdevice.h"

#include <arpa/inet.h>

#include <QDebug>
#include <QFile>
#include <QJsonDocument>
#include <chrono>

#include "dtpprotocol.h"
#include "durablefile.h"
#include "netif.h"

DtpDevice::DtpDevice(QObject* parent) : UDP_Core(parent) {
    registerDtpMetaTypes();
    directAnalysis = true;
}

void DtpDevice::listenOnLocalNets(quint16 port) {
    for (const NetBase& net : qAsConst(localNets)) {
        qDebug() << "interface:" << net.name << net.ip << net.mask << net.gateway << net.mac;
        addListen(net.ip.toStdString(), port);
        const QString broadcast = directedBroadcast(net.ip, net.mask);
        if (!broadcast.isEmpty()) addListen(broadcast.toStdString(), port);
    }
}

DTP_INTER_ERROR DtpDevice::sendMessage(const QString& dest, quint16 port, const QByteArray& text,
                                       const QString& fromIp) {
    const QString local = fromIp.isEmpty() ? getSameUseNet(dest) : fromIp;
    std::string answer;
    return send_core(dtp::sendCond(dest, port, local), text.toStdString(), answer);
}

qint64 DtpDevice::monotonicMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QList<QPair<QString, QString>> DtpDevice::localBroadcasts() const {
    QList<QPair<QString, QString>> nets;
    for (const NetBase& net : localNets) nets.append({net.ip, directedBroadcast(net.ip, net.mask)});
    return nets;
}

QStringList DtpDevice::localAddresses() const {
    QStringList addresses;
    for (const NetBase& net : localNets) addresses << net.ip;
    return addresses;
}

namespace dtp {

bool setChannel(std::atomic<quint32>& word, int channel, bool on) {
    if (channel < 0 || channel >= udplimits::kIoChannels) return false;
    const quint32 bit = 1u << channel;
    if (on)
        word.fetch_or(bit);
    else
        word.fetch_and(~bit);
    return true;
}

bool isIPv4(const QString& text) {
    in_addr address{};
    return inet_pton(AF_INET, text.toLatin1().constData(), &address) == 1;
}

bool readJsonObject(const QString& path, QJsonObject& out) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    out = QJsonDocument::fromJson(file.readAll()).object();
    return true;
}

bool writeJsonObject(const QString& path, const QJsonObject& object) {
    // The durable writer logs a failure itself.
    return storage::replaceFile(path, QJsonDocument(object).toJson(QJsonDocument::Indented));
}

}  // namespace dtp
