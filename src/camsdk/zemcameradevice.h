#pragma once
// One networked smart camera seen from the client: its parameter link, its local parameter
// set, the user's callbacks, and the frame pump that pulls its pictures.

#include <QObject>
#include <QThread>
#include <atomic>
#include <memory>

#include "cameraparam.h"
#include "tcpmanager_client.h"
#include "zemcamera.h"

class ZemCamera;

// The rate gate of the pump on the monotonic clock (ms): true, storing now in lastPass, when
// more than 1000/fps ms have passed since lastPass. A clock set back or forward does not stall
// or flood the stream.
bool AllowPass_byfps(int fps, qint64& lastPass, qint64 nowMs);
bool AllowPass_byfps(int fps, qint64& lastPass);

// The frame pump: keeps a picture link of its own, pulls pictures at most kPumpMaxFps times a
// second and hands them to the camera's image callback on this thread.
class ImageThread : public QThread {
    Q_OBJECT
public:
    explicit ImageThread(ZemCamera* camera);
    // Stops the pump and waits for its current pass to end (bounded by the picture time-out).
    ~ImageThread() override;

    std::atomic<bool> running{false};

protected:
    void run() override;

private:
    ZemCamera* camera;
    std::shared_ptr<TcpManager_Client> client;
};

class ZemCamera : public QObject, public CameraParam, public CameraImage {
    Q_OBJECT
public:
    explicit ZemCamera(tZemCameraDevInfo* info);
    // Ends the frame pump before anything it uses goes.
    ~ZemCamera() override;

    int start();
    int stop();
    int setHDR(bool on);
    void commonCall(const char* key, char* out, unsigned int value);
    void requestGetParams(QStringList keys, QVariantMap& out, bool full);
    QVariantMap requestSetParams(QVariantMap params);

    bool isParamConnected() const { return paramConnected; }
    const tZemCameraDevInfo& info() const { return devInfo; }
    QString ipText() const;
    QString identifierText() const;

public slots:
    // One picture over a picture link of its own, opened on demand: 0, -1 (link cannot be
    // opened), -4 (answer without a picture), -12 (exchange failed).
    int requestImage(cv::Mat& image, QJsonObject& imageHead, int timeout);
    void recvImage(cv::Mat image);

private:
    friend class ImageThread;

    TcpManager_Client paramClient;
    TcpManager_Client imageClient;
    ImageThread* imageThread = nullptr;
    bool paramConnected = false;
    std::atomic<bool> imageConnected{false};
    tZemCameraDevInfo devInfo;
};
