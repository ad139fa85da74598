// Message, choice and password boxes, answered through the dialog seam.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "choosebox.h"
#include "dialogseam.h"
#include "edit.h"
#include "globals.h"
#include "langtable.h"
#include "lostcamerawarnbox.h"
#include "numberinput.h"
#include "passwordbox.h"
#include "productalarmwarnbox.h"
#include "question.h"
#include "testsupport.h"
#include "uifont.h"
#include "warnbox.h"
#include "writefailuretexts.h"

namespace {

QPushButton* button(QWidget* parent, const char* name) {
    return parent->findChild<QPushButton*>(QString::fromLatin1(name));
}

QLabel* messageLabel(QWidget* box) {
    return box->findChild<QLabel*>(QStringLiteral("message"));
}

// The words on the box, whatever lines the box broke them into.
QString shownMessage(QWidget* box) {
    return messageLabel(box)->text().simplified();
}

// Answers a password box by typing the given text and pressing Confirm; a box still open
// after that (wrong password) is cancelled.
dialogs::Answerer typePassword(const QString& password) {
    return [password](QDialog* dialog) {
        auto* box = qobject_cast<PasswordBox*>(dialog);
        if (!box) return int(QDialog::Rejected);
        box->setEnteredPassword(password);
        box->accept();
        return box->result() == QDialog::Accepted ? int(QDialog::Accepted) : int(QDialog::Rejected);
    };
}

}  // namespace

TEST(DialogSeam, ChooseBoxTakesScriptedAnswersWithoutOpening) {
    ChooseBox box(nullptr, 750, 370);
    dialogs::ScopedAnswerer answers({QDialog::Accepted, QDialog::Rejected});
    box.setText(QStringLiteral("Be sure to stop the detection?"));
    EXPECT_EQ(box.exec(), 1);
    EXPECT_FALSE(box.isVisible());
    box.setText(QStringLiteral("Be sure to resample the template?"));
    EXPECT_EQ(box.exec(), 0);
    // The script is used up: the fallback answer is No.
    EXPECT_EQ(box.exec(), QDialog::Rejected);

    ASSERT_EQ(answers.count(), 3);
    EXPECT_EQ(answers.asked()[0].className, QStringLiteral("ChooseBox"));
    EXPECT_EQ(answers.asked()[0].text, QStringLiteral("Be sure to stop the detection?"));
    EXPECT_EQ(answers.asked()[1].text, QStringLiteral("Be sure to resample the template?"));
    EXPECT_EQ(box.size(), QSize(750, 370));
}

TEST(DialogSeam, ScopesNestAndRestore) {
    EXPECT_FALSE(dialogs::hasAnswerer());
    WarnBox box(nullptr);
    {
        dialogs::ScopedAnswerer outer({7});
        {
            dialogs::ScopedAnswerer inner([](QDialog*) { return 3; });
            EXPECT_EQ(box.exec(), 3);
        }
        EXPECT_EQ(box.exec(), 7);
    }
    EXPECT_FALSE(dialogs::hasAnswerer());
}

TEST(DialogSeam, WithoutAnswererTheRealModalLoopRuns) {
    LangTable lang({{121, "Confirm"}, {124, "Cancel"}});
    ChooseBox box(nullptr, 600, 300);
    QTimer::singleShot(0, &box, [&box] { button(&box, "confirm")->click(); });
    EXPECT_EQ(box.exec(), QDialog::Accepted);
    QTimer::singleShot(0, &box, [&box] { button(&box, "cancel")->click(); });
    EXPECT_EQ(box.exec(), QDialog::Rejected);
    EXPECT_EQ(button(&box, "confirm")->text(), QStringLiteral("Confirm"));
    EXPECT_EQ(button(&box, "cancel")->text(), QStringLiteral("Cancel"));
}

