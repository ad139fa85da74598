#pragma once
#include <QDialog>
#include <functional>

#include "question.h"

class QCheckBox;
class QLabel;
class QTimer;
class Edit;
class MON_NETMN;

// The platform settings of the monitoring link: network function, video, device name, server
// address and port. Saving writes "cnt_net/config.json" (keeping the keys other programs
// write), then restarts the link with the new switches. A status line shows the link's state
// once a second. Asked about a subject (the visit of the settings screen): it closes unsaved
// when the subject goes. While it runs, no press (on the dialog or on a keypad it opens) may
// start a touch-screen calibration hold.
class NetworkSettingDialog : public QDialog {
    Q_OBJECT
public:
    NetworkSettingDialog(MON_NETMN* link, QWidget* parent,
                         const QString& configPath = QStringLiteral("cnt_net/config.json"));

    dialogs::Answer ask(const dialogs::Subject& about);
    // How a calibration hold is stopped: on opening and after every press while open.
    void setCalibrationHoldStop(std::function<void()> stop) { stopHold_ = std::move(stop); }

    QCheckBox* netFuncBox() const { return netFunc_; }
    QCheckBox* videoBox() const { return video_; }
    Edit* deviceNameField() const { return deviceName_; }
    Edit* serverAddrField() const { return serverAddr_; }
    Edit* serverPortField() const { return serverPort_; }
    QString statusText() const;
    QString messageText() const;
    QTimer* statusTimer() const { return statusTimer_; }

public slots:
    // Saves and restarts the link; an invalid port or a failed write keeps the dialog open.
    void accept() override;
    // The status timer: the link state as text.
    void TimerStatus();

signals:
    void saved();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MON_NETMN* link_;
    QString path_;
    QCheckBox* netFunc_;
    QCheckBox* video_;
    Edit* deviceName_;
    Edit* serverAddr_;
    Edit* serverPort_;
    QLabel* status_;
    QLabel* message_;
    QTimer* statusTimer_;
    std::function<void()> stopHold_;
};
