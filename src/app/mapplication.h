#pragma once
#include <QApplication>
#include <memory>

class QTimer;
namespace panel {
class TouchSupervisor;
}

// The application object of the panel (one per process). Every press and release passes its
// touch supervisor before any widget sees it: touches restart the logout and screen-off times,
// a touch on a dark screen only wakes it, and a long hold with simulated cameras leads to the
// touch-screen calibration.
class MApplication : public QApplication {
    Q_OBJECT
public:
    MApplication(int& argc, char** argv);
    ~MApplication() override;

    bool notify(QObject* receiver, QEvent* event) override;
    // Stops a running calibration hold (the network settings' long presses are none).
    void manualStopTscTimeup();

    panel::TouchSupervisor& touchSupervisor() { return *supervisor_; }
    QTimer* tscTimer = nullptr;

    static MApplication* _instance;

private:
    class Host;
    std::unique_ptr<Host> host_;
    std::unique_ptr<panel::TouchSupervisor> supervisor_;
};
