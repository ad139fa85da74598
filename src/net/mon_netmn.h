#pragma once
// The link to the local monitoring companion. The companion owns the connection to the
// monitoring platform; this link starts it, keeps a message-protocol connection to it alive
// with heartbeats, learns from the heartbeat replies what the platform wants, and sends it the
// detection events fire-and-forget. It also offers a live picture of the main window in shared
// memory (VideoThread).

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVariant>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>

#include "paramroi.h"
#include "tcpmanager.h"
#include "videoshare.h"

class VideoThread;

// What the link reads of the main window, on the GUI thread.
struct MonitoredWindow {
    QPointer<QWidget> widget;          // grabbed for the video
    std::function<int()> detectState;  // 1 running, 2 training templates, 3 stopped
    std::function<int()> resultState;  // 0 waiting, 1 OK, 2 NG alarm shown, 3 area setting
};

class MON_NETMN : public TcpManager {
    Q_OBJECT
public:
    // The program's link, created on first use and never destroyed.
    static MON_NETMN* getInstance();
    // The program uses getInstance(); tests make links of their own.
    MON_NETMN();
    ~MON_NETMN() override;

    // (Re)starts the companion, the connection and the video; with the network function off,
    // stops them.
    void InitStart();
    // Takes effect at the next InitStart.
    void setWorkTask(bool netFunc, bool video);
    // 1 when events may be sent; -1 network function off, -2 companion not heard from
    // recently, -3 not connected to the server, -4 not registered. Callable from any thread.
    int isAllowSnd() const;
    // A connection to the companion exists and it was heard from within the alive window.
    bool getSoftCnted() const;

    // A key of "./cnt_net/config.json"; invalid when the file is unreadable, not JSON or
    // lacks the key.
    static QVariant getConfigField(const QString& key);
    // Sets the clock from the platform server's time service (blocks up to a second).
    static void getNTP_Timing_sync();

    // --- senders (fire-and-forget) ---
    void sndHeartBeat();
    void sndVideoMeminfo();
    void sndAlarmPicture(QJsonObject info, const QString& path);
    void sndAlarmStartTiming(int detect);
    void sndAlarmFinishTiming();
    void sndRecordOperate(QJsonObject record);
    void syncTempList(QJsonObject query);
    void sndDetectOnceInfo(bool result);

    // --- the current alarm ---
    void addClearMethod(int camera, int code);
    void updataAlarmInfo();
    // 0 no alarm open, 1 start sent, 2 released and waiting to be reported.
    int alarmState() const { return __alarmState; }
    void setAlarmState(int state) { __alarmState = state; }
    QString alarmUuid() const { return __alarmUuid; }
    QString clearMethod() const { return __clearMethod; }

    // Adds one region's result for the next step report, while events may be sent. Callable
    // from any thread.
    void appendRoiResult(const param_roi& result);
    int pendingRoiResults() const;

    void handle_HeartBeat(const QString& body);

    // --- video ---
    void startVideo(bool on);
    void createVideoShare(int index, int width, int height);
    void destoryVideoShare();
    QMap<int, VideoShareInfo> videoShares() const { return __VideoShares; }
    std::shared_ptr<VideoThread> videoThread() const { return __VideoThread; }

    // --- state for the settings screens and tests ---
    bool workNetFunc() const { return __WorkNetFunc.load(); }
    bool workVideo() const { return __WorkVideo.load(); }
    bool cntServer() const { return __CntServer.load(); }
    bool registered() const { return __Register.load(); }
    bool needOkImg() const { return __NeedOkImg.load(); }
    bool needVideo() const { return __NeedVideo.load(); }
    const QTimer* linkTimer() const { return __TimersndHB; }

    // The main window whose states the heartbeat reports and whose picture is shared.
    void setMonitoredWindow(MonitoredWindow window);

public slots:
    void SlotRecvResponse_async(CTask_FormData response) override;
    // The companion sends no requests that this link answers.
    void SlotRecvRequest(CTask_FormData request) override;
    // The 1000 ms link tick: heartbeats, reconnection and the periodic restart.
    void TimerLinkTick();

    // Event messages posted and not answered yet (sent again after a restart).
    int unansweredMessages() const;

private:
    bool startCompanionLink();
    void post(const QString& url, const QJsonObject& body);
    // Posts again, in their order, the event messages the previous connection left unanswered.
    void resendUnanswered();

    QList<param_roi> __roiList;
    QString __alarmUuid;
    QString __clearMethod;
    int __alarmState = 0;
    QMap<QString, std::function<void(const QString&)>> __recvMethods;
    std::atomic<bool> __WorkNetFunc{false};
    std::atomic<bool> __WorkVideo{false};
    std::atomic<bool> __CntServer{false};
    std::atomic<bool> __Register{false};
    std::atomic<bool> __NeedOkImg{false};
    std::atomic<bool> __NeedVideo{false};
    QTimer* __TimersndHB;
    QMap<int, VideoShareInfo> __VideoShares;
    std::shared_ptr<VideoThread> __VideoThread;

    mutable QMutex roiMutex_;
    // Event messages in posting order, each until its answer arrives.
    struct Unanswered {
        CTask_FormData task;
        int sends = 1;  // connections it was posted on
    };
    mutable QMutex unansweredMutex_;
    QList<Unanswered> unanswered_;
    int ticks_ = 0;
    MonitoredWindow window_;

    static MON_NETMN* __instance;
};
