// The search commands of the main window and the options command:
//   32779 find          show the find dialog on the active tab, find in file off
//   32780 find in file  the same with find in file on
//   32781 find next     run the active file's search once; without a search
//                       text, as 32779
//   32782 find previous the same in the other direction
//   32783 options       the options dialog
// The find dialog is made here, hidden, owned by the main window; it follows
// the active tab and is disabled while a modal dialog runs over the main
// window.
//
// Thread-safety: interface thread only.
#pragma once

class CFindDlg;
class CVarnothApp;
class CVarnothDlg;
class main_dialog_adapter;

void RegisterFindCommands(CVarnothDlg& window, CVarnothApp& app, main_dialog_adapter& tabs);

// The find dialog RegisterFindCommands made for window; null before.
CFindDlg* FindDialog(const CVarnothDlg& window);

// Runs the active file's search once on the active list: from the first
// (down) or last (up) row when restart is set, else from the selection mark;
// reverse searches the other way this once.  A found row is selected.  When
// the list has no further match: "IDS_MSG_NOT_FOUND", or with find in file
// the search goes on through the file on the work thread.  Nothing without
// an active list or a search text.
void FindNext(CVarnothApp& app, main_dialog_adapter& tabs, bool restart, bool reverse);
