// Lays out a working folder as a panel has it after installation: the factory parameter group,
// the parameter and record databases made from the defaults, and the pictures of the buttons.
// Existing files are kept; a damaged parameter database ends the tool with the ways to recover.
//
// With --demo it also sets up inspection areas and reference templates for the simulation
// camera's cameras (cameras whose tables hold areas already are left alone), so that the
// simulated machine shows OK on clean pictures and NG on the fault picture. The areas are laid
// out for the program's display: the size given with --display, else the primary screen of
// $DISPLAY, else the virtual screen the run command gives the program.
//
// Usage: mouldmon-workdir-init [--demo [--display WIDTHxHEIGHT]] [folder]
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QSqlDatabase>
#include <cstdio>
#include <memory>

#include "buttonpictures.h"
#include "commandline.h"
#include "demolimits.h"
#include "demoseed.h"
#include "operationlog.h"
#include "paramlimits.h"
#include "sqlitefiles.h"
#include "wizardparastore.h"

namespace {

constexpr const char* kDemoConnection = "workdir-init-demo";

struct Arguments {
    bool demo = false;
    QSize display;  // invalid: not given
    QString folder = QStringLiteral(".");
};

QSize parseSize(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch()) return QSize();
    const int w = m.captured(1).toInt();
    const int h = m.captured(2).toInt();
    const int most = workdirdemo::kMaxDisplaySide;
    if (w <= 0 || h <= 0 || w > most || h > most) return QSize();
    return QSize(w, h);
}

// Read with an application object of its own, before the tool's: whether to ask a screen
// decides the tool's kind. The status to end with at once, or cli::kGoOn.
int readArguments(int argc, char** argv, Arguments* a) {
    QCoreApplication reading(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Lays out a working folder as a panel has it after installation: the factory parameter\n"
        "group, the parameter and record databases made from the defaults, and the pictures of\n"
        "the buttons. Existing files are kept."));
    parser.addOption({QStringLiteral("demo"),
                      QStringLiteral("Also inspection areas and templates for the simulation "
                                     "camera's cameras (cameras with areas are left alone).")});
    parser.addOption({QStringLiteral("display"),
                      QStringLiteral("The program's display the areas are laid out for (with "
                                     "--demo); else the screen of $DISPLAY, else the run "
                                     "command's."),
                      QStringLiteral("WIDTHxHEIGHT")});
    parser.addPositionalArgument(QStringLiteral("folder"),
                                 QStringLiteral("The working folder (the current one)."),
                                 QStringLiteral("[FOLDER]"));
    const int status = cli::read(parser, 1);
    if (status != cli::kGoOn) return status;
    a->demo = parser.isSet(QStringLiteral("demo"));
    if (parser.isSet(QStringLiteral("display"))) {
        a->display = parseSize(parser.value(QStringLiteral("display")));
        if (!a->display.isValid()) return cli::refuse(QStringLiteral("no display size"));
        if (!a->demo) return cli::refuse(QStringLiteral("--display is for --demo"));
    }
    if (!parser.positionalArguments().isEmpty()) a->folder = parser.positionalArguments()[0];
    return cli::kGoOn;
}

bool screenReachable() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    return !qgetenv("DISPLAY").isEmpty() && (platform.isEmpty() || platform.startsWith("xcb"));
}

bool copyIfMissing(const QString& from, const QString& to) {
    return QFile::exists(to) || storage::installDatabaseCopy(from, to);
}

bool layOut() {
    bool ok = WizardParaStore::ensureFactoryDatabase();
    ok = ok && copyIfMissing(WizardParaStore::factoryDatabasePath(),
                             QLatin1String(params::kParamDatabaseFile));
    const QString recordTemplate = QLatin1String(OperationLog::kTemplateFile);
    ok = ok && (QFile::exists(recordTemplate) || OperationLog::createEmptyDatabase(recordTemplate));
    ok = ok && copyIfMissing(recordTemplate, QLatin1String(OperationLog::kDatabaseFile));
    ok = ok && workdirdemo::installButtonPictures(QStringLiteral("."));
    return ok;
}

// An existing parameter database is never replaced here; a damaged one is named with the ways
// back instead of a line per unreadable row.
bool paramDatabaseUsable(const QString& folder) {
    const QString file = QLatin1String(params::kParamDatabaseFile);
    const storage::DbCheck check = WizardParaStore::checkDatabase(file);
    if (check.usable()) return true;
    std::fprintf(stderr,
                 "%s in %s cannot be used: %s\n"
                 "To recover, either\n"
                 "  - start the program: it keeps the damaged file as %s.damaged-<time>, puts a\n"
                 "    copy of the current parameter group (or of the factory group) in its place\n"
                 "    and says so on the screen; or\n"
                 "  - move it aside yourself and run this tool again, which lays out the factory\n"
                 "    copy:  mv %s/%s %s/%s.bad\n",
                 qPrintable(file), qPrintable(folder), qPrintable(check.reason), qPrintable(file),
                 qPrintable(folder), qPrintable(file), qPrintable(folder), qPrintable(file));
    return false;
}

bool seedDemo(const QSize& display) {
    workdirdemo::DemoOptions options;
    options.pictureRoot = workdirdemo::pictureRootFor(QCoreApplication::applicationDirPath());
    options.display = display;
    workdirdemo::DemoReport report;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QLatin1String(kDemoConnection));
        db.setDatabaseName(QLatin1String(params::kParamDatabaseFile));
        if (db.open())
            report = workdirdemo::seedDemoRegions(db, options);
        else
            report.error = QStringLiteral("cannot open %1").arg(params::kParamDatabaseFile);
        db.close();
    }
    QSqlDatabase::removeDatabase(QLatin1String(kDemoConnection));
    for (const QString& line : workdirdemo::describe(report))
        std::fprintf(stderr, "%s\n", qPrintable(line));
    return report.ok;
}

}  // namespace

int main(int argc, char** argv) {
    Arguments args;
    const int status = readArguments(argc, argv, &args);
    if (status != cli::kGoOn) return status;
    // Only the demo set-up needs a screen, and only when no size was given.
    const bool askScreen = args.demo && !args.display.isValid() && screenReachable();
    std::unique_ptr<QCoreApplication> app;
    if (askScreen)
        app = std::make_unique<QGuiApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);

    if (!QDir().mkpath(args.folder) || !QDir::setCurrent(args.folder)) {
        std::fprintf(stderr, "cannot use the folder %s\n", qPrintable(args.folder));
        return 1;
    }
    if (!layOut()) {
        std::fprintf(stderr, "cannot lay out the working folder %s\n", qPrintable(args.folder));
        return 1;
    }
    if (!paramDatabaseUsable(QDir::currentPath())) return 1;
    if (!args.demo) return 0;

    QSize display = args.display;
    if (!display.isValid() && askScreen && QGuiApplication::primaryScreen())
        display = QGuiApplication::primaryScreen()->geometry().size();
    if (!display.isValid())
        display = QSize(workdirdemo::kDefaultDisplayWidth, workdirdemo::kDefaultDisplayHeight);
    return seedDemo(display) ? 0 : 1;
}
