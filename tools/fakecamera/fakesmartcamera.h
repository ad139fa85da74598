#pragma once
// A stand-in smart camera speaking the message protocol on its parameter and picture ports, so
// the camera client library can be run against something it cannot tell from a camera.
//
// Its parameter set holds, beside the imaging parameters, two knobs a test can turn through the
// ordinary setparams route: "replyDelayMs" holds back every reply by that long (a slow
// camera), "emptyPictures" 1 answers picture requests without a picture.

#include <QHostAddress>
#include <QJsonObject>
#include <QObject>
#include <QStringList>
#include <memory>

class HttpManager;
class CTask_FormData;

namespace fakepeer {

class FakeSmartCamera : public QObject {
    Q_OBJECT
public:
    struct Options {
        QHostAddress address = QHostAddress::Any;
        quint16 paramPort = 10401;  // 0: any free port
        quint16 picturePort = 10402;
        bool servePictures = true;  // false: nothing listens on the picture port
    };

    explicit FakeSmartCamera(const Options& options);
    ~FakeSmartCamera() override;

    // Listens on the ports; false when one cannot be had.
    bool start();
    quint16 paramPort() const;
    quint16 picturePort() const;

    // The camera's parameter set: name -> {"value", "min", "max"}.
    QJsonObject params() const { return params_; }
    // Commands received, as "key=value", oldest first.
    QStringList commands() const { return commands_; }
    int picturesServed() const { return picturesServed_; }

private:
    void serveGetParams(const CTask_FormData& request);
    void serveSetParams(const CTask_FormData& request);
    void serveCommand(const CTask_FormData& request);
    void servePicture(const CTask_FormData& request);
    // Sends the reply after the set's "replyDelayMs".
    void answer(HttpManager* service, const CTask_FormData& reply);
    int knob(const QString& name) const;

    Options options_;
    std::unique_ptr<HttpManager> paramService_;
    std::unique_ptr<HttpManager> pictureService_;
    QJsonObject params_;
    QStringList commands_;
    int picturesServed_ = 0;
};

}  // namespace fakepeer
