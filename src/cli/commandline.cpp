#include "commandline.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

namespace cli {

namespace {

QString programName() {
    return QFileInfo(QCoreApplication::arguments().value(0)).fileName();
}

}  // namespace

int read(QCommandLineParser& parser, int maxPositional) {
    parser.addHelpOption();
    // "-name" is one option, as in Qt's own options, not the letters n, a, m and e.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const bool parsed = parser.parse(QCoreApplication::arguments());
    // Asked for the usage, the program answers it whatever else the line holds.
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (!parsed) return refuse(parser.errorText());
    const QStringList extra = parser.positionalArguments().mid(maxPositional);
    if (!extra.isEmpty()) return refuse(QStringLiteral("unexpected argument '%1'").arg(extra[0]));
    return kGoOn;
}

int refuse(const QString& why) {
    const QString name = programName();
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", qPrintable(name), qPrintable(why),
                 qPrintable(name));
    return kRefused;
}

bool asksForHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "-h" || arg == "--help" || arg == "--help-all") return true;
    }
    return false;
}

}  // namespace cli
