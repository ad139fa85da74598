// mouldmon-fakecompanion: a stand-in monitoring companion for development runs. It listens on
// 127.0.0.1 (port 10431 unless given), answers heartbeats with the given flags and prints
// every message the program sends, e.g.
//   mouldmon-fakecompanion 10431 '{"cntserver":true,"register":true,"needvideo":true}'
#include <QCoreApplication>
#include <QJsonDocument>
#include <QTimer>
#include <cstdio>

#include "fakecompanion.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const quint16 port = args.size() > 1 ? quint16(args.at(1).toUInt()) : quint16(10431);
    fakepeer::FakeCompanion companion;
    if (args.size() > 2)
        companion.setHeartbeatResult(QJsonDocument::fromJson(args.at(2).toUtf8()).object());
    if (!companion.listen(port)) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1:%u\n", unsigned(port));
        return 1;
    }
    std::printf("listening on 127.0.0.1:%u\n", unsigned(companion.port()));
    std::fflush(stdout);
    QTimer printer;
    QObject::connect(&printer, &QTimer::timeout, [&companion] {
        for (const fakepeer::Request& request : companion.received())
            std::printf("%s %s\n", qPrintable(request.url), request.body.constData());
        std::fflush(stdout);
        companion.clear();
    });
    printer.start(200);
    return app.exec();
}
