// The main window's operator commands under their privilege gates, the keypads and focus of
// the window, and the database flush before a reboot.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QSqlQuery>
#include <cstdlib>
#include <functional>
#include <tuple>

#include "appfixture.h"
#include "choosebox.h"
#include "deraRazovi.h"
#include "drawroiwidget.h"
#include "floatslider.h"
#include "globals.h"
#include "helpwidget.h"
#include "iostatuswidget.h"
#include "numberinput.h"
#include "numcharinput.h"
#include "passwordbox.h"
#include "warnbox.h"
#include "widgetchangecamera.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

using apptest::installFactoryFiles;
using apptest::prepareProcessGlobals;
using testsupport::recorder;

namespace {

const QString kWrongPassword = QStringLiteral("wrong-password");

// Answers every dialog of the window: the password box with the given entry (a wrong one is
// then cancelled), yes/no questions with `confirm`, messages with OK. Counts what it saw.
struct Answers {
    QString password;
    bool confirm = false;
    int passwordRuns = 0;
    QStringList questions;
    QStringList messages;
    dialogs::ScopedAnswerer seam{[this](QDialog* d) { return answer(d); }};

    int answer(QDialog* dialog) {
        if (auto* box = qobject_cast<PasswordBox*>(dialog)) {
            ++passwordRuns;
            box->setEnteredPassword(password);
            box->accept();
            return box->result();
        }
        const QString text = dialog->property("text").toString();
        if (qobject_cast<ChooseBox*>(dialog)) {
            questions << text;
            return confirm ? QDialog::Accepted : QDialog::Rejected;
        }
        messages << text;
        return QDialog::Accepted;
    }
};

QStringList records(DeRaRazovi& m) {
    QStringList texts;
    QSqlQuery query(QStringLiteral("SELECT remarks FROM RECORD"), m.recordDb);
    while (query.next()) texts << query.value(0).toString();
    return texts;
}

}  // namespace

class Commands : public ::testing::Test {
protected:
    void SetUp() override {
        prepareProcessGlobals();
        recorder().clear();
        installFactoryFiles();
    }
    // A fresh window with password protection on and the given operator password.
    std::unique_ptr<DeRaRazovi> window() {
        dialogs::ScopedAnswerer startup({}, QDialog::Accepted);
        auto m = std::make_unique<DeRaRazovi>(nullptr);
        gpWPara->isPswUsed = 1;
        gpWPara->setPassword(QStringLiteral("2468"));
        gpWPara->detectProdEnable = 1;
        gpWPara->pswStopDetect = 1;
        m->show();  // pages count as open only on a window that is shown
        return m;
    }
    testsupport::WorkDir dir;
};

