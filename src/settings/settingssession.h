#pragma once
// One visit to the settings screen: the edits on the editing copy gpWParaBak (shown live by the
// cameras), and how the visit ends. Confirm copies the editing copy into the live parameters,
// stores them and tells the cameras, the statistics and the operator; Cancel stores nothing and
// gives the cameras the live values back. No widget: the screen forwards to it.

#include <QString>

#include "settingshost.h"
#include "settingsitems.h"

class WizardPara;

namespace settings {

class SettingsSession {
public:
    enum class Outcome {
        Applied,
        Declined,       // the operator did not want the restart a language change needs
        PasswordError,  // the two entries differ or the password cannot be stored
        SaveFailed,     // the parameters could not be stored: nothing changed
        Cancelled,      // the visit ended while the operator was asked: nothing stored
        // Stored and in force, but the visit ended (an NG alarm closed the screen) while the
        // operator read the last notice: the panel is not restarted under it.
        AppliedVisitEnded,
    };

    SettingsSession(SettingsHost& host, WizardPara& live, WizardPara& edit);

    // Starts a visit: the language shown is the one in force.
    void begin();
    SettingsEdit& edit() { return edit_; }
    // Sets one value of the editing copy; a camera image setting is shown at once. False,
    // nothing changed, for a value outside the item's range.
    bool change(const SettingItem& item, int value);
    // The new password as typed twice; both empty keeps the password.
    void setPasswordEntries(const QString& entry, const QString& confirmation);
    bool setServiceCode(const QString& code);

    // Every box of the confirm is asked about the visit. The screen must be hidden before
    // cancel() (the cameras then read the live values).
    Outcome confirm(const dialogs::Subject& visit);
    void cancel();
    // The stored parameters changed under the visit (a group restored and the panel not
    // restarted): the live and the editing parameters become the stored ones and take effect
    // as a confirm's would, so that no later confirm writes the older values back. What the
    // start sized from the detection mode stays as it is until the next start, as after a
    // confirm: the stored mode waits in detectModeNext. False, nothing changed, when they
    // cannot be read.
    bool takeStored();
    // True after a confirmed language change: the caller restarts the panel.
    bool restartPending() const { return restartPending_; }
    // The last confirm put another language in force (restarted or not).
    bool languageChanged() const { return languageChanged_; }

private:
    QString changeRecord(const WizardPara& before) const;
    void applyCameras(const WizardPara& from);
    // What new live parameters do beyond being stored.
    void putInForce(const WizardPara& before);

    SettingsHost& host_;
    WizardPara& live_;
    WizardPara& editing_;
    SettingsEdit edit_;
    QString passwordEntry_;
    QString passwordConfirmation_;
    bool restartPending_ = false;
    bool languageChanged_ = false;
};

}  // namespace settings
