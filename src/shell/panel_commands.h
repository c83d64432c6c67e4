// The commands and companions around the lists: export (32810-32813), copy
// of rows and columns (32777, 33100+column, 32801 for the clicked column),
// the path commands (32789-32792), and the top panel, status bar and
// file-scope bar of the active file.
//
//   export command --checks--> save dialog --> CVarnothApp::ExportRows (job)
//   copy commands  ----------> CopyRowsText --> CopyText (clipboard)
//   tab change, 100 ms tick --> top panel, encoding chooser, file-scope bar
//   parser chooser / encoding chooser --> ChangeParser --> list columns
//   file-scope release ------> ReparseFrom(line under the drag start)
//
// Thread-safety: interface thread only.
#pragma once

#include "ui/command_state.h"

#include <QString>

#include <functional>
#include <string>

class CVarnothApp;
class CVarnothDlg;
class QWidget;
class main_dialog_adapter;

// Where the commands meet the desktop; tests replace them.
struct panel_command_seams {
    // The export's save dialog: the chosen path, empty when cancelled.
    std::function<std::u16string(QWidget* parent, const std::u16string& folder, const std::u16string& initial_name)>
        choose_export_path;
    // Shows the file in the desktop's file manager: 0, or an errno code.
    std::function<int(const std::u16string& path)> show_in_file_manager;
    // The manage button's parser manager, run modally (empty: the desktop's
    // manager dialog); afterwards the files whose parser changed are parsed
    // again and the chooser is refilled from the parser list.
    std::function<void(QWidget* parent)> run_parser_manager;
};
// The seams in force (the desktop's own until replaced); returns the old ones.
panel_command_seams SetPanelCommandSeams(panel_command_seams seams);

// The save dialog's filter: log files, then CSV files.
QString ExportDialogFilter();
// Why the save dialog refuses path as an export target: 0 when it takes it;
// ENOENT when its folder does not exist, EISDIR for a folder, EACCES (or the
// system's reason) for a file that may not be written or is read-only.
int ExportTargetRefusal(const std::u16string& path);

// Puts text on the clipboard as Unicode text: 0, EINVAL for a null text, or
// EIO when the clipboard did not take it.
int CopyText(const char16_t* text);
// Copies the selected rows of the active list: every column (-1) or one,
// with the header rule, the column separator setting and the copy limit;
// says when rows were left out or the clipboard failed.
void CopyRows(CVarnothApp& app, main_dialog_adapter& tabs, int column);

void RegisterPanelCommands(CVarnothDlg& window, CVarnothApp& app, main_dialog_adapter& tabs);