// Every operator command of the window, unlogged: refused, then with the operator password.
TEST_F(Commands, PrivilegeMatrixOfEveryCommand) {
    struct Row {
        const char* name;
        bool gated;
        std::function<void(DeRaRazovi&)> command;
        std::function<bool(DeRaRazovi&, const Answers&)> tookEffect;
    };
    const Row rows[] = {
        {"SlotAdjustArea", true, [](DeRaRazovi& m) { m.SlotAdjustArea(); },
         [](DeRaRazovi& m, const Answers&) {
             return !m.drawROIWidget->isHidden() && m.resultState == 3;
         }},
        {"SlotSystemPara", true, [](DeRaRazovi& m) { m.SlotSystemPara(); },
         [](DeRaRazovi& m, const Answers&) { return !m.wizardParaWidget->isHidden(); }},
        {"CheckArea", true, [](DeRaRazovi& m) { m.CheckArea(); },
         [](DeRaRazovi& m, const Answers&) { return m.resultState == 3 && gFromTrain == 1; }},
        {"SlotReTrain", true, [](DeRaRazovi& m) { m.SlotReTrain(); },
         [](DeRaRazovi&, const Answers& a) { return a.questions.size() == 1; }},
        {"SlotStartStop (stopping)", true, [](DeRaRazovi& m) { m.SlotStartStop(); },
         [](DeRaRazovi&, const Answers& a) { return a.questions.size() == 1; }},
        {"SlotStartStop (starting)", false,
         [](DeRaRazovi& m) {
             m.StopDetect();
             m.SlotStartStop();
         },
         [](DeRaRazovi& m, const Answers&) { return m.detectState != 3; }},
        {"SlotManualTrig0", false, [](DeRaRazovi& m) { m.SlotManualTrig0(); },
         [](DeRaRazovi& m, const Answers&) { return m.manualStep == 0; }},
        {"SlotManualTrig1", false, [](DeRaRazovi& m) { m.SlotManualTrig1(); },
         [](DeRaRazovi& m, const Answers&) { return m.manualStep == 1; }},
        {"SlotMuliManualTrig", false, [](DeRaRazovi& m) { m.SlotMuliManualTrig(); },
         [](DeRaRazovi& m, const Answers&) { return m.manualStep == 0; }},
        {"SlotReturn", false,
         [](DeRaRazovi& m) {
             m.zoomScale = 2.0f;
             m.SlotReturn();
         },
         [](DeRaRazovi& m, const Answers&) { return m.zoomScale == 1.0f; }},
        {"SlotHelp", false, [](DeRaRazovi& m) { m.SlotHelp(); },
         [](DeRaRazovi& m, const Answers&) { return !m.helpWidget->isHidden(); }},
        // Magnified about the point last touched (the geometry has its own test).
        {"zoom slider", false,
         [](DeRaRazovi& m) {
             m.cursorImageX = m.cursorImageY = 300;
             m.zoomSlider->setValue(200);
         },
         [](DeRaRazovi& m, const Answers&) {
             return m.zoomScale == 2.0f && std::abs(m.zoomX + 300) <= 1 &&
                    std::abs(m.zoomY + 300) <= 1;
         }},
    };
    for (const Row& row : rows) {
        for (bool refused : {true, false}) {
            // A command without the gate asks for nothing: with the wrong password it must
            // already take effect, and the right one would change nothing it sees.
            if (!row.gated && !refused) continue;
            auto m = window();
            m->manualStep = gDNum;
            gFromTrain = 0;
            Answers answers;
            answers.password = refused ? kWrongPassword : gpWPara->passwordText();
            row.command(*m);
            EXPECT_EQ(answers.passwordRuns, row.gated ? 1 : 0)
                << row.name << (refused ? " refused" : " operator");
            EXPECT_EQ(row.tookEffect(*m, answers), !(row.gated && refused))
                << row.name << (refused ? " refused" : " operator");
            EXPECT_EQ(m->loginLevel, refused || !row.gated ? 0 : 1) << row.name;
        }
    }
}

