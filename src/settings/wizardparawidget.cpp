#include "wizardparawidget.h"

#include <QApplication>
#include <QLabel>

#include "acceptedsettings.h"
#include "checkbox.h"
#include "colorbutton.h"
#include "combobox.h"
#include "globals.h"
#include "networksettingdialog.h"
#include "paramgroupspage.h"
#include "recordspage.h"
#include "settingsform.h"
#include "settingslayout.h"
#include "uifont.h"
#include "wizardpara.h"

using settings::Page;

namespace {
constexpr int kTitleEntry = 215;  // "System Param"
// Section buttons: system, camera, input/output, advanced, groups, records.
constexpr int kSectionEntries[] = {267, 260, 266, 229, 261, 206};
constexpr int kEntryNetwork = 262;
constexpr int kEntryCameraOrder = 396;
constexpr int kEntryIONames = 473;
constexpr int kEntryPrevious = 339;
constexpr int kEntryNext = 340;
constexpr int kEntryConfirm = 121;
constexpr int kEntryCancel = 124;
constexpr int kEntryCamera = 43;  // "Camera %1"
constexpr int kEntrySaveAllImages = 201;
constexpr int kEntryRestoreDefaults = 551;
// The page commands share the title bar, left of its close button.
constexpr int kCloseButtonRoom = 240 + 2 * settings::kMargin;
constexpr int kSaveAllImagesWidth = 420;
}  // namespace

WizardParaWidget::WizardParaWidget(QWidget* owner, settings::SettingsHost& host)
    : SettingsPage(owner, kTitleEntry),
      host_(host),
      session_(host, *gpWPara, *gpWParaBak),
      form_(new settings::SettingsForm(session_, host, this)),
      groups_(new settings::ParamGroupsPage(host, this)),
      records_(new settings::RecordsPage(host, this)) {
    using namespace settings;
    const int top = kTopBar + kTabHeight + kMargin;
    const QRect content(kMargin, top, width() - 2 * kMargin, height() - top - kBottomBar - kMargin);
    form_->setGeometry(content);
    groups_->setGeometry(content);
    records_->setGeometry(content);
    buildButtons();
    buildPageCommands();
    showSection(System);
    connect(groups_, &settings::ParamGroupsPage::restoredWithoutRestart, this, [this] {
        const int language = gLan;
        const bool taken = session_.takeStored();
        // After the system parameters: the cameras train with the restored ones.
        host_.takeStoredCameraData();
        if (!taken) return;
        // As after a confirmed language change that did not restart the panel.
        if (gLan != language)
            if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
                applyUiFont(*app, gLan);
        form_->refresh();
    });
}

