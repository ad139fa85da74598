#include "wizardpara.h"

#include "globals.h"
#include "paramfiles.h"
#include "paramgroups.h"
#include "paramschema.h"
#include "wizardparalayout.h"
#include "wizardparastore.h"

WizardPara::WizardPara() {
    params::ParamSchema::applyInitial(*this);
    detectEnable[1] = 1;
    curGroupName = QLatin1String(params::kDefaultGroupName);
}

WizardPara::~WizardPara() = default;

WizardPara& WizardPara::operator=(const WizardPara& other) = default;

bool WizardPara::LoadDatafromFile(QSqlDatabase db) {
    int language = gLan;
    const bool read = readStored(db, &language, &gDNum);
    gLan = language;
    params::deriveNames(*this, gLan, QLatin1String(params::kNameFile), gaName);
    return read;
}

bool WizardPara::readStored(QSqlDatabase db, int* language, int* steps) {
    curGroupIndex = params::readGroupIndex(QLatin1String(params::kGroupIndexFile));
    updateGroupName();

    params::StoreContext ctx;
    ctx.language = *language;
    const bool read = WizardParaStore(db).readRows(*this, ctx);

    params::ParamSchema::applyLoadChecks(*this, ctx);
    detectModeNext = detectMode;
    // An empty service code would open the service pages to anyone.
    if (serviceCode[0] == '\0') setServiceCode(QLatin1String(params::kFactoryServiceCode));
    *language = ctx.language;
    params::applyFunctionFallback(*this);
    *steps = params::deriveLayout(*this);
    return read;
}

bool WizardPara::SaveDatatoFile(QSqlDatabase db) const {
    params::StoreContext ctx;
    ctx.language = gLan;
    return WizardParaStore(db).writeRows(*this, ctx);
}

bool WizardPara::SaveChkDBItem(const QString& name, QSqlDatabase db) {
    return WizardParaStore(db).ensureRow(name, QStringLiteral("0"));
}

void WizardPara::updateGroupName() {
    groupDir.setPath(QStringLiteral("./") + QLatin1String(params::kGroupFolder));
    curGroupName = ParamGroups().nameAt(curGroupIndex);
}

bool WizardPara::SaveAddFile() {
    if (!params::writeGroupIndex(QLatin1String(params::kGroupIndexFile), curGroupIndex))
        return false;
    updateGroupName();
    return true;
}

bool WizardPara::selectGroup(const QString& name) {
    curGroupIndex = ParamGroups().indexOf(name);
    return SaveAddFile();
}

QString WizardPara::passwordText() const {
    return params::textField(password);
}

bool WizardPara::setPassword(const QString& text) {
    return params::setTextField(password, text);
}

QString WizardPara::serviceCodeText() const {
    return params::textField(serviceCode);
}

bool WizardPara::setServiceCode(const QString& text) {
    return !text.isEmpty() && params::setTextField(serviceCode, text);
}

int WizardPara::stepDelay(int step) const {
    if (step < 0 || step >= params::kStepCount) return 0;
    return qMax(0, trigInDelay[step]);
}
