// The parser manager over the running viewer: the manager dialog gets the
// open files and tabs it asks about, and afterwards every open file whose
// parser changed is parsed again with the new one, in its tab, its columns
// rebuilt.
//
//   manage button (105) --> snapshot of each file's parser --> manager
//   --> per file: renamed, edited or replaced parser? --> change_parser + columns
//       a file on the default parser takes a parser added or edited just now
//       when that one splits its last rows
//
// Thread-safety: interface thread only, while no job runs.
#pragma once

#include <QWidget>

#include <functional>

class CVarnothApp;
class CVarnothDlg;
class main_dialog_adapter;

// Runs run (the desktop's parser manager when empty) and brings the open
// files in line with the parser list afterwards.  True when any file was
// parsed again.
bool RunParserManager(CVarnothDlg& window, CVarnothApp& app, main_dialog_adapter& tabs,
                      const std::function<void(QWidget* parent)>& run);

// New parser from this line (the list popup): the parser editor alone,
// filled with a parser suggested from the active list's selected row and its
// window's last rows; on OK the parser is stored as the manager stores it and
// the active file takes it when it fits.  True when any file was parsed again.
bool RunParserSuggestion(CVarnothDlg& window, CVarnothApp& app, main_dialog_adapter& tabs);
