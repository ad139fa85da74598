#include "widgetchangecamera.h"

#include <QLabel>

#include "cameralimits.h"
#include "cameramanager.h"
#include "colorbutton.h"
#include "combobox.h"
#include "globals.h"
#include "question.h"
#include "settingslayout.h"
#include "writefailuretexts.h"

namespace {
constexpr int kTitleEntry = 396;      // "reordering"
constexpr int kEntrySwitchTo = 395;   // "Camera %1 switches to:"
constexpr int kEntryNumber = 394;     // "NO.%1"
constexpr int kEntryRepeating = 361;  // "%1 repeating, please revise!"
constexpr int kEntryRestart = 277;    // the change needs a restart
constexpr int kEntryFailed = 135;     // the database did not open
constexpr int kEntryConfirm = 121;
constexpr int kRowTop = 150;
constexpr int kLabelWidth = 420;
constexpr int kChoiceWidth = 900;

CameraManager* manager() {
    if (!CameraManager::_instance) CameraManager::_instance = new CameraManager;
    return CameraManager::_instance;
}
}  // namespace

WidgetChangeCamera::WidgetChangeCamera(QWidget* owner) : SettingsPage(owner, kTitleEntry) {
    auto* store = new ColorButton(lan(kEntryConfirm).trimmed(), this, ColorButton::Large);
    store->setObjectName(QStringLiteral("confirm"));
    store->setGeometry(width() - settings::kMargin - settings::kButtonWidth,
                       height() - settings::kBottomBar, settings::kButtonWidth,
                       settings::kButtonHeight);
    connect(store, &QPushButton::clicked, this, [this] { save(); });
}

void WidgetChangeCamera::showEvent(QShowEvent* event) {
    SettingsPage::showEvent(event);
    reload();
}

void WidgetChangeCamera::reload() {
    qDeleteAll(labels_);
    qDeleteAll(choices_);
    labels_.clear();
    choices_.clear();
    const QList<_cameraInfo>& cameras = manager()->cameraList;
    QFont f = font();
    f.setPixelSize(settings::kLabelFontPx);
    for (int k = 0; k < cameras.size() && k < kMaxCameras; ++k) {
        const int y = kRowTop + k * (settings::kRowMinHeight + 2 * settings::kRowGap);
        auto* label = new QLabel(lan(kEntrySwitchTo).arg(k + 1).trimmed(), this);
        label->setFont(f);
        label->setGeometry(settings::kMargin, y, kLabelWidth, settings::kRowMinHeight);
        auto* choice = new ComboBox(this);
        choice->setFont(f);
        choice->setItemHeight(settings::kChoiceItemHeight);
        choice->setGeometry(settings::kMargin + kLabelWidth + settings::kMargin, y, kChoiceWidth,
                            settings::kRowMinHeight);
        for (int c = 0; c < cameras.size(); ++c)
            choice->addItem(lan(kEntryNumber).arg(c + 1).trimmed() + QStringLiteral("   ") +
                            cameras[c].serialText());
        choice->setCurrentIndex(k);
        label->show();
        choice->show();
        labels_.append(label);
        choices_.append(choice);
    }
}

bool WidgetChangeCamera::save() {
    const dialogs::Subject visit = this->visit();
    QVector<int> order;
    for (ComboBox* choice : qAsConst(choices_)) {
        const int c = choice->currentIndex();
        if (order.contains(c)) {
            dialogs::notify(lan(kEntryRepeating).arg(choice->currentText()), visit);
            return false;
        }
        order.append(c);
    }
    // The restart notice would promise an order that was never stored.
    if (!manager()->resortCameraSN(order)) {
        // A full or read-only disk is no database that failed to open: a restart would not help.
        dialogs::notify(manager()->serialFileUnwritable()
                            ? lang::cannotWriteText(QLatin1String(camera::kSerialDatabaseFile))
                            : lan(kEntryFailed),
                        visit);
        return false;
    }
    dialogs::notify(lan(kEntryRestart), visit);
    return true;
}
