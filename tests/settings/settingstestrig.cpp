#include "settingstestrig.h"

#include <QSqlQuery>
#include <QVariant>

#include "globals.h"
#include "languagetable.h"
#include "operationlog.h"
#include "paramlimits.h"
#include "testsupport.h"
#include "wizardparastore.h"

namespace settingstest {

bool FakeHost::checkRoot(const dialogs::Subject& about) {
    calls << QStringLiteral("checkRoot");
    return serviceLevel && about.holds();
}
dialogs::Answer FakeHost::warn(const QString& text, const dialogs::Subject& about) {
    calls << QStringLiteral("warn");
    warnings << text;
    if (duringWarn) duringWarn();
    return about.holds() ? dialogs::Answer::Yes : dialogs::Answer::Gone;
}
dialogs::Answer FakeHost::ask(const QString& text, const dialogs::Subject& about) {
    calls << QStringLiteral("ask");
    questions << text;
    if (!about.holds()) return dialogs::Answer::Gone;
    return answer ? dialogs::Answer::Yes : dialogs::Answer::No;
}
void FakeHost::insertRecord(const QString& text) {
    calls << QStringLiteral("record");
    records << text;
}
void FakeHost::applyCamera(int camera, settings::CameraSetting setting) {
    calls << QStringLiteral("camera %1 %2").arg(camera).arg(int(setting));
}
void FakeHost::cameraSetSpeed() {
    calls << QStringLiteral("speed");
}
void FakeHost::restoreDefaultSettings(int camera) {
    note("defaults", camera);
    gpWParaBak->exposeTime[camera] = defaultExposure;
}
void FakeHost::showhideMscale() {
    calls << QStringLiteral("mscale");
}
bool FakeHost::clearRecord(const RecordListing&) {
    calls << QStringLiteral("clearRecord");
    return clearWorks;
}
RecordListing FakeHost::todaysRecords() {
    return {today, recordLog ? recordLog->recordsOf(today) : std::vector<OperationRecord>()};
}
void FakeHost::flushAll() {
    calls << QStringLiteral("flush");
    programsAtFlush = testsupport::recorder().programs();
    // As the window does: a file put in place meanwhile is what the connection opens again.
    QSqlDatabase::database(QLatin1String(params::kParamConnectionName), false).close();
}
void FakeHost::resumeAfterStop(bool wasRunning) {
    note("resume", wasRunning);
    QSqlDatabase::database(QLatin1String(params::kParamConnectionName), false).open();
}
void FakeHost::showCameraOrder() {
    calls << QStringLiteral("cameraOrder");
}
void FakeHost::showIONames() {
    calls << QStringLiteral("ioNames");
}
void FakeHost::setStatisticsTimer(bool on) {
    calls << QStringLiteral("setTimer %1").arg(on);
}
void FakeHost::checkCameraDetectCount(int n) {
    calls << QStringLiteral("checkCameraDetectCount %1").arg(n);
}
void FakeHost::updateLocalBaseInfo() {
    calls << QStringLiteral("updateLocalBaseInfo");
}

void FakeHost::stopCalibrationHold() {
    calls << QStringLiteral("stopCalibrationHold");
}

Rig::Rig() : language_(gLan), dNum_(gDNum) {
    fillLanguageTable();
    gLan = 1;
    WizardParaStore::createDefaultDatabase(work.file(QStringLiteral("PARAM.db")));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"),
                                                QLatin1String(params::kParamConnectionName));
    db.setDatabaseName(work.file(QStringLiteral("PARAM.db")));
    db.open();
    gpWPara = new WizardPara;
    gpWParaBak = new WizardPara;
    gpWPara->LoadDatafromFile();
    gLan = 1;  // the tests read English texts
    *gpWParaBak = *gpWPara;
    owner.resize(1920, 1080);
}

Rig::~Rig() {
    // The screens work on the parameters: they go first.
    qDeleteAll(owner.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly));
    delete gpWPara;
    delete gpWParaBak;
    gpWPara = gpWParaBak = nullptr;
    {
        QSqlDatabase db =
            QSqlDatabase::database(QLatin1String(params::kParamConnectionName), false);
        db.close();
    }
    QSqlDatabase::removeDatabase(QLatin1String(params::kParamConnectionName));
    gLan = language_;
    gDNum = dNum_;
}

QString Rig::row(const QString& name) const {
    QSqlQuery q(QSqlDatabase::database(QLatin1String(params::kParamConnectionName), false));
    q.prepare(QStringLiteral("select value from sysparam where name = ?"));
    q.addBindValue(name);
    return q.exec() && q.next() ? q.value(0).toString() : QString();
}

void Rig::loadFromFile(WizardPara& into) const {
    const QString name = QStringLiteral("settingstest-load");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(work.file(QStringLiteral("PARAM.db")));
        db.open();
        const int lan = gLan;
        const int dNum = gDNum;
        into.LoadDatafromFile(db);
        gLan = lan;
        gDNum = dNum;
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

}  // namespace settingstest
