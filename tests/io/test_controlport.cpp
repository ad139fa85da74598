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

TEST_F(ControlPortTest, StartsWithEveryOutputAtItsOffLevel) {
    para().outputInvert[0] = 1;
    para().outputInvert[8] = 1;
    ControlPort port;
    EXPECT_EQ(gIOID, 1);
    EXPECT_EQ(port.outWord, 0x101u);
    EXPECT_EQ(published(), 0x101u);
}

TEST_F(ControlPortTest, OutputsFollowInversionAndAreOnlySentOnFlush) {
    ControlPort port;
    para().outputInvert[1] = 1;
    port.IOSetOut(0, 1);
    port.IOSetOut(1, 1);  // inverted: on is the low level
    EXPECT_EQ(port.outWord, 0x001u);
    EXPECT_EQ(published(), 0u);
    EXPECT_TRUE(port.IOState(1, 0));
    EXPECT_FALSE(port.IOState(1, 1));  // physical level
    port.IOFlashOut();
    EXPECT_EQ(published(), 0x001u);

    port.IOSetOut(9, 1);  // there is no tenth output
    port.IOSetOut(-1, 1);
    EXPECT_EQ(port.outWord, 0x001u);
}

TEST_F(ControlPortTest, FourthOutputMirrorsTheChosenOutput) {
    ControlPort port;
    para().output4Use = 3;  // mirrors the alarm
    port.IOSetOut(2, 1);
    EXPECT_EQ(port.outWord, 0x00Cu);
    port.IOSetOut(2, 0);
    EXPECT_EQ(port.outWord, 0x000u);
    port.IOSetOut(0, 1);
    EXPECT_EQ(port.outWord, 0x001u);

    para().output4Use = 0;
    port.IOSetOut(3, 1);
    port.IOSetOut(2, 1);
    port.IOSetOut(2, 0);
    EXPECT_EQ(port.outWord, 0x009u);  // bit 3 keeps its own setting
}

TEST_F(ControlPortTest, FlushSignalsOnlyAChangedWord) {
    ControlPort port;
    QSignalSpy spy(&port, &ControlPort::sigIOChange);
    port.IOFlashOut();
    EXPECT_EQ(spy.count(), 0);
    port.IOSetOut(4, 1);
    port.IOFlashOut();
    EXPECT_EQ(spy.count(), 1);
    port.IOFlashOut();
    EXPECT_EQ(spy.count(), 1);
    port.IOSetOut(4, 0);
    port.IOFlashOut();
    EXPECT_EQ(spy.count(), 2);
}

TEST_F(ControlPortTest, RisingActiveLevelIsReportedOnce) {
    ControlPort port;
    EXPECT_FALSE(port.IOInTrigger(0));
    setInputs(0x001);
    EXPECT_TRUE(port.IOInTrigger(0));
    EXPECT_FALSE(port.IOInTrigger(0));
    EXPECT_TRUE(port.IOState(0, 0));
    setInputs(0x000);
    EXPECT_FALSE(port.IOInTrigger(0));
    setInputs(0x001);
    EXPECT_TRUE(port.IOInTrigger(0));
    // Edges are remembered per input.
    setInputs(0x081);
    EXPECT_TRUE(port.IOInTrigger(7));
    EXPECT_FALSE(port.IOInTrigger(0));
    EXPECT_FALSE(port.IOInTrigger(16));
}

TEST_F(ControlPortTest, InvertedInputTriggersOnTheFallingTerminal) {
    para().inputInvert[5] = 1;
    ControlPort port;
    setInputs(0x020);
    EXPECT_FALSE(port.IOInTrigger(5));  // high terminal = inactive
    EXPECT_FALSE(port.IOState(0, 5));
    setInputs(0x000);
    EXPECT_TRUE(port.IOInTrigger(5));
    EXPECT_TRUE(port.IOState(0, 5));
    EXPECT_FALSE(port.IOInTrigger(5));
}