// While the operator reads a question, a timer asks another on the same box (an alarm's timed
// release asks to save the areas): that one is not asked, and the open question keeps its
// words, since its answer goes to the one who asked it.
TEST(ChooseBox, AQuestionAskedOverAnOpenOneIsDeclinedAndLeavesItsWords) {
    LangTable lang({{121, "Confirm"}, {124, "Cancel"}});
    const QString open = QStringLiteral("Be sure not to detect this mold for camera 1?");
    const QString late = QStringLiteral("Whether to save parameter?");
    ChooseBox box(nullptr, 600, 300);
    int lateAnswer = -2;
    QString shown;
    const auto askLate = [&] {
        box.setText(late);
        lateAnswer = box.exec();
        shown = box.text();
    };
    QTimer::singleShot(0, &box, [&] {
        askLate();
        shown = shownMessage(&box);
        button(&box, "confirm")->click();
    });
    box.setText(open);
    EXPECT_EQ(box.exec(), QDialog::Accepted);
    EXPECT_EQ(lateAnswer, QDialog::Rejected);
    EXPECT_EQ(shown, open);

    // Answered through the seam, the late question reaches no answerer either.
    dialogs::ScopedAnswerer answers([&](QDialog*) {
        askLate();
        return int(QDialog::Accepted);
    });
    box.setText(open);
    EXPECT_EQ(box.exec(), QDialog::Accepted);
    EXPECT_EQ(lateAnswer, QDialog::Rejected);
    EXPECT_EQ(shown, open);
    EXPECT_EQ(answers.count(), 1);
}

TEST(WarnBox, ShowsTheStoredTextCentredAndReportsBeingShown) {
    WarnBox box(nullptr);
    QSignalSpy shown(&box, &WarnBox::sigShown);
    box.setText(QStringLiteral("Warning: The camera is unavailable, \r\n please check!"));
    // Setting the text alone changes nothing on screen.
    EXPECT_TRUE(shownMessage(&box).isEmpty());
    EXPECT_EQ(shown.count(), 0);

    box.show();
    EXPECT_EQ(shown.count(), 1);
    EXPECT_EQ(messageLabel(&box)->text(),
              QStringLiteral("Warning: The camera is unavailable, \n please check!"));
    EXPECT_EQ(box.size(), QSize(750, 370));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_LE((box.geometry().center() - screen.center()).manhattanLength(), 2);
    box.hide();

    // An answered exec counts as shown too (the screen must light up for the message).
    dialogs::ScopedAnswerer answers({QDialog::Accepted});
    box.exec();
    EXPECT_EQ(shown.count(), 2);
}

// The box is shared: a warning that comes while another is open waits its turn, whether its
// caller blocks (exec) or not (show), and a condition that ends takes back only its own words.
TEST(WarnBox, EachWarningIsReadWithItsOwnWordsInTurn) {
    const QString first = QStringLiteral("The system refused: poweroff");
    const QString second = QStringLiteral("Template 1 cannot be written");
    enum Second { Modal, ModalOverModal, Shown, ShownThenTakenBack, FirstTakenBack };
    for (const Second how : {Modal, ModalOverModal, Shown, ShownThenTakenBack, FirstTakenBack}) {
        SCOPED_TRACE(how);
        WarnBox box(nullptr);
        box.setText(first);
        if (how != ModalOverModal) box.show();
        QStringList read;  // the words on the box each time it is confirmed or taken down
        QObject::connect(&box, &WarnBox::sigDown, [&] { read << shownMessage(&box); });
        const auto confirm = [&] {
            QCoreApplication::sendPostedEvents();
            if (box.isVisible()) button(&box, "confirm")->click();
        };
        int answer = -1;
        const auto askSecond = [&] {
            // The operator confirms whatever the box shows.
            QObject::connect(&box, &WarnBox::sigShown,
                             [&] { QTimer::singleShot(0, &box, confirm); });
            QTimer::singleShot(0, &box, confirm);
            box.setText(second);
            answer = box.exec();
        };
        if (how == Modal || how == ModalOverModal) {
            if (how == Modal) {
                askSecond();
            } else {
                QTimer::singleShot(0, &box, askSecond);
                box.exec();
            }
            EXPECT_EQ(answer, QDialog::Accepted);
        } else {
            box.setText(second);
            box.show();
            EXPECT_EQ(shownMessage(&box), first);
            if (how == ShownThenTakenBack) box.withdraw(second);
            if (how == FirstTakenBack) box.withdraw(first);
            confirm();
            confirm();
        }
        const QStringList expected =
            how == ShownThenTakenBack ? QStringList{first} : QStringList{first, second};
        EXPECT_EQ(read, expected);
        EXPECT_FALSE(box.isVisible());
    }
}

