#include "iotestsupport.h"

#include <QDateTime>
#include <QMutexLocker>
#include <algorithm>
#include <atomic>

#include "globals.h"
#include "testsupport.h"
#include "wizardpara.h"

namespace iotest {

namespace {
std::atomic<MessageCapture*> g_capture{nullptr};

quint8 sum(const QByteArray& bytes) {
    unsigned total = 0;
    for (char c : bytes) total += quint8(c);
    return quint8(total);
}

QByteArray frame(quint8 type, quint8 p0, quint8 p1, quint8 p2, quint8 p3) {
    QByteArray bytes =
        QByteArray(1, char(0x5F)) + char(type) + char(p0) + char(p1) + char(p2) + char(p3);
    return bytes + char(sum(bytes)) + char(0xF5);
}
}  // namespace

MessageCapture::MessageCapture() {
    g_capture.store(this);
    previous_ = qInstallMessageHandler(&MessageCapture::handler);
}

MessageCapture::~MessageCapture() {
    qInstallMessageHandler(previous_);
    g_capture.store(nullptr);
}

void MessageCapture::handler(QtMsgType type, const QMessageLogContext& context,
                             const QString& text) {
    MessageCapture* capture = g_capture.load();
    if (!capture) return;
    {
        QMutexLocker lock(&capture->mutex_);
        capture->messages_ << text;
    }
    if (capture->previous_) capture->previous_(type, context, text);
}

QStringList MessageCapture::messages() const {
    QMutexLocker lock(&mutex_);
    return messages_;
}

int MessageCapture::count(const QString& fragment) const {
    const QStringList all = messages();
    return int(std::count_if(all.begin(), all.end(),
                             [&](const QString& m) { return m.contains(fragment); }));
}

QByteArray stateReply(quint32 inputs, quint32 outputEcho) {
    return frame(2, quint8(inputs), quint8((inputs >> 8) & 3), quint8(outputEcho),
                 quint8((outputEcho >> 8) & 3));
}

QByteArray valueReply(quint8 type, quint32 value) {
    return frame(type, quint8(value), quint8(value >> 8), quint8(value >> 16), quint8(value >> 24));
}

void IoGlobalsTest::SetUp() {
    if (!pMutexIO) pMutexIO = new QMutex;
    previous_ = gpWPara;
    gpWPara = new WizardPara;  // plain polarity, no mirrors, mode 0
    gDataIn = 0;
    gDataOut = 0;
    std::fill(std::begin(gFTemp), std::end(gFTemp), 0u);
    gisSafeDoorOpen = false;
    gisCOM = 0;
    testsupport::recorder().setSerialPath(QString());
    testsupport::recorder().setNow(QDateTime());
    testsupport::recorder().clear();
}

void IoGlobalsTest::TearDown() {
    testsupport::recorder().setSerialPath(QString());
    testsupport::recorder().setNow(QDateTime());
    delete gpWPara;
    gpWPara = previous_;
}

WizardPara& IoGlobalsTest::para() {
    return *gpWPara;
}

}  // namespace iotest
