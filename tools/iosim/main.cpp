// mouldmon-iosim: an IO board on a pseudo-terminal for development runs. Start it, then start
// the program with MOULDMON_SERIAL set to the printed path, and drive the inputs from here.
//
// Usage: mouldmon-iosim [--link PATH] [--params PARAM.db] [--trigger-file FILE]
//                      [--trigger-input N]
//   --link PATH      keep a symbolic link at PATH to the pseudo-terminal; a program given PATH
//                    finds a restarted simulator again
//   --params FILE    name the output terminals and their active levels as FILE sets them
//                    (read again when it changes); without it, the factory parameters
//   --trigger-file FILE   count the rising edges of the mould-open input in FILE: simulation
//                    cameras that watch it ($MOULDMON_SIM_TRIGGER) and run on the external
//                    trigger take one picture per edge
//   --trigger-input N     the input terminal (1..10) wired to the cameras' triggers; default 1
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>

#include "commandline.h"
#include "ioboardsimulator.h"
#include "outputnames.h"
#include "triggerwire.h"

namespace {

std::mutex printMutex;
std::mutex namesMutex;  // the names are read again from the simulator thread and from here

void printLine(const std::string& text) {
    std::lock_guard<std::mutex> lock(printMutex);
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

std::string bits(quint32 word) {
    std::string text;
    for (int bit = 9; bit >= 0; --bit) text += (word >> bit) & 1u ? '1' : '0';
    return text;
}

std::string describeOutputs(const iosim::OutputNames& names, quint32 word) {
    return names.describeWord(word).toStdString() + " (levels 9..0: " + bits(word) + ")";
}

void help() {
    printLine(
        "commands:\n"
        "  in N 0|1        input bit N (0..9, terminal N+1) low or high\n"
        "  inputs WORD     all ten inputs at once (decimal or 0x...)\n"
        "  temp SLOT VALUE temperature slot 0..15\n"
        "  out             show the outputs (ON/off as the machine reads them)\n"
        "  stats           commands received so far\n"
        "  noise           send a few stray bytes to the program\n"
        "  split N         split the next N replies across two writes\n"
        "  lose N          lose the next N output commands\n"
        "  help, quit");
}

bool parseNumber(const std::string& text, unsigned long* value) {
    try {
        size_t used = 0;
        *value = std::stoul(text, &used, 0);
        return used == text.size();
    } catch (...) {
        return false;
    }
}

// A stop by signal (the run command ends with SIGTERM) takes the stable link along, as "quit"
// does, so that a program looking for the board finds no stale path. Only async-signal-safe
// calls here: the paths are copied before the handler is installed.
char gLinkPath[4096];
char gSlavePath[4096];

void stopBySignal(int signalNumber) {
    char target[sizeof(gSlavePath)];
    const ssize_t n = ::readlink(gLinkPath, target, sizeof(target) - 1);
    if (n > 0) {
        target[n] = '\0';
        bool same = true;
        for (ssize_t i = 0; i <= n; ++i)
            if (target[i] != gSlavePath[i]) same = false;
        if (same) ::unlink(gLinkPath);
    }
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

void unlinkOnSignals(const QString& link, const QString& slave) {
    const QByteArray l = QFile::encodeName(link);
    const QByteArray s = QFile::encodeName(slave);
    if (size_t(l.size()) >= sizeof(gLinkPath) || size_t(s.size()) >= sizeof(gSlavePath)) return;
    std::memcpy(gLinkPath, l.constData(), size_t(l.size()) + 1);
    std::memcpy(gSlavePath, s.constData(), size_t(s.size()) + 1);
    ::signal(SIGTERM, stopBySignal);
    ::signal(SIGINT, stopBySignal);
    ::signal(SIGHUP, stopBySignal);
}

// The parameter tables report what they load; the simulator's log is for the board alone.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtDebugMsg || type == QtInfoMsg) return;
    std::fprintf(stderr, "mouldmon-iosim: %s\n", text.toLocal8Bit().constData());
}

}  // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(quietMessages);
    QCoreApplication app(argc, argv);  // for the database driver of --params
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "An IO board on a pseudo-terminal: start the program with MOULDMON_SERIAL set to the\n"
        "printed path and drive the inputs with the commands typed here (\"help\" lists them)."));
    parser.addOption({QStringLiteral("link"),
                      QStringLiteral("Keep a symbolic link at PATH to the pseudo-terminal; a "
                                     "program given PATH finds a restarted simulator again."),
                      QStringLiteral("PATH")});
    parser.addOption({QStringLiteral("params"),
                      QStringLiteral("Name the output terminals and their active levels as FILE "
                                     "sets them (read again when it changes); without it, the "
                                     "factory parameters."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("trigger-file"),
                      QStringLiteral("Count the rising edges of the mould-open input in FILE: "
                                     "simulation cameras that watch it "
                                     "($MOULDMON_SIM_TRIGGER) and run on the external trigger "
                                     "take one picture per edge."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("trigger-input"),
                      QStringLiteral("The input terminal (1..10) wired to the cameras' "
                                     "triggers; default 1, the mould-open input."),
                      QStringLiteral("N"), QStringLiteral("1")});
    const int status = cli::read(parser);
    if (status != cli::kGoOn) return status;
    const QString linkPath = parser.value(QStringLiteral("link"));
    const QString paramDb = parser.value(QStringLiteral("params"));
    const QString triggerFile = parser.value(QStringLiteral("trigger-file"));
    bool terminalRead = false;
    const int triggerTerminal = parser.value(QStringLiteral("trigger-input")).toInt(&terminalRead);
    if (!terminalRead || triggerTerminal < 1 || triggerTerminal > 10)
        return cli::refuse(QStringLiteral("--trigger-input takes a terminal from 1 to 10"));

    iosim::OutputNames names;
    if (!paramDb.isEmpty()) {
        QString error;
        if (!names.load(paramDb, &error))
            printLine("output names: " + error.toStdString() + "; using the factory parameters");
    }
    std::unique_ptr<iosim::TriggerWire> wire;
    if (!triggerFile.isEmpty()) {
        wire = std::make_unique<iosim::TriggerWire>(triggerFile, triggerTerminal - 1);
        if (!wire->start()) {
            std::fprintf(stderr, "mouldmon-iosim: %s\n",
                         wire->errorString().toLocal8Bit().constData());
            return 1;
        }
    }
    iosim::IoBoardSimulator board;
    if (wire)
        board.setInputObserver([&wire](quint32 before, quint32 after) {
            if (!wire->inputsChanged(before, after)) printLine(wire->errorString().toStdString());
        });
    if (!board.start()) {
        std::fprintf(stderr, "mouldmon-iosim: %s\n", board.errorString().toLocal8Bit().constData());
        return 1;
    }
    if (!linkPath.isEmpty() && !board.keepLink(linkPath)) {
        std::fprintf(stderr, "mouldmon-iosim: %s\n", board.errorString().toLocal8Bit().constData());
        return 1;
    }
    if (!linkPath.isEmpty()) unlinkOnSignals(linkPath, board.slavePath());
    quint32 shown = board.outputs();
    board.setOutputObserver([&names, &shown](quint32 word) {
        std::lock_guard<std::mutex> lock(namesMutex);
        names.reloadIfChanged();
        for (const QString& change : names.describeChanges(shown, word))
            printLine(change.toStdString());
        shown = word;
        printLine(describeOutputs(names, word));
    });
    printLine("IO board simulator on " + board.slavePath().toStdString());
    const std::string path = (linkPath.isEmpty() ? board.slavePath() : linkPath).toStdString();
    printLine("start the program with MOULDMON_SERIAL=" + path);
    if (wire)
        printLine("input terminal " + std::to_string(triggerTerminal) +
                  " triggers the simulation cameras watching " + triggerFile.toStdString() +
                  " (MOULDMON_SIM_TRIGGER)");
    help();
    printLine(describeOutputs(names, board.outputs()));

    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream words(line);
        std::string command, a, b;
        words >> command >> a >> b;
        unsigned long x = 0, y = 0;
        if (command.empty()) continue;
        if (command == "quit" || command == "exit") break;
        if (command == "help") {
            help();
        } else if (command == "in" && parseNumber(a, &x) && parseNumber(b, &y) && x <= 9) {
            board.setInput(int(x), y != 0);
            printLine("inputs " + bits(board.inputs()));
        } else if (command == "inputs" && parseNumber(a, &x)) {
            board.setInputs(quint32(x));
            printLine("inputs " + bits(board.inputs()));
        } else if (command == "temp" && parseNumber(a, &x) && parseNumber(b, &y) && x < 16) {
            board.setTemperature(int(x), quint32(y));
        } else if (command == "out") {
            std::lock_guard<std::mutex> lock(namesMutex);
            names.reloadIfChanged();
            printLine(describeOutputs(names, board.outputs()));
        } else if (command == "stats") {
            std::ostringstream text;
            text << "polls " << board.commandCount(2) << ", output commands "
                 << board.commandCount(1) << ", temperature requests " << board.commandCount(3)
                 << "+" << board.commandCount(4) << ", stray bytes " << board.bytesSkipped();
            printLine(text.str());
        } else if (command == "noise") {
            board.injectBytes(QByteArray::fromHex("5f0102f5aa"));
        } else if (command == "split" && parseNumber(a, &x)) {
            board.splitNextReplies(int(x));
        } else if (command == "lose" && parseNumber(a, &x)) {
            board.loseNextOutputCommands(int(x));
        } else {
            printLine("? " + line + " (try help)");
        }
    }
    board.stop();
    return 0;
}