// A message wider than the box is broken between phrases in every language: a file that
// cannot be written stays whole, and so does every phrase of the cause ("磁盘空间已满", not
// "磁盘空间" on one line and "已满" on the next).
TEST(WarnBox, BreaksALongMessageBetweenPhrasesInEveryLanguage) {
    const QStringList phrases[kLanguageCount] = {
        {"无法写入", "磁盘空间已满"},
        {"cannot", "written", "space", "disk"},
        {"無法寫入", "磁碟空間已滿"},
        {"書き込めません", "ディスクの", "空き容量が", "ありません"}};
    const int previous = gLan;
    for (int language = 0; language < kLanguageCount; ++language) {
        gLan = language;
        applyUiFont(*qApp, language, UiFontLog::Quiet);
        for (const QString file : {"RECORD.db", "cammer11/template1.bmp", "cammer11/template10.bmp",
                                   "cnt_net/workspace/count.ini"}) {
            SCOPED_TRACE(QStringLiteral("language %1, %2").arg(language).arg(file).toStdString());
            WarnBox box(nullptr);
            box.setText(lang::cannotWriteText(file, storage::WriteCause::NoSpace));
            box.show();
            const QStringList lines = testsupport::labelLines(*messageLabel(&box));
            for (const QString& phrase : phrases[language] + QStringList{file}) {
                const auto whole = [&](const QString& line) { return line.contains(phrase); };
                EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), whole))
                    << phrase.toStdString() << " in " << lines.join('|').toStdString();
            }
        }
    }
    gLan = previous;
    applyUiFont(*qApp, previous, UiFontLog::Quiet);
}

TEST(WarnBox, EveryBoxReportsToTheOneHub) {
    LangTable lang({{39, "Warning: The camera is unavailable"}});
    QSignalSpy anyShown(WarnBox::hub(), &WarnBoxHub::sigAnyShown);
    dialogs::ScopedAnswerer answers({}, QDialog::Accepted);
    WarnBox local(nullptr);  // as a screen makes one for itself
    local.exec();
    local.show();
    LostCameraWarnBox lost(nullptr);
    lost.show();
    ProductAlarmWarnBox product(nullptr);
    product.show();
    EXPECT_EQ(anyShown.count(), 4);
}

