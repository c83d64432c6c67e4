// The file commands that start the open job, until the main window carries
// its own: Open (the open dialog), the recent files, and Close for the
// placeholder tabs.
//
// Thread-safety: interface thread only.
#pragma once

#include <QString>

class CVarnothApp;
class CVarnothDlg;
class main_dialog_adapter;

// The open dialog's filter: all files, text files, log files.
QString OpenDialogFilter();

void RegisterFileCommands(CVarnothDlg& window, CVarnothApp& app, main_dialog_adapter& tabs);
