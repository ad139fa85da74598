#include "modbusserver.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QThread>
#include <QtDebug>

#include "modbusconnection.h"
#include "modbusdatasource.h"
#include "systemactions.h"

// Runs the listener and every connection; reports once whether listening succeeded.
class ModbusServerThread : public QThread {
public:
    ModbusServerThread(std::shared_ptr<ModbusSourceBridge> bridge, const QHostAddress& address,
                       quint16 port, const modbus::ConnectionLimits& limits)
        : bridge_(std::move(bridge)), address_(address), port_(port), limits_(limits) {
        setObjectName(QStringLiteral("modbus"));
    }

    // Waits until the listener has tried to listen; true when it listens.
    bool waitUntilListening() {
        started_.acquire();
        return listening_;
    }
    quint16 boundPort() const { return port_; }
    QString errorString() const { return error_; }

protected:
    void run() override {
        ModbusListener listener(bridge_, limits_);
        listening_ = listener.listen(address_, port_);
        port_ = listening_ ? listener.serverPort() : 0;
        error_ = listener.errorString();
        started_.release();
        if (listening_) exec();
    }

private:
    std::shared_ptr<ModbusSourceBridge> bridge_;
    QHostAddress address_;
    quint16 port_;
    modbus::ConnectionLimits limits_;
    QSemaphore started_;
    bool listening_ = false;
    QString error_;
};

ModbusServer::ModbusServer(QObject* parent)
    : QObject(parent), source_(nullptr), ownSource_(new GlobalsModbusDataSource(this)) {
    source_ = ownSource_;
    start(QHostAddress::Any, sys::actions().servicePort(sys::Service::Modbus, modbus::kPanelPort));
}

ModbusServer::ModbusServer(ModbusDataSource* source, QObject* parent)
    : QObject(parent), source_(source) {}

ModbusServer::~ModbusServer() {
    stop();
}

bool ModbusServer::start(const QHostAddress& address, quint16 port) {
    stop();
    address_ = address;
    // The first masters are answered with current values, not with zeros.
    if (QThread::currentThread() == source_->thread()) source_->publish();
    bridge_ = std::make_shared<ModbusSourceBridge>(source_);
    thread_ = std::make_unique<ModbusServerThread>(bridge_, address, port, limits_);
    thread_->start();
    if (!thread_->waitUntilListening()) {
        qWarning().noquote() << QStringLiteral("Modbus: cannot listen on %1:%2: %3")
                                    .arg(address.toString())
                                    .arg(port)
                                    .arg(thread_->errorString());
        thread_->wait();
        thread_.reset();
        bridge_.reset();
        return false;
    }
    boundPort_ = thread_->boundPort();
    qInfo().noquote()
        << QStringLiteral("Modbus: listening on %1:%2").arg(address.toString()).arg(boundPort_);
    return true;
}

void ModbusServer::stop() {
    if (!thread_) return;
    Q_ASSERT(QThread::currentThread() != thread_.get());
    // No new reset from here on; one may be under way already and waits for this thread, so
    // keep answering while the server thread winds down.
    bridge_->refuse();
    thread_->quit();
    const bool answersCalls = QThread::currentThread() == source_->thread();
    while (!thread_->wait(modbus::kStopWaitSliceMs)) {
        if (answersCalls) QCoreApplication::sendPostedEvents(source_, QEvent::MetaCall);
    }
    thread_.reset();
    bridge_.reset();
    boundPort_ = 0;
}

bool ModbusServer::resetWaiting() const {
    const std::shared_ptr<ModbusSourceBridge> bridge = bridge_;
    return bridge && bridge->resetsWaiting() > 0;
}

bool ModbusServer::isRunning() const {
    return thread_ != nullptr;
}