TEST(WarnBox, AdoptedByAParentStaysAWindow) {
    QWidget mainWindow;
    mainWindow.resize(1000, 800);
    WarnBox box(nullptr);
    dialogs::adopt(&box, &mainWindow, Qt::WindowStaysOnTopHint);
    EXPECT_EQ(box.parentWidget(), &mainWindow);
    EXPECT_TRUE(box.isWindow());
    EXPECT_TRUE(box.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(box.windowFlags() & Qt::FramelessWindowHint);
}

// The count box and the camera-loss box are shown without blocking: the cycle goes on while
// they are up. Confirm does their deed only while what they ask about holds; a change of it
// takes the box down by itself, and a confirm that comes after does nothing.
TEST(AlarmBoxes, ConfirmDoesTheDeedOnlyWhileTheSubjectHolds) {
    LangTable lang({{39, "Warning: The camera is unavailable"}, {661, "Production reached"}});
    enum Change { None, Declined, ChangedThenConfirmed, ChangedAndLookedAt, Hidden, Stop, Twice };
    struct Row {
        Change change;
        std::vector<int> deeds;  // which question's deed ran: 1 the first, 2 one asked again
        bool upAfter;            // the box still up before the answer
    } rows[] = {
        {None, {1}, true},
        {Declined, {}, true},
        {ChangedThenConfirmed, {}, true},
        {ChangedAndLookedAt, {}, false},
        {Hidden, {}, false},
        {Stop, {}, false},
        {Twice, {2}, true},
    };
    ProductAlarmWarnBox product(nullptr);
    LostCameraWarnBox lost(nullptr);
    EXPECT_EQ(product.text(), QStringLiteral("Production reached"));
    EXPECT_EQ(lost.text(), QStringLiteral("Warning: The camera is unavailable"));
    for (WarnBox* box : std::vector<WarnBox*>{&product, &lost}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(testing::Message() << box->metaObject()->className() << " " << row.change);
            qint64 serial = 1;
            const dialogs::Subject about("the alarm",
                                         [&serial] { return dialogs::Subject::Reading{serial}; });
            std::vector<int> deeds;
            QSignalSpy shown(box, &WarnBox::sigShown);
            dialogs::askWithoutBlocking(*box, about, [&deeds] { deeds.push_back(1); });
            EXPECT_TRUE(box->isVisible());
            EXPECT_TRUE(dialogs::isAsking(*box));
            EXPECT_EQ(shown.count(), 1);
            switch (row.change) {
                case None:
                case Declined:
                    break;
                case ChangedThenConfirmed:
                    ++serial;
                    break;
                case ChangedAndLookedAt:
                    ++serial;
                    EXPECT_TRUE(testsupport::waitFor([&] { return !box->isVisible(); }, 5000));
                    break;
                case Hidden:
                    box->hide();
                    QCoreApplication::processEvents();
                    break;
                case Stop:
                    dialogs::stopAll();
                    dialogs::resumeAsking();
                    break;
                case Twice:
                    dialogs::askWithoutBlocking(*box, about, [&deeds] { deeds.push_back(2); });
                    break;
            }
            EXPECT_EQ(box->isVisible(), row.upAfter);
            // A stale answer reaches the box as the operator's would (a test's, a late click).
            if (row.change == Declined)
                box->reject();
            else if (box->isVisible())
                button(box, "confirm")->click();
            else
                box->accept();
            EXPECT_EQ(deeds, row.deeds);
            EXPECT_FALSE(box->isVisible());
            EXPECT_FALSE(dialogs::isAsking(*box));
            QCoreApplication::processEvents();
        }
    }
}

TEST(PasswordBox, LevelRules) {
    EXPECT_EQ(PasswordBox::levelFor("1111", "1111", "8888"), 1);
    EXPECT_EQ(PasswordBox::levelFor("8888", "1111", "8888"), 2);
    EXPECT_EQ(PasswordBox::levelFor("1234", "1111", "8888"), 0);
    // Nothing entered never logs in, even when a secret is not set.
    EXPECT_EQ(PasswordBox::levelFor("", "", ""), 0);
    EXPECT_EQ(PasswordBox::levelFor("", "1111", ""), 0);
    // An operator password equal to the service code gives the operator level only.
    EXPECT_EQ(PasswordBox::levelFor("8888", "8888", "8888"), 1);
}

