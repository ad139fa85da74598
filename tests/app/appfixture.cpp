#include "appfixture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QWidget>

#include "globals.h"
#include "languagetable.h"
#include "operationlog.h"
#include "wizardparastore.h"

namespace apptest {

void prepareProcessGlobals() {
    if (!pMutexIO) pMutexIO = new QMutex;
    if (!pMutexSaveFail) pMutexSaveFail = new QMutex;
    fillLanguageTable();
}

void installFactoryFiles() {
    QDir().mkpath("paraGroup/default");
    ASSERT_TRUE(WizardParaStore::createDefaultDatabase("paraGroup/default/PARAM.db"));
    ASSERT_TRUE(QFile::copy("paraGroup/default/PARAM.db", "PARAM.db"));
    ASSERT_TRUE(OperationLog::createEmptyDatabase("RECORDNULL.db"));
    ASSERT_TRUE(QFile::copy("RECORDNULL.db", "RECORD.db"));
}

QStringList topLevelClassNames() {
    QStringList names;
    for (QWidget* w : QApplication::topLevelWidgets())
        names << QString::fromLatin1(w->metaObject()->className());
    names.sort();
    return names;
}

}  // namespace apptest
