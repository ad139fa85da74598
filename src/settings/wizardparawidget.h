#pragma once
#include <QVector>

#include "settingshost.h"
#include "settingsitems.h"
#include "settingspage.h"
#include "settingssession.h"
#include "systemcommands.h"

class QCheckBox;
class QLabel;
class ColorButton;
class ComboBox;

namespace settings {
class SettingsForm;
class ParamGroupsPage;
class RecordsPage;
}  // namespace settings

// The system settings screen over the editing copy gpWParaBak. The owner refreshes the copy
// and shows the screen (open()); while it is visible the tool-bar commands are ignored and the
// cameras show the values being edited. The input/output and advanced pages need the service
// level. Confirm applies and stores the copy, Cancel (or Close) stores nothing. The system page
// also leaves the program (Exit) or the panel (Shut Down, Restart); the camera page restores a
// camera's own defaults and switches saving every frame as a test image for this run.
class WizardParaWidget : public SettingsPage {
    Q_OBJECT
public:
    // The pages the screen switches between.
    enum Section { System, Camera, InputOutput, Advanced, Groups, Records };

    WizardParaWidget(QWidget* owner, settings::SettingsHost& host);

    // Shows the screen on its system page (the owner has refreshed gpWParaBak).
    void open();
    // Switches to a section; the service pages ask for the service code first. False when
    // refused (the section shown stays).
    bool openSection(Section section);
    Section section() const { return section_; }
    // Turns the rows of a settings page to another sheet.
    void showSheet(int sheet);
    // The camera whose image settings the camera page shows.
    void chooseCamera(int camera);
    // Exit, Shut Down or Restart, asked first.
    settings::StopOutcome stop(settings::StopCommand command);
    QCheckBox* saveAllImagesSwitch() const { return saveAllImages_; }

    settings::SettingsForm* form() const { return form_; }
    settings::ParamGroupsPage* groupsPage() const { return groups_; }
    settings::RecordsPage* recordsPage() const { return records_; }
    settings::SettingsSession& session() { return session_; }

public slots:
    // Confirm: applies and stores the editing copy; restarts the panel for a new language.
    void accept();
    // Cancel: nothing stored, the cameras show the live values again.
    void reject();
    // The network settings were saved: the HTTP API reads the device name again.
    void SlotToNetwork();
    // Opens the network settings dialog.
    void SlotNetworkDialog();
    // The chosen camera's own defaults into the values shown (stored only by Confirm).
    void SlotRestoreDefaults();

protected:
    void closePage() override { reject(); }
    void showEvent(QShowEvent* event) override;
    // Hidden by someone else (the NG alarm): the visit ends as a cancel.
    void hideEvent(QHideEvent* event) override;

private:
    void buildButtons();
    void buildPageCommands();
    void showSection(Section section);
    void updatePaging();
    bool isFormSection(Section section) const { return section <= Advanced; }

    settings::SettingsHost& host_;
    settings::SettingsSession session_;
    settings::SettingsForm* form_;
    settings::ParamGroupsPage* groups_;
    settings::RecordsPage* records_;
    QVector<ColorButton*> sectionButtons_;
    ComboBox* cameraChoice_ = nullptr;
    ColorButton* cameraOrder_ = nullptr;
    ColorButton* ioNames_ = nullptr;
    ColorButton* previous_ = nullptr;
    ColorButton* next_ = nullptr;
    QLabel* sheetLabel_ = nullptr;
    ColorButton* confirm_ = nullptr;
    ColorButton* cancel_ = nullptr;
    QVector<ColorButton*> stopButtons_;
    ColorButton* restoreDefaults_ = nullptr;
    QCheckBox* saveAllImages_ = nullptr;
    Section section_ = System;
    bool visitOpen_ = false;
    int camera_ = 0;
};