TEST(PasswordBox, OperatorPasswordServiceCodeAndWrongCodeThroughTheSeam) {
    LangTable lang({{125, "Password:"}, {357, "The password is wrong"}});
    PasswordBox box(nullptr);
    box.setCredentials(QStringLiteral("1111"), QStringLiteral("8888"));
    QSignalSpy levels(&box, &PasswordBox::sigLoginLevel);

    {
        dialogs::ScopedAnswerer operatorLogin(typePassword(QStringLiteral("1111")));
        EXPECT_EQ(box.exec(), QDialog::Accepted);
        EXPECT_EQ(box.loginLevel(), PasswordBox::Primary);
        EXPECT_EQ(operatorLogin.asked()[0].text, QStringLiteral("Password:"));
    }
    {
        dialogs::ScopedAnswerer serviceLogin(typePassword(QStringLiteral("8888")));
        EXPECT_EQ(box.exec(), QDialog::Accepted);
        EXPECT_EQ(box.loginLevel(), PasswordBox::Advanced);
    }
    {
        dialogs::ScopedAnswerer wrong(typePassword(QStringLiteral("1234")));
        EXPECT_EQ(box.exec(), QDialog::Rejected);
        // A new run starts from nothing: the earlier service login does not linger.
        EXPECT_EQ(box.loginLevel(), PasswordBox::Unlogged);
        EXPECT_EQ(shownMessage(&box), QStringLiteral("The password is wrong"));
        EXPECT_TRUE(box.entryField()->text().isEmpty());
    }
    ASSERT_EQ(levels.count(), 3);
    EXPECT_EQ(levels[0][0].toInt(), 1);
    EXPECT_EQ(levels[1][0].toInt(), 2);
    EXPECT_EQ(levels[2][0].toInt(), 0);
}

TEST(PasswordBox, TypedOnTheDigitKeypadAndCheckedWhenItCloses) {
    LangTable lang({{121, "Confirm"}, {157, "BS"}, {357, "The password is wrong"}});
    gpNumPad = new NumberInput(nullptr);
    gpPasswordBox = new PasswordBox(nullptr);
    gpPasswordBox->setCredentials(QStringLiteral("2468"), QStringLiteral("97531"));

    gpPasswordBox->show();
    // The keypad opens inside the box, so the modal box does not block it.
    ASSERT_TRUE(gpNumPad->isVisible());
    EXPECT_EQ(gpNumPad->parentWidget(), gpPasswordBox);
    EXPECT_EQ(gpNumPad->target(), gpPasswordBox->entryField());
    // A wrong code keeps the box open for another try, keypad included.
    button(gpNumPad, "key_5")->click();
    button(gpNumPad, "key_enter")->click();
    EXPECT_TRUE(gpPasswordBox->isVisible());
    EXPECT_TRUE(gpNumPad->isVisible());
    EXPECT_EQ(gpPasswordBox->loginLevel(), PasswordBox::Unlogged);
    EXPECT_EQ(shownMessage(gpPasswordBox), QStringLiteral("The password is wrong"));
    EXPECT_TRUE(gpPasswordBox->entryField()->text().isEmpty());

    for (const char* key : {"key_2", "key_4", "key_6", "key_9", "key_backspace", "key_8"})
        button(gpNumPad, key)->click();
    EXPECT_EQ(gpPasswordBox->entryField()->text(), QStringLiteral("2468"));
    button(gpNumPad, "key_enter")->click();

    EXPECT_EQ(gpPasswordBox->loginLevel(), PasswordBox::Primary);
    EXPECT_FALSE(gpPasswordBox->isVisible());
    EXPECT_FALSE(gpNumPad->isVisible());

    delete gpPasswordBox;  // takes the keypad that moved into it along
    gpPasswordBox = nullptr;
    gpNumPad = nullptr;
}