void WizardParaWidget::buildButtons() {
    using namespace settings;
    const int count = int(std::size(kSectionEntries)) + 1;
    const int w = (width() - 2 * kMargin - (count - 1) * 8) / count;
    auto place = [&](ColorButton* b, int i) {
        b->setGeometry(kMargin + i * (w + 8), kTopBar, w, kTabHeight - 6);
    };
    for (int i = 0; i < int(std::size(kSectionEntries)); ++i) {
        auto* b = new ColorButton(lan(kSectionEntries[i]).trimmed(), this, ColorButton::Small);
        b->setCheckable(true);
        b->setObjectName(QStringLiteral("section%1").arg(i));
        place(b, i);
        connect(b, &QPushButton::clicked, this, [this, i] {
            if (!openSection(Section(i))) sectionButtons_[i]->setChecked(false);
        });
        sectionButtons_.append(b);
    }
    int i = int(std::size(kSectionEntries));
    auto* network = new ColorButton(lan(kEntryNetwork).trimmed(), this, ColorButton::Small);
    network->setObjectName(QStringLiteral("network"));
    place(network, i);
    connect(network, &QPushButton::clicked, this, &WizardParaWidget::SlotNetworkDialog);

    // The camera order and the IO names belong to the camera and the input/output pages.
    const int y = height() - kBottomBar + (kBottomBar - kButtonHeight) / 2;
    const int pageButtonX = width() - kMargin - 4 * kButtonWidth - 60;
    cameraOrder_ = new ColorButton(lan(kEntryCameraOrder).trimmed(), this, ColorButton::Small);
    cameraOrder_->setGeometry(pageButtonX, y, kButtonWidth, kButtonHeight);
    connect(cameraOrder_, &QPushButton::clicked, this, [this] { host_.showCameraOrder(); });
    ioNames_ = new ColorButton(lan(kEntryIONames).trimmed(), this, ColorButton::Small);
    ioNames_->setGeometry(pageButtonX, y, kButtonWidth, kButtonHeight);
    connect(ioNames_, &QPushButton::clicked, this, [this] { host_.showIONames(); });

    cameraChoice_ = new ComboBox(this);
    QFont controlFont = cameraChoice_->font();
    controlFont.setPixelSize(kControlFontPx);
    cameraChoice_->setFont(controlFont);
    cameraChoice_->setItemHeight(kButtonHeight);
    cameraChoice_->setGeometry(kMargin, y, 2 * kButtonWidth, kButtonHeight);
    connect(cameraChoice_, QOverload<int>::of(&QComboBox::activated), this,
            [this](int index) { chooseCamera(index); });
    previous_ = new ColorButton(lan(kEntryPrevious).trimmed(), this, ColorButton::Small);
    previous_->setGeometry(kMargin + 2 * kButtonWidth + 40, y, kButtonWidth, kButtonHeight);
    sheetLabel_ = new QLabel(this);
    sheetLabel_->setFont(controlFont);
    sheetLabel_->setAlignment(Qt::AlignCenter);
    sheetLabel_->setGeometry(previous_->geometry().right() + 10, y, 120, kButtonHeight);
    next_ = new ColorButton(lan(kEntryNext).trimmed(), this, ColorButton::Small);
    next_->setGeometry(sheetLabel_->geometry().right() + 10, y, kButtonWidth, kButtonHeight);
    connect(previous_, &QPushButton::clicked, this, [this] { showSheet(form_->sheet() - 1); });
    connect(next_, &QPushButton::clicked, this, [this] { showSheet(form_->sheet() + 1); });
    confirm_ = new ColorButton(lan(kEntryConfirm).trimmed(), this, ColorButton::Large);
    confirm_->setObjectName(QStringLiteral("confirm"));
    confirm_->setGeometry(width() - kMargin - 2 * kButtonWidth - 20, y, kButtonWidth,
                          kButtonHeight);
    connect(confirm_, &QPushButton::clicked, this, &WizardParaWidget::accept);
    cancel_ = new ColorButton(lan(kEntryCancel).trimmed(), this, ColorButton::Large);
    cancel_->setObjectName(QStringLiteral("cancel"));
    cancel_->setGeometry(width() - kMargin - kButtonWidth, y, kButtonWidth, kButtonHeight);
    connect(cancel_, &QPushButton::clicked, this, &WizardParaWidget::reject);
}

void WizardParaWidget::buildPageCommands() {
    using namespace settings;
    const int y = kMargin + 5;
    int right = width() - kCloseButtonRoom;
    const StopCommand commands[] = {StopCommand::Exit, StopCommand::Restart, StopCommand::ShutDown};
    for (StopCommand command : commands) {
        auto* b = new ColorButton(stopCommandLabel(command), this, ColorButton::Small);
        b->setObjectName(QStringLiteral("stop%1").arg(int(command)));
        right -= kButtonWidth;
        b->setGeometry(right, y, kButtonWidth, kButtonHeight);
        right -= kMargin;
        connect(b, &QPushButton::clicked, this, [this, command] { stop(command); });
        stopButtons_.append(b);
    }

    right = width() - kCloseButtonRoom - kButtonWidth;
    restoreDefaults_ =
        new ColorButton(lan(kEntryRestoreDefaults).trimmed(), this, ColorButton::Small);
    restoreDefaults_->setObjectName(QStringLiteral("restoreDefaults"));
    restoreDefaults_->setGeometry(right, y, kButtonWidth, kButtonHeight);
    connect(restoreDefaults_, &QPushButton::clicked, this, &WizardParaWidget::SlotRestoreDefaults);
    saveAllImages_ = new CheckBox(lan(kEntrySaveAllImages).trimmed(), this);
    saveAllImages_->setObjectName(QStringLiteral("saveAllImages"));
    QFont f = saveAllImages_->font();
    f.setPixelSize(kLabelFontPx);
    saveAllImages_->setFont(f);
    saveAllImages_->setGeometry(right - kMargin - kSaveAllImagesWidth, y, kSaveAllImagesWidth,
                                kButtonHeight);
}

void WizardParaWidget::open() {
    show();
    raise();
}

