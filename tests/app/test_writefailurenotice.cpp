// The list of files that cannot be written, on the shared warning box beside the program's
// other warnings: it waits for a warning already shown, and a list the operator confirmed
// stays down while the same files fail again and again.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QTimer>
#include <cerrno>

#include "storagelimits.h"
#include "warnbox.h"
#include "writefailurenotice.h"
#include "writefailuretexts.h"
#include "writewatch.h"

using storage::WriteWatch;

namespace {

void confirm(WarnBox& box) {
    box.findChild<QAbstractButton*>("confirm")->click();
    QCoreApplication::sendPostedEvents();
}

struct Notice {
    WarnBox box{nullptr};
    WriteWatch watch;
    WriteFailureNotice notice{watch, &box};
    qint64 now = 0;
    int shown = 0;
    Notice() {
        watch.setClock([this] { return now; });
        QObject::connect(&watch, &WriteWatch::sigWriteFailed, &notice, &WriteFailureNotice::show);
        QObject::connect(&box, &WarnBox::sigShown, [this] { ++shown; });
    }
    QString line(const QString& file) const {
        return lang::cannotWriteText(file, storage::probeWriteCause(file));
    }
};

}  // namespace

TEST(WriteFailureNotice, AWarningOnTheBoxIsReadWithItsOwnWordsBeforeTheList) {
    for (const bool modal : {false, true}) {
        SCOPED_TRACE(modal ? "run modally" : "shown without blocking");
        Notice n;
        n.box.setText("The system refused: poweroff");
        const auto failAndLook = [&] {
            n.watch.report(WriteWatch::Counters, false, "nowhere/count.ini");
            EXPECT_EQ(n.box.text(), "The system refused: poweroff");
            EXPECT_TRUE(n.notice.isOwed());
            confirm(n.box);
        };
        if (modal) {
            QTimer::singleShot(0, &n.box, failAndLook);
            n.box.exec();
        } else {
            n.box.show();
            failAndLook();
        }
        QCoreApplication::sendPostedEvents();
        EXPECT_TRUE(n.box.isVisible());
        EXPECT_EQ(n.box.text(), n.line("nowhere/count.ini"));
        confirm(n.box);
        EXPECT_FALSE(n.notice.isOwed());
    }
}

TEST(WriteFailureNotice, AConfirmedListComesBackOnlyForANewFileCauseOrRound) {
    struct Row {
        const char* what;
        WriteWatch::Store store;
        const char* file;
        qint64 writtenWellMs;
        int error;  // of the write that fails last, 0 for none
        bool shown;
    } const rows[] = {
        {"the same pictures by turns", WriteWatch::Pictures, "full/pictures", 1000, 0, false},
        {"the same pictures after a good while", WriteWatch::Pictures, "full/pictures",
         storage::kWrittenWellBeforeToldAgainMs, 0, true},
        {"another file of the store", WriteWatch::Pictures, "full/other", 1000, 0, true},
        {"another store", WriteWatch::Counters, "full/pictures", 1000, 0, true},
        {"another cause", WriteWatch::Pictures, "full/pictures", 1000, ENOSPC, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Notice n;
        n.watch.report(WriteWatch::Pictures, false, "full/pictures");
        ASSERT_TRUE(n.box.isVisible());
        confirm(n.box);
        ASSERT_FALSE(n.box.isVisible());
        for (int mould = 0; mould < 10; ++mould) {
            n.watch.report(WriteWatch::Pictures, true, "full/pictures");
            n.now += 1000;
            n.watch.report(WriteWatch::Pictures, false, "full/pictures");
        }
        EXPECT_FALSE(n.box.isVisible());
        EXPECT_EQ(n.shown, 1);

        n.watch.report(row.store, true, row.file);
        n.now += row.writtenWellMs;
        storage::noteWriteOutcome(QString(row.file) + "/ng.jpg", row.error);
        n.watch.report(row.store, false, row.file);
        EXPECT_EQ(n.box.isVisible(), row.shown);
        EXPECT_EQ(n.shown, row.shown ? 2 : 1);
        if (row.shown) {
            EXPECT_TRUE(n.box.text().contains(n.line(row.file)));
        }
    }
}