TEST_F(ControlPortTest, FourthInputDoublesAsTheChosenInput) {
    para().input4Use = 1;  // mould open
    ControlPort port;
    setInputs(0x008);
    EXPECT_TRUE(port.IOInTrigger(0));
    EXPECT_EQ(port.inWord, 0x009u);
    EXPECT_TRUE(port.IOInTrigger(3));

    para().input4Use = 0;
    ControlPort plain;
    EXPECT_FALSE(plain.IOInTrigger(0));
    EXPECT_EQ(plain.inWord, 0x008u);
}

TEST_F(ControlPortTest, OpeningTheDoorSwitchesTheAlarmOffInModesZeroAndThree) {
    for (int mode : {0, 3}) {
        para().detectMode = mode;
        gisSafeDoorOpen = false;
        ControlPort port;
        setInputs(0x002);  // door closed
        port.IOInTrigger(1);
        port.IOSetOut(2, 1);
        port.IOSetOut(0, 1);
        port.IOFlashOut();
        setInputs(0x000);     // door opened
        port.IOInTrigger(0);  // the rule runs whichever input is tested
        EXPECT_EQ(port.outWord, 0x001u) << "mode " << mode;
        EXPECT_EQ(published(), 0x001u);
        EXPECT_TRUE(gisSafeDoorOpen);
        // Later tests in the same pass see the same opening and do no harm.
        port.IOInTrigger(1);
        EXPECT_EQ(port.outWord, 0x001u);
        // Only the opening counts, not a door that stays open.
        gisSafeDoorOpen = false;
        port.IOInTrigger(1);
        EXPECT_FALSE(gisSafeDoorOpen);
    }
}

TEST_F(ControlPortTest, DoorIsIgnoredInTheTwoSidedModes) {
    for (int mode : {1, 2}) {
        para().detectMode = mode;
        ControlPort port;
        setInputs(0x002);
        port.IOInTrigger(1);
        port.IOSetOut(2, 1);
        port.IOFlashOut();
        setInputs(0x000);
        port.IOInTrigger(1);
        EXPECT_EQ(port.outWord, 0x004u) << "mode " << mode;
        EXPECT_FALSE(gisSafeDoorOpen);
    }
}

TEST_F(ControlPortTest, DoorRuleJudgesTheAlarmByItsMeaningWithAnInvertedOutput) {
    para().outputInvert[2] = 1;
    ControlPort port;
    EXPECT_EQ(port.outWord, 0x004u);  // alarm off = terminal high
    setInputs(0x002);
    port.IOInTrigger(1);
    setInputs(0x000);
    port.IOInTrigger(1);  // door opens with the alarm off: the alarm stays off
    EXPECT_EQ(port.outWord, 0x004u);
    EXPECT_TRUE(gisSafeDoorOpen);

    port.IOSetOut(2, 1);  // alarm on = terminal low
    EXPECT_EQ(port.outWord, 0x000u);
    setInputs(0x002);
    port.IOInTrigger(1);
    setInputs(0x000);
    port.IOInTrigger(1);
    EXPECT_EQ(port.outWord, 0x004u);  // switched off
    EXPECT_EQ(published(), 0x004u);
}

TEST_F(ControlPortTest, DoorWithAnInvertedInputAndTheFourthInputMirror) {
    para().inputInvert[1] = 1;  // door closed = terminal low
    ControlPort port;
    port.IOSetOut(2, 1);
    port.IOFlashOut();
    setInputs(0x000);
    port.IOInTrigger(1);
    setInputs(0x002);  // terminal high: opened
    port.IOInTrigger(1);
    EXPECT_EQ(port.outWord, 0x000u);
    EXPECT_TRUE(gisSafeDoorOpen);

    para().inputInvert[1] = 0;
    para().input4Use = 2;  // input 4 stands for the door
    gisSafeDoorOpen = false;
    ControlPort mirrored;
    mirrored.IOSetOut(2, 1);
    setInputs(0x008);
    EXPECT_TRUE(mirrored.IOInTrigger(1));  // a high input 4 is a closing door
    setInputs(0x000);
    mirrored.IOInTrigger(1);
    EXPECT_EQ(mirrored.outWord, 0x000u);
    EXPECT_TRUE(gisSafeDoorOpen);
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
