// The viewer's command line:
//
//   varnoth [OPTIONS] [FILE[:LINE]...]
//
//   -h, --help        print the usage and end
//   -v, --version     print the version and end
//   -l, --line N      open the files at line N (a FILE:N keeps its own N)
//   --                every argument after it is a file
//   -                 standard input (see app/stdin_spool.h for when a pipe
//                     without "-" is read too)
//
// Files are taken relative to the caller's working directory.  FILE:N is
// split only when FILE:N itself is not an existing file, so that names with
// ":" still open.  Parsing needs neither an application object nor a
// display: --help and --version work on a bare terminal.
//
// Thread-safety: none needed (no state).
#pragma once

#include "app/instance_handoff.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

struct command_line {
    enum class action { run, help, version, usage_error };
    action what = action::run;
    std::vector<handed_file> files; // absolute, in the order given
    bool standard_input = false;    // "-" was among the files
    QString error;                  // for usage_error: what was wrong
};

// The exit status of a command line that does not start the viewer.
inline constexpr int kUsageErrorStatus = 2;

// Whether a path names an existing file; tests replace it.
using file_exists_function = std::function<bool(const QString& path)>;

// Parses arguments (the program name first) with paths relative to
// working_directory.
command_line ParseCommandLine(const QStringList& arguments, const QString& working_directory,
                              const file_exists_function& exists = {});

// The text of --help and --version.
QString UsageText();
QString VersionText();

// What the program prints and the status it ends with when the command line
// does not start the viewer; false (nothing printed) when it does.
bool AnswerCommandLine(const command_line& line, int& exit_status);
