#pragma once
// The camera end of the device text protocol. It holds the camera's cell configuration
// ("./camcfg.json"), answers its IO box's heartbeats, repair requests and input reports,
// orders the box's outputs while it is the cell's main camera, answers the app, and keeps the
// other cameras of the cell with the time each was last heard.

#include <QList>
#include <QMap>
#include <QMutex>
#include <QTimer>
#include <atomic>

#include "dtpdevice.h"
#include "dtprecords.h"

class DTP_Interaction_Manager : public DtpDevice {
    Q_OBJECT
public:
    // The camera's own uuid comes from the camera build; the constructor opens no socket
    // (the owner chooses where to listen, for instance listenOnLocalNets(kCameraPort)).
    explicit DTP_Interaction_Manager(const QString& uuid, QObject* parent = nullptr);
    ~DTP_Interaction_Manager() override;

    // Creates the process-wide camera (under uuid) when there is none yet, then asks its IO
    // box for the IO state. True only when send_core reported an answer, which this protocol
    // never does (its answers arrive on the listening ports).
    static bool FlushIO(const QString& uuid = QString());
    static DTP_Interaction_Manager* __instance;

    // The IO box was heard within the last five seconds.
    bool IOIsConnected() const;
    bool IsMainCamera() const;
    void Update_IOLastRecvMsg();
    // Sets or clears an output and sends the order (also for a channel outside 0..7, which
    // changes no bit). Any thread.
    void chgIO_OutputState(int channel, bool on);
    // The other cameras of the cell, in uuid order; empty unless this is the main camera.
    QList<DTP_WorkCamera> getSubCamera_DTP() const;
    bool setSubCamera_DTP(DTP_WorkCamera camera);
    // Asks every local network for its cameras; true only when every send_core reported an
    // answer (see FlushIO).
    bool dezivodoera_send_a2c21_discover();

    QString AnalysisRecvMessage(sockaddr_in sender, const QByteArray& datagram) override;
    bool chkThroughPermit(const DTP_Procotol_Struct& msg) const;

    void LoadCamCfg();
    // False (with a warning) when the file could not be written.
    bool SaveCamCfg();
    // A copy of the cell configuration, taken under cfgMutex.
    DTP_Procotol_Struct cellConfig() const;

    using Handler = void (DTP_Interaction_Manager::*)(DTP_Procotol_Struct);
    // Runs handler with record on the camera's own thread.
    void QueueRunSlot(Handler handler, const DTP_Procotol_Struct& record);

    void do_req_s2c03_heartbeat(DTP_Procotol_Struct msg);
    void do_req_s2c04_needrepair(DTP_Procotol_Struct msg);
    void do_req_s2c05_inputstate(DTP_Procotol_Struct msg);
    void do_req_a2c21_discover(DTP_Procotol_Struct msg);
    void do_req_a2c22_modifycells(DTP_Procotol_Struct msg);
    void do_rsp_a2c21_discover(DTP_Procotol_Struct msg);
    void do_snd_c2s06_OutputIO();

signals:
    void sig_do_queueslotfunc(DTP_Procotol_Struct record);
    void sig_do_req_s2c04_needrepair(DTP_Procotol_Struct msg);
    void sig_do_req_a2c22_modifycells(DTP_Procotol_Struct msg);
    void sigFlushIOTimer(QTimer* timer, int ms);
    void sig_chgIO_InputState(int inputs);

protected slots:
    void SlotQueuedHandler(DTP_Procotol_Struct record);
    void SlotFlushIOTimer(QTimer* timer, int ms);
    void TimerInput();
    void TimerOutput();

protected:
    void PrintRecvMsg(QString result, QString line) override;

    QString takeHeartbeat(const DTP_Procotol_Struct& msg, const QStringList& parts);
    QString takeRepairRequest(const DTP_Procotol_Struct& msg, const QStringList& parts);
    void takeInputReport(const DTP_Procotol_Struct& msg, const QStringList& parts);
    QString takeDiscoverReply(const DTP_Procotol_Struct& msg, const QString& text);
    QString takeModifyCells(const DTP_Procotol_Struct& msg, const QString& text);
    // The caller holds cfgMutex.
    bool isMain() const;
    bool writeConfig(const DTP_Procotol_Struct& cell) const;

    DTP_Procotol_Struct cellCfg;
    QMap<QString, DTP_WorkCamera> subCameras;
    std::atomic<quint32> reportedInputs{0};
    std::atomic<quint32> reportedOutputs{0};
    std::atomic<quint32> ioInputs{0};
    std::atomic<quint32> wantedOutputs{0};
    // Monotonic milliseconds of the last message from the IO box.
    std::atomic<qint64> ioLastRecv{0};
    Handler queuedHandler = nullptr;
    mutable QMutex cfgMutex;
    std::atomic<int> heartbeatCount{0};
    std::atomic<int> repairCount{0};
    QTimer* inputTimer = nullptr;
    QTimer* outputTimer = nullptr;
    // Touched on the camera's own thread only.
    quint32 sentOutputs = 0;
    quint32 publishedInputs = 0;
};
