// The GUI thread's IO logic: output word with inversion and the fourth output's mirror,
// publishing, input polarity, the fourth input's mirror, edges and the safety-door rule.
// No serial device is configured, so no IO thread and no line are involved.
#include <gtest/gtest.h>

#include <QMutexLocker>
#include <QSignalSpy>

#include "controlport.h"
#include "globals.h"
#include "iotestsupport.h"
#include "wizardpara.h"

namespace {

class ControlPortTest : public iotest::IoGlobalsTest {
protected:
    void setInputs(quint32 word) {
        QMutexLocker lock(pMutexIO);
        gDataIn = word;
    }
    quint32 published() {
        QMutexLocker lock(pMutexIO);
        return gDataOut;
    }
};

TEST_F(ControlPortTest, OutputsFollowInversionAndMirrorAndAreSentOnAChangingFlush) {
    para().outputInvert[0] = 1;
    para().outputInvert[8] = 1;
    ControlPort port;
    EXPECT_EQ(port.outWord, 0x101u);  // every output starts at its off level, published
    EXPECT_EQ(published(), 0x101u);

    QSignalSpy changes(&port, &ControlPort::sigIOChange);
    port.IOSetOut(0, 1);  // inverted: on is the low level
    port.IOSetOut(1, 1);
    EXPECT_EQ(port.outWord, 0x102u);
    EXPECT_EQ(published(), 0x101u);
    EXPECT_TRUE(port.IOState(1, 1));  // physical level
    EXPECT_FALSE(port.IOState(1, 0));
    port.IOFlashOut();
    EXPECT_EQ(published(), 0x102u);
    port.IOFlashOut();
    EXPECT_EQ(changes.count(), 1);

    port.IOSetOut(9, 1);  // there is no tenth output
    port.IOSetOut(-1, 1);
    EXPECT_EQ(port.outWord, 0x102u);

    para().output4Use = 3;  // output 4 mirrors the alarm
    port.IOSetOut(2, 1);
    EXPECT_EQ(port.outWord, 0x10Eu);
    port.IOSetOut(2, 0);
    EXPECT_EQ(port.outWord, 0x102u);
    para().output4Use = 0;
    port.IOSetOut(3, 1);
    port.IOSetOut(2, 1);
    port.IOSetOut(2, 0);
    EXPECT_EQ(port.outWord, 0x10Au);  // bit 3 keeps its own setting
}

TEST_F(ControlPortTest, ActiveEdgesAreReportedOncePerInputWithPolarityAndMirror) {
    para().inputInvert[5] = 1;
    ControlPort port;
    EXPECT_FALSE(port.IOInTrigger(0));
    setInputs(0x001);
    EXPECT_TRUE(port.IOInTrigger(0));
    EXPECT_FALSE(port.IOInTrigger(0));
    setInputs(0x000);
    EXPECT_FALSE(port.IOInTrigger(0));
    setInputs(0x081);
    EXPECT_TRUE(port.IOInTrigger(0));
    EXPECT_TRUE(port.IOInTrigger(7));  // edges are remembered per input
    EXPECT_FALSE(port.IOInTrigger(16));

    // Inverted: the high terminal is inactive, the falling terminal is the active edge.
    setInputs(0x020);
    EXPECT_FALSE(port.IOInTrigger(5));
    EXPECT_FALSE(port.IOState(0, 5));
    setInputs(0x000);
    EXPECT_TRUE(port.IOInTrigger(5));
    EXPECT_TRUE(port.IOState(0, 5));
    EXPECT_FALSE(port.IOInTrigger(5));

    para().input4Use = 1;  // input 4 doubles as input 1 (mould open)
    ControlPort doubled;
    setInputs(0x008);
    EXPECT_TRUE(doubled.IOInTrigger(0));
    EXPECT_EQ(doubled.inWord, 0x009u);
    EXPECT_TRUE(doubled.IOInTrigger(3));  // and still reports for itself
    para().input4Use = 0;
    ControlPort plain;
    EXPECT_FALSE(plain.IOInTrigger(0));
    EXPECT_EQ(plain.inWord, 0x008u);
}

TEST_F(ControlPortTest, OpeningTheDoorSwitchesTheAlarmOffByItsMeaning) {
    const struct {
        int mode;
        bool invertDoor, doorOnInput4, invertAlarm, alarmOn;
        bool ruleApplies;
    } rows[] = {
        {0, false, false, false, true, true},  {3, false, false, false, true, true},
        {1, false, false, false, true, false}, {2, false, false, false, true, false},
        {0, false, false, true, false, true},  // an alarm that is off stays off
        {0, false, false, true, true, true},   {0, true, false, false, true, true},
        {0, false, true, false, true, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message()
                     << "mode " << row.mode << " door " << row.invertDoor << row.doorOnInput4
                     << " alarm " << row.invertAlarm << row.alarmOn);
        para().detectMode = row.mode;
        para().inputInvert[1] = row.invertDoor;
        para().input4Use = row.doorOnInput4 ? 2 : 0;
        para().outputInvert[2] = row.invertAlarm;
        gisSafeDoorOpen = false;
        ControlPort port;
        port.IOSetOut(0, 1);
        port.IOSetOut(2, row.alarmOn);
        port.IOFlashOut();
        const quint32 closed = row.doorOnInput4 ? 0x008 : row.invertDoor ? 0x000 : 0x002;
        setInputs(closed);
        port.IOInTrigger(1);
        setInputs(closed ^ (row.doorOnInput4 ? 0x008 : 0x002));
        port.IOInTrigger(0);  // the rule runs whichever input is tested

        const bool alarmAfter = row.alarmOn && !row.ruleApplies;
        const quint32 expected = 0x001u | (alarmAfter != row.invertAlarm ? 0x004u : 0u);
        EXPECT_EQ(port.outWord, expected);
        EXPECT_EQ(published(), expected);
        EXPECT_EQ(gisSafeDoorOpen, row.ruleApplies);
        port.IOInTrigger(1);  // a later test of the same pass sees the same opening: no harm
        EXPECT_EQ(port.outWord, expected);
        // Only the opening counts, not a door that stays open.
        gisSafeDoorOpen = false;
        port.IOInTrigger(1);
        EXPECT_FALSE(gisSafeDoorOpen);
    }
}

TEST_F(ControlPortTest, WorksBeforeAnyParametersExist) {
    WizardPara* saved = gpWPara;
    gpWPara = nullptr;
    {
        ControlPort port;
        port.IOSetOut(1, 1);
        setInputs(0x001);
        EXPECT_TRUE(port.IOInTrigger(0));
        EXPECT_EQ(port.outWord, 0x002u);
    }
    gpWPara = saved;
}

}  // namespace
