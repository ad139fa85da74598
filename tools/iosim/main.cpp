// mouldmon-iosim: an IO board on a pseudo-terminal for development runs. Start it, then start
// the program with MOULDMON_SERIAL set to the printed path, and drive the inputs from here.
#include <cstdio>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>

#include "ioboardsimulator.h"

namespace {

std::mutex printMutex;

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

std::string describeOutputs(quint32 word) {
    std::ostringstream text;
    text << "outputs 0x" << std::hex << word << std::dec << " (bits 9..0: " << bits(word)
         << "; on:";
    for (int bit = 0; bit <= 9; ++bit)
        if ((word >> bit) & 1u) text << " OUT" << bit + 1;
    text << ")";
    return text.str();
}

void help() {
    printLine(
        "commands:\n"
        "  in N 0|1        input bit N (0..9, terminal N+1) low or high\n"
        "  inputs WORD     all ten inputs at once (decimal or 0x...)\n"
        "  temp SLOT VALUE temperature slot 0..15\n"
        "  out             show the outputs\n"
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

}  // namespace

int main() {
    iosim::IoBoardSimulator board;
    if (!board.start()) {
        std::fprintf(stderr, "mouldmon-iosim: %s\n", board.errorString().toLocal8Bit().constData());
        return 1;
    }
    board.setOutputObserver([](quint32 word) { printLine(describeOutputs(word)); });
    printLine("IO board simulator on " + board.slavePath().toStdString());
    printLine("start the program with MOULDMON_SERIAL=" + board.slavePath().toStdString());
    help();

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
            printLine(describeOutputs(board.outputs()));
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
