// The main window's filter and highlight setting commands:
//   32799 filter settings     the filter dialog on a copy of the active
//                             file's groups; Apply stores them, turns
//                             filtering on (and runs it) when a condition
//                             exists, else off; Cancel turns it off when
//                             the file had no condition
//   32797 highlight settings  the highlight dialog on a copy of the active
//                             file's rules; Apply stores them, turns
//                             highlighting on when a rule exists, else off,
//                             and repaints; Cancel turns it off when the
//                             file had no rule
// Both dialogs keep their favourites and recent lists in the application
// object, which saves them at exit with the other data files.
//
// Thread-safety: interface thread only.
#pragma once

class CVarnothApp;
class CVarnothDlg;
class main_dialog_adapter;

void RegisterSettingsCommands(CVarnothDlg& window, CVarnothApp& app, main_dialog_adapter& tabs);
