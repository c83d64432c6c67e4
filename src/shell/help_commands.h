// The help menu's commands that lead out of the viewer: the about box, the
// online help (also Ctrl+F1), the feedback page and the update check.  The
// web site and the support address come from the settings each time, so an
// edited setting is in force at once.
//
// Thread-safety: interface thread only.
#pragma once

class CVarnothApp;
class CVarnothDlg;

void RegisterHelpCommands(CVarnothDlg& window, CVarnothApp& app);

// Shows the about box over window (modal).
void ShowAboutBox(CVarnothDlg& window, CVarnothApp& app);
