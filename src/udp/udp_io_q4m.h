#pragma once
// The IO box end of the device text protocol: a module with 8 inputs and 8 outputs serving one
// main camera. It answers the app, keeps its main camera alive with heartbeats, asks every
// local network for it while it is silent, reports input changes and drives the outputs the
// main camera orders. The hardware side is chgInput and sigOutputChged.

#include <QMutex>
#include <QTimer>
#include <atomic>
#include <limits>

#include "dtpdevice.h"
#include "dtprecords.h"

class UDP_IO_Q4m : public DtpDevice {
    Q_OBJECT
public:
    // Reads "./iocfg.json" (the box's own uuid and its main camera), listens on every local
    // network and starts the heartbeat and repair ticks.
    explicit UDP_IO_Q4m(QObject* parent = nullptr);
    ~UDP_IO_Q4m() override;

    // A hardware input changed; channels other than 0..7 are ignored. Any thread.
    void chgInput(int channel, bool on);

    QString AnalysisRecvMessage(sockaddr_in sender, const QByteArray& datagram) override;
    bool chkThroughPermit(const DTP_Procotol_IO& msg) const;

    void LoadIOCfg();
    // False (with a warning) when the file could not be written.
    bool SaveIOCfg();

    void do_req_a2s01_discover(DTP_Procotol_IO msg);
    void do_req_a2s02_modifycells(DTP_Procotol_IO msg);
    void do_rsp_s2c03_heartbeat(DTP_Procotol_IO msg);
    void do_rsp_s2c04_needrepair(DTP_Procotol_IO msg);
    void do_req_c2s06_output(DTP_Procotol_IO msg);
    void do_req_a2s07_getallstate(DTP_Procotol_IO msg);
    void do_snd_s2c03_heartbeat();
    void do_snd_s2c04_needrepair();
    void do_snd_s2c05_input();

signals:
    // The output bits the hardware must drive now.
    void sigOutputChged(int outputs);
    // Starts a single-shot timer on the box's own thread.
    void sigFlushTimer(QTimer* timer, int ms);

protected slots:
    void TimerHeartbeat();
    void TimerRepair();
    void TimerInput();
    void TimerOutput();
    void SlotFlushTimer(QTimer* timer, int ms);

protected:
    // A copy of the main-camera data, taken under cfgMutex.
    DTP_Procotol_IO mainCamera() const;
    bool cameraAlive() const;
    // Writes the file from main; the caller holds cfgMutex.
    bool writeConfig(const DTP_Procotol_IO& main) const;
    // What the hardware drives goes into heartbeats and state replies, so that a camera whose
    // order was interrupted sees the difference and orders again.
    void driveOutputs(quint32 value, const char* action);

    static constexpr qint64 kNeverHeard = std::numeric_limits<qint64>::min();

    DTP_Procotol_IO mainCam;
    std::atomic<int> groupState{-1};
    mutable QMutex cfgMutex;
    // Monotonic milliseconds of the last answer from a camera.
    std::atomic<qint64> lastAckMs{kNeverHeard};
    std::atomic<quint32> inputs{0};
    // As last ordered by the main camera.
    std::atomic<quint32> outputs{0};
    // As last handed to the hardware: the order, or none while the main camera is lost.
    std::atomic<quint32> drivenOutputs{0};
    QTimer* heartbeatTimer = nullptr;
    QTimer* repairTimer = nullptr;
    QTimer* inputTimer = nullptr;
    QTimer* outputTimer = nullptr;
    bool wasAlive = false;
};
