#pragma once
// The program from its start to the end of its main window: one running copy,
// the program folder and its settings, the window layout, the machine to scan
// (--machine DIR, else chosen in a folder dialog and remembered), the debug
// privilege, the folder table, then the main window until it closes.

#include <QString>
#include <QStringList>
#include <memory>
#include <string>

#include "text/debug.h"
#include "ui/prompter.h"

namespace veldan::ui {

struct StartOptions {
    std::string programFolder;  // default: the program's own folder
    std::string machineFolder;  // "" asks
    std::string user;           // the profile of a Windows installation
    bool force = false;         // open hives that were not cleanly written
    bool help = false;
};

// Reads the command line (without the program name). False with `error` set
// for an unknown option or a missing value.
bool ParseStartArgs(const QStringList& args, StartOptions& options, std::string& error);

// The usage text of --help.
std::string StartUsage();

// The title of the folder dialog that asks for the machine to scan.
QString MachineFolderTitle();

class CVeldanApp {
  public:
    // `debug` receives the debug lines; null: the default sink (VELDAN_DEBUG=1).
    explicit CVeldanApp(Prompter& prompter, text::DebugSink* debug = nullptr)
        : prompter_(prompter), debug_(debug) {}

    // Runs the program; needs a QApplication. Returns the exit status: 0 also
    // when a copy already runs or the layout is missing (nothing is shown),
    // 1 when the machine cannot be opened.
    int Run(StartOptions options);

  private:
    Prompter& prompter_;
    text::DebugSink* debug_;
};

}  // namespace veldan::ui
