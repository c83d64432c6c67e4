// The commands of the main window that act on the active tab: closing
// tabs, exit, selection, refresh and auto refresh, moving the window,
// highlight and filter on/off, include and exclude by cell and by selected
// rows, Remove All Filters.
//
// Each acts through the active file's view (file_view's intents); none
// touches the window, the filters or the index thread itself.
//
// Thread-safety: interface thread only.
#pragma once

class CVarnothApp;
class CVarnothDlg;
class main_dialog_adapter;

void RegisterViewCommands(CVarnothDlg& window, CVarnothApp& app, main_dialog_adapter& tabs);
