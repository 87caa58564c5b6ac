// Commands run without a window:
//
//   quillbury [--home DIR] print-labels --label "DESCRIPTION" [options]
//             (--pdf OUT.pdf | --printer NAME)
//   quillbury [--home DIR] add-demo-label [--label "DESCRIPTION"]
//
// print-labels runs the same label loop as the label window over the
// address file, opened read-only: nothing in it changes. Progress and errors
// go to standard error; every failure ends with a message and a non-zero
// exit code.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>

namespace qb {

// Exit codes of the commands.
enum CliExit { CliOk = 0, CliFailed = 1, CliUsage = 2 };

// The command word in the arguments ("print-labels", "add-demo-label"), or
// "" when the program should start its window.
QString CommandOf(const QStringList& args);

// The options of print-labels.
struct PrintLabelsOptions {
    QString label;                           // description of the label definition
    QString file;                            // address file; "" = the one used last
    QString records = QStringLiteral("all"); // all | filter | tagged | current
    QString filterFile;                      // a saved .FLT filter
    QString order;                           // tag name of the order to print in
    bool presort = false;
    int copies = 1;
    QString positions;     // "1,2,5-30"; "" = every position
    QString startRecord;   // record number to start from ("" = first)
    QString pdf;           // output PDF file
    QString printer;       // or a printer by name
    bool anyPaper = false; // print even when the paper is unconfirmed
    bool quiet = false;    // no progress lines
};

// Parses the arguments after the command word (the global --home may stand
// anywhere and is skipped). False with a message in `error` when they are
// not usable.
bool ParsePrintLabels(const QStringList& args, PrintLabelsOptions& options, QString* error);

// Runs print-labels in an existing QApplication with the program directory
// already set. Messages go to `err`.
int PrintLabelsCommand(const PrintLabelsOptions& options, FILE* err);

// Adds a label definition on the default 30-up stock with an address block
// and a POSTNET bar code (for trying the program out and for benchmarks).
// Does nothing, successfully, when a definition of that description exists.
int AddDemoLabelCommand(const QString& description, FILE* err);
QString DemoLabelDescription(); // "Demo Address Labels"

// The help text of the commands (part of --help).
const char* CommandUsage();

// The whole command run from main(): makes the application object (without
// a display when there is none), sets the program directory from --home
// and runs the command. `args` holds the program name first.
int RunCommandLine(int& argc, char** argv, const QStringList& args);

} // namespace qb
