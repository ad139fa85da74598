// The IO-board simulator's names for the output terminals: what each means at the machine and
// which level switches it on, from the factory values or from a panel's parameter database.
#include <gtest/gtest.h>

#include <QDir>
#include <QSqlDatabase>

#include "outputnames.h"
#include "sqlitefiles.h"
#include "testsupport.h"
#include "wizardpara.h"
#include "wizardparastore.h"

namespace {

// A parameter database with the factory values, changed by `edit`.
void makeParams(const QString& path, const std::function<void(WizardPara&)>& edit) {
    ASSERT_TRUE(WizardParaStore::createDefaultDatabase(path));
    storage::SqliteConnection connection(path, QStringLiteral("names-test"));
    ASSERT_TRUE(connection.isOpen());
    WizardPara para;
    params::StoreContext ctx;
    ctx.language = 1;
    WizardParaStore store(connection.database());
    ASSERT_TRUE(store.readRows(para, ctx));
    edit(para);
    ASSERT_TRUE(store.writeRows(para, ctx));
}

}  // namespace

TEST(IoSimOutputNames, TerminalsAreNamedWithTheirMeaningAndActiveLevel) {
    testsupport::WorkDir work;
    const struct {
        const char* name;
        std::function<void(WizardPara&)> edit;  // null: the factory values without a file
        int bit;
        const char* terminal;
        bool invertedExpected;
        const char* onMeaning;
    } rows[] = {
        {"factory alarm", nullptr, 2, "Alrm", true, "alarm"},
        {"factory clamp", nullptr, 0, "Clmp", false, "mould closing withheld"},
        {"factory NG output", nullptr, 4, "", true, "NG output on"},
        {"alarm not inverted", [](WizardPara& p) { p.outputInvert[2] = 0; }, 2, "Alrm", false,
         "alarm"},
        {"NG outputs with pulses", [](WizardPara& p) { p.ejectorPulseOnProdNG = 1; }, 5, "", false,
         "NG output on"},
        {"fourth output mirrors the alarm", [](WizardPara& p) { p.output4Use = 3; }, 3, "RSV",
         false, "mirrors OUT3: alarm"},
        {"multi-detection names", [](WizardPara& p) { p.detectMode = 3; }, 2, "Alrm", true,
         "alarm"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        iosim::OutputNames names;
        if (row.edit) {
            const QString path = QDir::current().filePath(QString("%1.db").arg(&row - rows));
            makeParams(path, row.edit);
            QString error;
            ASSERT_TRUE(names.load(path, &error)) << error.toStdString();
        }
        const iosim::OutputTerminal& t = names.terminal(row.bit);
        EXPECT_EQ(t.name, QString(row.terminal));
        EXPECT_EQ(t.inverted, row.invertedExpected);
        EXPECT_EQ(t.onText, QString(row.onMeaning));
        // The word that switches the terminal on has the level the parameters give it.
        const quint32 onWord = row.invertedExpected ? 0u : (1u << row.bit);
        EXPECT_TRUE(names.isOn(onWord, row.bit));
        EXPECT_FALSE(names.isOn(onWord ^ (1u << row.bit), row.bit));
        const QStringList change = names.describeChanges(onWord ^ (1u << row.bit), onWord);
        ASSERT_EQ(change.size(), 1);
        EXPECT_TRUE(change.first().startsWith(QString("OUT%1").arg(row.bit + 1)));
        EXPECT_TRUE(change.first().contains(QString(": ON - %1").arg(row.onMeaning)))
            << change.first().toStdString();
    }
}

TEST(IoSimOutputNames, AnUnreadableFileKeepsTheNamesAndAChangedFileIsReadAgain) {
    testsupport::WorkDir work;
    iosim::OutputNames names;
    QString error;
    EXPECT_FALSE(names.load("missing.db", &error));
    EXPECT_FALSE(error.isEmpty());
    QFile junk("junk.db");
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    EXPECT_FALSE(names.load("junk.db", &error));
    EXPECT_TRUE(names.terminal(2).inverted) << "the factory levels stay";

    makeParams("PARAM.db", [](WizardPara&) {});
    ASSERT_TRUE(names.load("PARAM.db"));
    EXPECT_FALSE(names.reloadIfChanged()) << "nothing changed";
    QFile::remove("PARAM.db");
    makeParams("PARAM.db", [](WizardPara& p) { p.outputInvert[2] = 0; });
    QFile stamp("PARAM.db");
    ASSERT_TRUE(stamp.open(QIODevice::ReadWrite));
    ASSERT_TRUE(stamp.setFileTime(QDateTime::currentDateTime().addSecs(5),
                                  QFileDevice::FileModificationTime));
    stamp.close();
    EXPECT_TRUE(names.reloadIfChanged());
    EXPECT_FALSE(names.terminal(2).inverted);
}
