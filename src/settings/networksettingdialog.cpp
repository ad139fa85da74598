#include "networksettingdialog.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QTimer>
#include <QtDebug>

#include "checkbox.h"
#include "colorbutton.h"
#include "edit.h"
#include "globals.h"
#include "mon_netmn.h"
#include "networkconfig.h"

namespace {
constexpr int kEntryNetFunc = 598;
constexpr int kEntryVideo = 599;
constexpr int kEntryDeviceName = 600;
constexpr int kEntryServerPort = 601;
constexpr int kEntryServerAddr = 602;
constexpr int kEntryTitle = 262;
constexpr int kEntryConfirm = 121;
constexpr int kEntryCancel = 124;
constexpr int kEntryFailed = 135;
constexpr int kStatusPeriodMs = 1000;
constexpr int kWidth = 1100;
// Tall enough for the text keypad to open below the server address, not over it: the keypad
// lives in the dialog, which the modal dialog keeps the only place that takes touches.
constexpr int kHeight = 760;
constexpr int kFontPx = 24;
constexpr int kFieldHeight = 56;
}  // namespace

NetworkSettingDialog::NetworkSettingDialog(MON_NETMN* link, QWidget* parent,
                                           const QString& configPath)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      link_(link),
      path_(configPath),
      netFunc_(new CheckBox(lan(kEntryNetFunc).trimmed(), this)),
      video_(new CheckBox(lan(kEntryVideo).trimmed(), this)),
      deviceName_(new Edit(this, Edit::Text)),
      serverAddr_(new Edit(this, Edit::Text)),
      serverPort_(new Edit(this, Edit::Number)),
      status_(new QLabel(this)),
      message_(new QLabel(this)),
      statusTimer_(new QTimer(this)) {
    setFixedSize(kWidth, kHeight);
    setStyleSheet(
        QStringLiteral("NetworkSettingDialog{background:#303030;border:2px solid #808080;}"
                       "QLabel{color:white;}"
                       "QLineEdit{background:white;color:black;}"));
    QFont f = font();
    f.setPixelSize(kFontPx);
    setFont(f);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(30, 30, 30, 30);
    grid->setVerticalSpacing(12);
    auto* title = new QLabel(lan(kEntryTitle).trimmed(), this);
    QFont tf = f;
    tf.setPixelSize(kFontPx + 8);
    title->setFont(tf);
    grid->addWidget(title, 0, 0, 1, 2);
    grid->addWidget(netFunc_, 1, 0, 1, 2);
    grid->addWidget(video_, 2, 0, 1, 2);
    const struct {
        int entry;
        Edit* field;
    } fields[] = {{kEntryDeviceName, deviceName_},
                  {kEntryServerAddr, serverAddr_},
                  {kEntryServerPort, serverPort_}};
    int row = 3;
    for (const auto& field : fields) {
        grid->addWidget(new QLabel(lan(field.entry).trimmed(), this), row, 0);
        field.field->setFixedHeight(kFieldHeight);
        grid->addWidget(field.field, row++, 1);
    }
    serverPort_->setMaxLength(5);
    status_->setObjectName(QStringLiteral("status"));
    grid->addWidget(status_, row++, 0, 1, 2);
    message_->setStyleSheet(QStringLiteral("color:#ff6060;"));
    grid->addWidget(message_, row++, 0, 1, 2);
    // The room below the fields is the keypad's: the fields stay at the top.
    grid->setRowStretch(row++, 1);
    auto* buttons = new QHBoxLayout;
    auto* confirm = new ColorButton(lan(kEntryConfirm).trimmed(), this, ColorButton::Large);
    confirm->setObjectName(QStringLiteral("confirm"));
    auto* cancel = new ColorButton(lan(kEntryCancel).trimmed(), this, ColorButton::Large);
    for (ColorButton* b : {confirm, cancel}) {
        b->setFixedSize(200, 66);
        buttons->addWidget(b);
    }
    grid->addLayout(buttons, row, 0, 1, 2);
    // The dialog's font does not reach the children its style sheet styles.
    for (QLabel* label : findChildren<QLabel*>())
        if (label != title) label->setFont(f);
    for (QCheckBox* box : findChildren<QCheckBox*>()) box->setFont(f);
    grid->setColumnStretch(1, 1);
    connect(confirm, &QPushButton::clicked, this, &NetworkSettingDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &NetworkSettingDialog::reject);

    const settings::NetworkSettings s = settings::readNetworkSettings(path_);
    netFunc_->setChecked(s.netFunc);
    video_->setChecked(s.video);
    deviceName_->setText(s.deviceName);
    serverAddr_->setText(s.serverAddr);
    serverPort_->setText(s.serverPort);
    connect(statusTimer_, &QTimer::timeout, this, &NetworkSettingDialog::TimerStatus);
    statusTimer_->start(kStatusPeriodMs);
    TimerStatus();
}

dialogs::Answer NetworkSettingDialog::ask(const dialogs::Subject& about) {
    if (!stopHold_) return dialogs::ask(*this, about);
    stopHold_();
    // The application object starts a hold before any widget sees the press; a filter on the
    // application sees it right after, also on the keypads the fields open.
    qApp->installEventFilter(this);
    const dialogs::Answer answer = dialogs::ask(*this, about);
    qApp->removeEventFilter(this);
    return answer;
}

bool NetworkSettingDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) stopHold_();
    return QDialog::eventFilter(watched, event);
}

QString NetworkSettingDialog::statusText() const {
    return status_->text();
}

QString NetworkSettingDialog::messageText() const {
    return message_->text();
}

void NetworkSettingDialog::TimerStatus() {
    const int entry = link_ ? settings::linkStateEntry(link_->isAllowSnd()) : -1;
    status_->setText(entry < 0 ? QString() : lan(entry).trimmed());
}

void NetworkSettingDialog::accept() {
    settings::NetworkSettings s;
    s.netFunc = netFunc_->isChecked();
    s.video = video_->isChecked();
    s.deviceName = deviceName_->text().trimmed();
    s.serverAddr = serverAddr_->text().trimmed();
    s.serverPort = serverPort_->text().trimmed();
    if (!s.serverPort.isEmpty() && !settings::isValidPort(s.serverPort)) {
        message_->setText(lan(kEntryServerPort).trimmed() + QStringLiteral(" (1 - 65535)"));
        return;
    }
    QString error;
    if (!settings::writeNetworkSettings(s, path_, &error)) {
        qWarning() << "network settings not saved:" << error;
        message_->setText(lan(kEntryFailed) + QLatin1Char(' ') + error);
        return;
    }
    message_->clear();
    if (link_) {
        link_->setWorkTask(s.netFunc, s.video);
        link_->InitStart();
    }
    emit saved();
    QDialog::accept();
}
