// The file commands that start the open job: Open (the open dialog) and the
// recent files; and Close, which removes the active tab with its file view.
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