// A box asked about a subject answers only while the subject reads as it did when the road
// began: a change before the box, during an answered box, or while a real box is open (which
// then goes down by itself), and the program's stop, all answer Gone.
TEST(Question, AnAnswerCountsOnlyWhileItsSubjectHolds) {
    LangTable lang({{121, "Confirm"}, {124, "Cancel"}});
    enum Change { None, BeforeTheBox, WhileAnswered, WhileOpen, Stop };
    struct Row {
        Change change;
        bool answerer;
        dialogs::Answer expected;
        int asked;  // boxes the operator saw
    };
    const Row rows[] = {
        {None, true, dialogs::Answer::Yes, 1},
        {BeforeTheBox, true, dialogs::Answer::Gone, 0},
        {WhileAnswered, true, dialogs::Answer::Gone, 1},
        {WhileOpen, false, dialogs::Answer::Gone, 1},
        {Stop, true, dialogs::Answer::Gone, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(int(row.change));
        qint64 alarm = 1;
        const dialogs::Subject subject("the alarm",
                                       [&alarm] { return dialogs::Subject::Reading{alarm}; });
        ChooseBox box(nullptr, 600, 300);
        if (row.change == BeforeTheBox) ++alarm;
        if (row.change == Stop) dialogs::stopAll();
        int asked = 0;
        dialogs::Answer answer;
        if (row.answerer) {
            dialogs::ScopedAnswerer answers([&](QDialog*) {
                ++asked;
                if (row.change == WhileAnswered) ++alarm;
                return int(QDialog::Accepted);
            });
            answer = dialogs::ask(box, subject);
            for (const dialogs::Asked& a : answers.asked()) EXPECT_TRUE(a.aboutSubject);
        } else {
            QTimer::singleShot(0, &box, [&] {
                asked += box.isVisible() ? 1 : 0;
                ++alarm;
            });
            answer = dialogs::ask(box, subject);
            EXPECT_FALSE(box.isVisible());
        }
        dialogs::resumeAsking();
        EXPECT_EQ(answer, row.expected);
        EXPECT_EQ(asked, row.asked);
    }
}

// A warning waiting for its turn behind another must end when the program quits: a modal loop
// returns at once then, and waiting again would spin for ever. Every box after it answers Gone.
TEST(Question, AQuitEndsAWarningThatWaitsItsTurn) {
    LangTable lang({{121, "Confirm"}});
    WarnBox box(nullptr);
    box.setText(QStringLiteral("first"));
    box.show();
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    for (const char* words : {"second", "third"}) {
        box.setText(QString::fromLatin1(words));
        EXPECT_EQ(dialogs::ask(box, dialogs::Subject::program()), dialogs::Answer::Gone);
        EXPECT_TRUE(dialogs::stopping());
    }
    dialogs::resumeAsking();
    box.hide();
    QCoreApplication::processEvents();
}

// The box's buttons are named in the language in force when it is shown, not the one it was
// made in.
TEST(Question, ButtonsSpeakTheLanguageInForceWhenShown) {
    LangTable lang({{121, "Confirm"}}, {{121, "确定"}});
    gLan = 0;
    WarnBox box(nullptr);
    gLan = 1;
    box.show();
    EXPECT_EQ(button(&box, "confirm")->text(), QStringLiteral("Confirm"));
    box.hide();
}

// The box is typed on its keypad alone: whatever had the focus before the box came up, and
// whatever window was raised over it meanwhile, the box that is active has its keypad up.
TEST(PasswordBox, TheActiveBoxHasItsKeypadUp) {
    LangTable lang({{121, "Confirm"}, {157, "BS"}});
    struct Road {
        const char* name;
        bool fieldTypedIn;
        bool windowOver;
    };
    for (const Road& road : {Road{"a field of another window was being typed in", true, false},
                             Road{"a warning was raised over the box and closed", false, true}}) {
        SCOPED_TRACE(road.name);
        gpNumPad = new NumberInput(nullptr);
        QWidget page;
        auto* field = new Edit(&page, Edit::Number);
        page.show();
        page.activateWindow();
        QApplication::processEvents();
        if (road.fieldTypedIn) {
            field->setFocus();
            QTest::mouseClick(field, Qt::LeftButton);
            ASSERT_EQ(gpNumPad->target(), field);
        }
        gpPasswordBox = new PasswordBox(nullptr);
        gpPasswordBox->show();
        QApplication::processEvents();
        if (road.windowOver) {
            QDialog warning;
            warning.show();
            QApplication::processEvents();
            ASSERT_EQ(QApplication::activeWindow(), &warning);
            warning.hide();
            gpPasswordBox->activateWindow();
            QApplication::processEvents();
        }
        ASSERT_EQ(QApplication::activeWindow(), gpPasswordBox);
        EXPECT_TRUE(gpNumPad->isVisible());
        EXPECT_EQ(gpNumPad->target(), gpPasswordBox->entryField());

        delete gpPasswordBox;  // takes the keypad that moved into it along
        gpPasswordBox = nullptr;
        gpNumPad = nullptr;
    }
}
