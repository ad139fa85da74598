#pragma once
// The command line of every program and tool, read one way: -h or --help prints the usage on
// standard output and ends the program with status 0 before it has done anything; an option it
// does not know, an option without its value or an argument too many is refused on standard
// error, with status 2. Typed by hand, a command line must never be taken for a folder to lay
// out or a port to listen on.

#include <QCommandLineParser>
#include <QString>

namespace cli {

// What read() returns when the program goes on.
constexpr int kGoOn = -1;
constexpr int kRefused = 2;

// Reads the application object's arguments with the parser's options (the help options are
// added here); at most maxPositional arguments besides the options. The status to end with at
// once, or kGoOn.
int read(QCommandLineParser& parser, int maxPositional = 0);

// Refuses the command line for a reason of the program's own (a missing argument, a value it
// cannot use), as read() refuses an unknown option; returns kRefused.
int refuse(const QString& why);

// Whether -h or --help is among the arguments, for a program that reads them before it makes
// its application object (the main program needs a screen for its own).
bool asksForHelp(int argc, char** argv);

}  // namespace cli
