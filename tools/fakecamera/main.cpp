// mouldmon-fakecamera: a stand-in smart camera for the camera client library. It answers
// discovery as the given identifier, serves parameters and commands on port 10401 and pictures
// on port 10402, and prints "ready" once it listens, e.g.
//   mouldmon-fakecamera --id cam-a
//   mouldmon-fakecamera --id cam-b --no-pictures
#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

#include "commandline.h"
#include "fakesmartcamera.h"
#include "gvcpserver.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A stand-in smart camera: answers discovery as the given identifier, serves parameters\n"
        "and commands on one port and pictures on another, and prints \"ready\" once it listens."));
    parser.addOption({"id", "Identifier the camera answers discovery with.", "id"});
    parser.addOption({"no-pictures", "Nothing listens on the picture port."});
    parser.addOption({"param-port", "Parameter port.", "port", "10401"});
    parser.addOption({"picture-port", "Picture port.", "port", "10402"});
    const int status = cli::read(parser);
    if (status != cli::kGoOn) return status;

    fakepeer::FakeSmartCamera::Options options;
    options.paramPort = quint16(parser.value("param-port").toUInt());
    options.picturePort = quint16(parser.value("picture-port").toUInt());
    options.servePictures = !parser.isSet("no-pictures");
    fakepeer::FakeSmartCamera camera(options);
    if (!camera.start()) {
        std::fprintf(stderr, "cannot listen on the camera ports\n");
        return 1;
    }
    UDP_ACam_Server responder(nullptr, parser.value("id"));
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