void WizardParaWidget::showEvent(QShowEvent* event) {
    SettingsPage::showEvent(event);
    // Every visit starts from the copy the owner refreshed, on the system page.
    session_.begin();
    visitOpen_ = true;
    cameraChoice_->clear();
    for (int c = 0; c < qMax(1, host_.cameraCount()); ++c)
        cameraChoice_->addItem(lan(kEntryCamera).arg(c + 1).trimmed());
    camera_ = 0;
    saveAllImages_->setChecked(host_.saveAllImages());
    showSection(System);
}

bool WizardParaWidget::openSection(Section section) {
    if (section == section_) {
        showSection(section);
        return true;
    }
    const bool service = section == Records ||
                         (isFormSection(section) && settings::needsServiceLevel(Page(section)));
    if (service && !host_.checkRoot(visit())) return false;
    showSection(section);
    return true;
}

void WizardParaWidget::showSection(Section section) {
    section_ = section;
    for (int i = 0; i < sectionButtons_.size(); ++i) sectionButtons_[i]->setChecked(i == section);
    form_->setVisible(isFormSection(section));
    groups_->setVisible(section == Groups);
    records_->setVisible(section == Records);
    if (isFormSection(section)) form_->setItems(settings::itemsOf(Page(section), camera_));
    if (section == Groups) groups_->reload();
    if (section == Records) records_->reload();
    cameraChoice_->setVisible(section == Camera);
    cameraOrder_->setVisible(section == Camera);
    ioNames_->setVisible(section == InputOutput);
    for (ColorButton* b : stopButtons_) b->setVisible(section == System);
    restoreDefaults_->setVisible(section == Camera);
    saveAllImages_->setVisible(section == Camera);
    cameraChoice_->setCurrentIndex(camera_);
    updatePaging();
}

void WizardParaWidget::showSheet(int sheet) {
    form_->setSheet(sheet);
    updatePaging();
}

void WizardParaWidget::chooseCamera(int camera) {
    camera_ = qBound(0, camera, params::kCameraCount - 1);
    if (section_ == Camera) form_->setItems(settings::itemsOf(Page::Camera, camera_));
    updatePaging();
}

void WizardParaWidget::updatePaging() {
    const bool paged = isFormSection(section_) && form_->sheetCount() > 1;
    previous_->setVisible(paged);
    next_->setVisible(paged);
    sheetLabel_->setVisible(paged);
    sheetLabel_->setText(
        QStringLiteral("%1 / %2").arg(form_->sheet() + 1).arg(form_->sheetCount()));
    previous_->setEnabled(form_->sheet() > 0);
    next_->setEnabled(form_->sheet() + 1 < form_->sheetCount());
}

void WizardParaWidget::accept() {
    using Outcome = settings::SettingsSession::Outcome;
    const Outcome outcome = session_.confirm(visit());
    if (outcome == Outcome::Cancelled) return;
    if (outcome != Outcome::Applied && outcome != Outcome::AppliedVisitEnded) {
        form_->refresh();
        return;
    }
    host_.setSaveAllImages(saveAllImages_->isChecked());
    // Until the panel is up again (off the panel, or when it is not restarted, until the
    // program is started again) the texts read from now on are in the new language: in its
    // own glyph forms.
    if (session_.languageChanged())
        if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
            applyUiFont(*app, gLan);
    // The screen went with the visit: what ended it is on screen now.
    if (outcome == Outcome::AppliedVisitEnded) return;
    visitOpen_ = false;
    hide();
    host_.showhideMscale();
    // The screen is closed: a refused restart is told about the program.
    if (session_.restartPending()) settings::restartPanel(host_, dialogs::Subject::program());
}

void WizardParaWidget::reject() {
    visitOpen_ = false;
    hide();
    session_.cancel();
    host_.showhideMscale();
}

void WizardParaWidget::hideEvent(QHideEvent* event) {
    SettingsPage::hideEvent(event);
    if (!visitOpen_) return;
    visitOpen_ = false;
    session_.cancel();
}

settings::StopOutcome WizardParaWidget::stop(settings::StopCommand command) {
    return settings::runStopCommand(host_, command, visit());
}

void WizardParaWidget::SlotRestoreDefaults() {
    settings::restoreCameraDefaults(host_, camera_);
    form_->refresh();
}

void WizardParaWidget::SlotToNetwork() {
    host_.updateLocalBaseInfo();
}

void WizardParaWidget::SlotNetworkDialog() {
    NetworkSettingDialog dialog(host_.monitorLink(), this);
    dialog.setCalibrationHoldStop([this] { host_.stopCalibrationHold(); });
    connect(&dialog, &NetworkSettingDialog::saved, this, &WizardParaWidget::SlotToNetwork);
    dialog.ask(visit());
}
