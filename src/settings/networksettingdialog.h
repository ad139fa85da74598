#pragma once
#include <QDialog>

class QCheckBox;
class QLabel;
class QTimer;
class Edit;
class MON_NETMN;

// The platform settings of the monitoring link: network function, video, device name, server
// address and port. Saving writes "cnt_net/config.json" (keeping the keys other programs
// write), then restarts the link with the new switches. A status line shows the link's state
// once a second. Runs through the dialog seam.
class NetworkSettingDialog : public QDialog {
    Q_OBJECT
public:
    NetworkSettingDialog(MON_NETMN* link, QWidget* parent,
                         const QString& configPath = QStringLiteral("cnt_net/config.json"));

    int exec() override;

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
};
