// The file commands that start the open job: Open (the open dialog) and the
// recent files; and Close, which removes the active tab with its file view.
//
// Thread-safety: interface thread only.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <string>

class CVarnothApp;
class QWidget;
class CVarnothDlg;
class main_dialog_adapter;

// The open dialog's filter: all files, text files, log files.
QString OpenDialogFilter();

// The folder a file dialog starts in: remembered when it names a folder
// that exists, else fallback.
QString StartFolder(const std::u16string& remembered, const QString& fallback);

// The open dialog: the chosen paths, none when cancelled.  Tests replace it;
// null puts the desktop's dialog back.  Returns the one replaced.
using open_dialog = std::function<QStringList(QWidget* parent, const QString& folder)>;
open_dialog SetOpenDialog(open_dialog dialog);

void RegisterFileCommands(CVarnothDlg& window, CVarnothApp& app, main_dialog_adapter& tabs);
