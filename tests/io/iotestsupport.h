#pragma once
#include <gtest/gtest.h>

#include <QByteArray>
#include <QMutex>
#include <QStringList>
#include <QtGlobal>

class WizardPara;

namespace iotest {

// Collects the Qt messages of its lifetime (from any thread) and passes them on.
class MessageCapture {
public:
    MessageCapture();
    ~MessageCapture();
    QStringList messages() const;
    int count(const QString& fragment) const;

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& text);
    mutable QMutex mutex_;
    QStringList messages_;
    QtMessageHandler previous_ = nullptr;
};

// Reply frames as the board sends them, composed here from the wire description.
QByteArray stateReply(quint32 inputs, quint32 outputEcho);
QByteArray valueReply(quint8 type, quint32 value);

// Fresh process globals for the IO link: default parameters with plain polarity, mode 0,
// cleared words, no serial device, the real clock.
class IoGlobalsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    WizardPara& para();

private:
    WizardPara* previous_ = nullptr;
};

}  // namespace iotest
