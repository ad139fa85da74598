#pragma once
// The HTTP JSON API: production counters, the last step's region results and subscriptions on
// the message protocol, and after every step a push of the last-detection document to each
// live subscriber. Subscriptions are handled on the thread that owns the server (the GUI
// thread); the two reads are answered on the connection's thread from the copy that thread
// last published, so a busy GUI thread never holds them up.

#include <QJsonObject>
#include <QList>
#include <QMutex>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

#include "apidocuments.h"
#include "httpmanager.h"
#include "paramroi.h"

class PushLauncher;
class SubscriberBook;

class HttpApiServer : public HttpManager {
    Q_OBJECT
public:
    using StateReader = std::function<httpapi::MachineState()>;

    // Reads the subscribers from "cnt_net/workspace/subscriber.ini" and the device name from
    // "cnt_net/config.json", both under the current directory. Listens once startReactor is
    // called.
    HttpApiServer();
    ~HttpApiServer() override;

    // Rebuilds the last-detection document from the region results gathered since the last
    // call (which are taken), for step `detectIndex` whose cameras were all OK or not.
    void update_DetectOnceInfo(int detectIndex, bool result);
    // Pushes the last-detection document to every live subscriber; expired ones are dropped.
    // Returns at once: the pushes connect on threads of their own.
    void pushnode_lastdetect();
    // Reads the device name again (after the network settings changed).
    void updateLocalBaseInfo();

    // Without a reader the API reports a stopped machine without alarm.
    void setStateReader(StateReader reader);
    // Publishes the product infos as they are now, for the reads. Runs by itself each time the
    // owning thread's event loop has handled its events, and at least every
    // httpapi::kPublishRefreshMs; on the owning thread only.
    void publish();

    // Where the inspection engine appends the results of the running step, from any thread,
    // holding roiResultsLock().
    QList<param_roi>* roiResults() { return &roiResults_; }
    QMutex* roiResultsLock() { return &roiResultsMutex_; }

    // Pushes started or waiting for a thread.
    int pushesInFlight() const;

public slots:
    void SlotRecvResponse_Async(CTask_FormData) override {}

private:
    // What the reads answer with; replaced whole under publishedMutex_, copied out under it.
    struct Published {
        QJsonObject productInfos;
        QJsonObject lastDetect;
        QString deviceName;
    };
    Published published() const;

    void get_product_infos(const CTask_FormData& request);
    void get_last_detailinfo(const CTask_FormData& request);
    void subscriber_detectinfo(const CTask_FormData& request);
    void reply(const CTask_FormData& request, const QJsonObject& result, const QString& deviceName);

    QMutex roiResultsMutex_;
    QList<param_roi> roiResults_;
    QString deviceName_;
    QJsonObject lastDetect_;
    std::unique_ptr<SubscriberBook> subscribers_;
    StateReader stateReader_;
    std::unique_ptr<PushLauncher> pushes_;
    mutable QMutex publishedMutex_;
    Published published_;
    QTimer* refresh_ = nullptr;
};