TEST_F(Commands, GatesOfTheServicePagesAndTheSettingsVisit) {
    auto m = window();
    {
        // Without protection operator commands pass, but the service pages still ask.
        gpWPara->isPswUsed = 0;
        Answers answers;
        answers.password = kWrongPassword;
        EXPECT_EQ(m->CheckPassword(m->panelSubject()), 2);
        EXPECT_EQ(answers.passwordRuns, 0);
        EXPECT_FALSE(m->CheckRoot(m->panelSubject()));
        EXPECT_EQ(answers.passwordRuns, 1);
    }
    gpWPara->isPswUsed = 1;
    {
        Answers answers;
        answers.password = gpWPara->serviceCodeText();
        EXPECT_TRUE(m->CheckRoot(m->panelSubject()));
        EXPECT_EQ(m->loginLevel, 2);
        // Opening the settings ends the service login: the service pages ask again.
        m->SlotSystemPara();
        EXPECT_FALSE(m->wizardParaWidget->isHidden());
        EXPECT_EQ(m->loginLevel, 1);
        EXPECT_EQ(answers.passwordRuns, 1) << "the operator level opens the settings";
        m->wizardParaWidget->hide();
        EXPECT_TRUE(m->CheckRoot(m->panelSubject()));
        EXPECT_EQ(answers.passwordRuns, 2) << "the service pages ask for the code again";
    }
    {
        // A camera-number page open: commands are ignored without a question.
        Answers answers;
        m->loginLevel = 0;
        m->changeCameraWidget->show();
        m->SlotSystemPara();
        m->SlotAdjustArea();
        m->SlotReTrain();
        EXPECT_EQ(answers.passwordRuns, 0);
        EXPECT_TRUE(m->wizardParaWidget->isHidden() && m->drawROIWidget->isHidden());
        m->changeCameraWidget->hide();
    }
    {
        // An NG alarm on screen: the settings ask and still stay shut.
        Answers answers;
        answers.password = gpWPara->passwordText();
        m->resultState = 2;
        m->SlotSystemPara();
        EXPECT_EQ(answers.passwordRuns, 1);
        EXPECT_TRUE(m->wizardParaWidget->isHidden());
        m->SlotAdjustArea();
        EXPECT_TRUE(m->drawROIWidget->isHidden());
        m->resultState = 0;
    }
    {
        // A refused retrain request keeps detection running.
        Answers answers;
        answers.password = kWrongPassword;
        m->loginLevel = 0;
        m->wizardParaWidget->show();
        m->detectState = 2;
        m->CheckArea();
        EXPECT_TRUE(m->wizardParaWidget->isHidden());
        EXPECT_EQ(m->detectState, 1);
    }
}

TEST_F(Commands, ResampleAndManualSnapshot) {
    auto m = window();
    m->loginLevel = 1;
    const int before = records(*m).size();
    {
        Answers answers;  // cancelled: nothing changes, no record
        m->detectState = 3;
        m->SlotReTrain();
        EXPECT_EQ(answers.questions, QStringList{lan(137)});
        EXPECT_EQ(records(*m).size(), before);
        EXPECT_EQ(m->detectState, 3);
    }
    {
        Answers answers;
        answers.confirm = true;
        m->SlotReTrain();
        EXPECT_NE(m->detectState, 3) << "a stopped detection starts again";
        EXPECT_EQ(m->trigKind, 1);
        EXPECT_EQ(m->resultState, 0);
        EXPECT_EQ(records(*m).last(), lan(585) + lan(139));
    }
    {
        // A product snapshot with product detection off is refused with a message.
        Answers answers;
        gpWPara->detectProdEnable = 0;
        m->manualStep = gDNum;
        m->SlotManualTrig0();
        EXPECT_EQ(answers.messages, QStringList{lan(145)});
        EXPECT_EQ(m->manualStep, gDNum);
        m->SlotManualTrig1();
        EXPECT_EQ(m->manualStep, 1);
        // With the settings open, snapshots are ignored.
        m->manualStep = gDNum;
        m->wizardParaWidget->show();
        m->SlotManualTrig1();
        EXPECT_EQ(m->manualStep, gDNum);
    }
}

TEST_F(Commands, KeypadsLogoutByTheStatusStripAndFlush) {
    auto m = window();
    Answers answers;
    gpNumPad->show();
    gpNumCharPad->show();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(m.get(), &press);
    EXPECT_FALSE(gpNumPad->isVisible());
    EXPECT_FALSE(gpNumCharPad->isVisible());

    // A tap on the status strip logs the operator out.
    m->loginLevel = 1;
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(m->ioStatusWidget, &release);
    EXPECT_EQ(m->loginLevel, 0);

    recorder().clear();
    m->FLushAll();
    EXPECT_FALSE(m->recordDb.isOpen());
    EXPECT_FALSE(m->paramDb.isOpen());
    ASSERT_EQ(recorder().programs(), QStringList{"sleep"}) << "files settle before a reboot";
}
