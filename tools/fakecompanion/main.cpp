// mouldmon-fakecompanion: a stand-in monitoring companion for development runs. It listens on
// 127.0.0.1 (port 10431 unless given), answers heartbeats with the given flags and prints
// every message the program sends, e.g.
//   mouldmon-fakecompanion 10431 '{"cntserver":true,"register":true,"needvideo":true}'
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QTimer>
#include <cstdio>

#include "commandline.h"
#include "fakecompanion.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A stand-in monitoring companion: listens on 127.0.0.1, answers heartbeats with the\n"
        "given flags and prints every message the program sends."));
    parser.addPositionalArgument(QStringLiteral("port"), QStringLiteral("Port (10431)."),
                                 QStringLiteral("[PORT"));
    parser.addPositionalArgument(QStringLiteral("flags"),
                                 QStringLiteral("Heartbeat answer, a JSON object."),
                                 QStringLiteral("[FLAGS]]"));
    const int status = cli::read(parser, 2);
    if (status != cli::kGoOn) return status;
    const QStringList args = parser.positionalArguments();
    bool portOk = true;
    const quint16 port = args.isEmpty() ? quint16(10431) : args[0].toUShort(&portOk);
    if (!portOk) return cli::refuse(QStringLiteral("'%1' is no port").arg(args[0]));
    fakepeer::FakeCompanion companion;
    if (args.size() > 1)
        companion.setHeartbeatResult(QJsonDocument::fromJson(args[1].toUtf8()).object());
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
