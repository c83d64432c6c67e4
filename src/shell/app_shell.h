// Start-up and shutdown of the viewer around the application object:
//
//   CVarnothApp constructed (data folder ready)
//   InitInstance: command line, single instance, dictionary, title,
//                 accelerators, settings, data files
//   RunMainWindow: the main window until exit or the close box
//   ExitInstance: data files and settings written, dictionary released
//
// Thread-safety: interface thread only.
#pragma once

#include <QStringList>

#include <memory>
#include <string>

class CAcceleratorFilter;
class CVarnothApp;
class CVarnothDlg;
class interface_dispatcher;

class CVarnothShell {
public:
    explicit CVarnothShell(CVarnothApp& app);
    ~CVarnothShell();

    // The start-up steps in their order.  False when this instance must end
    // now: another instance runs (quietly), the dictionary library fails
    // (quietly) or the dictionary does not load (after its message).
    bool InitInstance(const QStringList& arguments);

    // Creates the main window, shows it with its saved placement and runs the
    // event loop until it ends.  Returns the event loop's result.
    int RunMainWindow();

    // Creates and shows the main window without running the event loop (tests).
    CVarnothDlg* CreateMainWindow();

    // Saves and releases everything (only an instance that reached its main
    // window writes files).
    void ExitInstance();

    // The file named on the command line (the first argument that is not a
    // switch), empty when none.
    const std::u16string& CommandLineFile() const { return m_command_line_file; }

    // The help page for the window the user is in: the active dialog's
    // "help_topic" property, else "index".
    static std::u16string HelpTopic();

private:
    // Opens the help page in the desktop's browser; an error box when it
    // cannot be opened.
    void ShowHelp();

    // Where a file named on the command line is handed to the running
    // instance; the first instance picks up its own file the same way once
    // its window is shown.
    void HandOffCommandLineFile();

    CVarnothApp& m_app;
    std::u16string m_command_line_file;
    std::unique_ptr<interface_dispatcher> m_dispatcher;
    std::unique_ptr<CVarnothDlg> m_main_window;
    std::unique_ptr<CAcceleratorFilter> m_accelerators;
};

// The whole program: what main() runs.
int RunVarnoth(int argc, char** argv);
