#include "settingssession.h"

#include <QtDebug>

#include "acceptedsettings.h"
#include "globals.h"
#include "paramlimits.h"
#include "systemcommands.h"
#include "wizardpara.h"
#include "wizardparalayout.h"
#include "writefailuretexts.h"

namespace settings {

namespace {
constexpr int kEntryPasswordEmpty = 278;
constexpr int kEntryPasswordsDiffer = 280;
constexpr int kEntryPasswordChanged = 279;
constexpr int kEntryPasswordRecord = 249;
constexpr int kEntryParamsChanged = 235;
constexpr int kEntryFieldChanged = 245;  // ", %1 is changed from %2 to %3"
constexpr int kEntryAskLanguage = 318;
constexpr int kEntryLanguageRecord = 319;  // "Switch language then restart"
// The language put in force, written before a notice that stands between the confirm and the
// restart: an NG alarm may end that notice, and then no restart follows (nor any record).
const char* const kLanguageSwitchedRecord[kLanguageCount] = {"切换语言", "Switch language",
                                                             "切換語言", "言語を切り替え"};
}  // namespace

bool restartPanel(SettingsHost& host, const dialogs::Subject& about,
                  const std::function<void()>& stayingUp) {
    qWarning() << "restarting the panel for the new settings";
    return handOverToSystem(host, QStringLiteral("reboot"), false, about, stayingUp) ==
           StopOutcome::Stopped;
}

SettingsSession::SettingsSession(SettingsHost& host, WizardPara& live, WizardPara& edit)
    : host_(host), live_(live), editing_(edit), edit_(edit, gLan) {}

void SettingsSession::begin() {
    edit_.setLanguage(gLan);
    passwordEntry_.clear();
    passwordConfirmation_.clear();
    restartPending_ = false;
    languageChanged_ = false;
}

bool SettingsSession::change(const SettingItem& item, int value) {
    if (item.editor == Editor::Language) {
        if (value < 0 || value > params::kLanguageLast) return false;
        edit_.setLanguage(value);
        return true;
    }
    if (!edit_.setValue(item, value)) return false;
    if (!item.hasCamera) return true;
    if (item.perCamera) {
        if (item.element < host_.cameraCount()) host_.applyCamera(item.element, item.camera);
    } else {
        for (int c = 0; c < host_.cameraCount(); ++c) host_.applyCamera(c, item.camera);
    }
    return true;
}

void SettingsSession::setPasswordEntries(const QString& entry, const QString& confirmation) {
    passwordEntry_ = entry;
    passwordConfirmation_ = confirmation;
}

bool SettingsSession::setServiceCode(const QString& code) {
    return editing_.setServiceCode(code);
}

QString SettingsSession::changeRecord(const WizardPara& before) const {
    QString text = lan(kEntryParamsChanged);
    WizardPara& old = const_cast<WizardPara&>(before);
    const SettingsEdit was(old, gLan);
    for (const SettingItem& item : settingItems()) {
        if (item.editor == Editor::Password || item.editor == Editor::Text) continue;
        const int count = item.perCamera ? params::kCameraCount : 1;
        for (int c = 0; c < count; ++c) {
            SettingItem one = item;
            if (item.perCamera) one.element = c;
            const int from = item.editor == Editor::Language ? gLan : was.value(one);
            const int to = item.editor == Editor::Language ? edit_.language() : edit_.value(one);
            if (from == to) continue;
            QString label = one.label();
            if (item.perCamera) label = lan(151).arg(c + 1) + label;  // "Camera %1 "
            text += lan(kEntryFieldChanged).arg(label).arg(from).arg(to);
        }
    }
    if (QString::compare(before.passwordText(), editing_.passwordText()) != 0)
        text += lan(kEntryPasswordRecord);
    return text;
}

SettingsSession::Outcome SettingsSession::confirm(const dialogs::Subject& visit) {
    using dialogs::Answer;
    // A notice that ended with the visit ends the confirm with it.
    const auto told = [&](Outcome outcome, int entry) {
        return host_.warn(lan(entry), visit) == Answer::Gone ? Outcome::Cancelled : outcome;
    };
    if (!passwordEntry_.isEmpty() || !passwordConfirmation_.isEmpty()) {
        if (passwordEntry_ != passwordConfirmation_)
            return told(Outcome::PasswordError, kEntryPasswordsDiffer);
        if (passwordEntry_.isEmpty() || !editing_.setPassword(passwordEntry_))
            return told(Outcome::PasswordError, kEntryPasswordEmpty);
    }
    const int oldLanguage = gLan;
    const bool languageChanged = edit_.language() != oldLanguage;
    if (languageChanged) {
        const Answer restart = host_.ask(lan(kEntryAskLanguage), visit);
        if (restart == Answer::Gone) return Outcome::Cancelled;
        if (restart == Answer::No) return Outcome::Declined;
    }

    WizardPara before;
    before = live_;
    const QString record = changeRecord(before);
    live_ = editing_;
    // The language is stored with the parameters from the global the next start reads.
    gLan = edit_.language();
    if (!live_.SaveDatatoFile()) {
        // Nothing half-applied: the live values and the language stay as they were; the
        // editing copy keeps the operator's edits for another try or a cancel.
        live_ = before;
        gLan = oldLanguage;
        const QString why = lang::cannotWriteText(QLatin1String(params::kParamDatabaseFile));
        return host_.warn(why, visit) == Answer::Gone ? Outcome::Cancelled : Outcome::SaveFailed;
    }
    // Stored: in force and recorded before anything more is shown, as the visit may end while
    // the operator reads it.
    putInForce(before);
    host_.insertRecord(record);
    passwordEntry_.clear();
    passwordConfirmation_.clear();
    languageChanged_ = languageChanged;
    const bool passwordChanged = QString::compare(before.passwordText(), live_.passwordText()) != 0;
    // The restart waits for the notice: an NG alarm that closed the screen meanwhile is shown
    // with its outputs, and no restart is asked of the system under it. The restart's record
    // is written only once the restart is to follow.
    if (passwordChanged) {
        if (languageChanged) host_.insertRecord(lanOwn(kLanguageSwitchedRecord));
        if (host_.warn(lan(kEntryPasswordChanged), visit) == Answer::Gone)
            return Outcome::AppliedVisitEnded;
    }
    if (languageChanged) host_.insertRecord(lan(kEntryLanguageRecord));
    restartPending_ = languageChanged;
    return Outcome::Applied;
}

void SettingsSession::putInForce(const WizardPara& before) {
    host_.cameraSetSpeed();
    if (live_.detectMode == params::kModeMultiDetect && live_.detectNum != gDNum)
        host_.checkCameraDetectCount(live_.detectNum);
    host_.setStatisticsTimer(live_.useStatistics != 0);
    applyAcceptedSettings(host_, before, live_);
}

bool SettingsSession::takeStored() {
    WizardPara stored;
    stored = live_;
    int language = gLan;
    int steps = gDNum;
    // The number of steps per cycle stays the running one until the next start, as after a
    // confirm.
    if (!stored.readStored(WizardPara::paramDatabase(), &language, &steps)) return false;
    params::keepStartLayout(stored, live_);
    WizardPara before;
    before = live_;
    WizardPara shown;
    shown = editing_;
    live_ = stored;
    editing_ = stored;
    gLan = language;
    edit_.setLanguage(gLan);
    passwordEntry_.clear();
    passwordConfirmation_.clear();
    putInForce(before);
    // The cameras show the editing copy while the screen is open.
    applyCameras(shown);
    return true;
}

void SettingsSession::applyCameras(const WizardPara& from) {
    for (const SettingItem& item : settingItems()) {
        if (!item.hasCamera) continue;
        for (int c = 0; c < host_.cameraCount(); ++c) {
            const params::FieldSpec* spec = item.spec();
            WizardPara& a = const_cast<WizardPara&>(from);
            params::StoreContext ctx;
            const int element = item.perCamera ? c : 0;
            const int was = spec->numbers(a, ctx)[element];
            const int shown = spec->numbers(editing_, ctx)[element];
            if (was != shown) host_.applyCamera(c, item.camera);
        }
    }
}

void SettingsSession::cancel() {
    // The screen is hidden: the setters read the live values again. Only cameras whose shown
    // value differs are touched (a mirror or shading change restarts the camera).
    applyCameras(live_);
    editing_ = live_;
    edit_.setLanguage(gLan);
    passwordEntry_.clear();
    passwordConfirmation_.clear();
}

}  // namespace settings
