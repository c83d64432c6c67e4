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

#include "app/instance_handoff.h"
#include "app/stdin_spool.h"

#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CAcceleratorFilter;
class CInstanceChannel;
class CLineOpener;
class CStandardInput;
class CVarnothApp;
class CVarnothDlg;
class interface_dispatcher;
class main_dialog_adapter;

class CVarnothShell {
public:
    explicit CVarnothShell(CVarnothApp& app);
    ~CVarnothShell();

    // The folder a relative command-line path is taken against (the folder
    // the process started in; the application object changes it).
    void SetStartDirectory(std::u16string folder) { m_start_directory = std::move(folder); }

    // Standard input to read as a log (the descriptor is owned by the shell
    // from now on), as the command line's rule decided; none by default.
    void SetStandardInput(int input, stdin_use use);
    // The reader of standard input; null when it is not read.
    CStandardInput* StandardInput() const { return m_stdin.get(); }
    // True when this process shows standard input in a window of its own
    // because another viewer runs (a stream cannot be handed over).
    bool OwnWindow() const { return m_own_window; }

    // The start-up steps in their order.  False when this instance must end
    // now: another instance runs (quietly, after handing its file over), the
    // dictionary library fails (quietly) or the dictionary does not load
    // (after its message).  Ends by starting the work thread.
    bool InitInstance(const QStringList& arguments);

    // Creates the main window, shows it with its saved placement and runs the
    // event loop until it ends.  Returns the event loop's result.
    int RunMainWindow();

    // Creates and shows the main window without running the event loop
    // (tests), connects it to the job protocol and starts taking handed-over
    // files (the first take runs once the event loop runs).
    CVarnothDlg* CreateMainWindow();

    // The running instance's end of the hand-off; null before the main window.
    CInstanceChannel* InstanceChannel() const { return m_channel.get(); }

    // Saves and releases everything (only an instance that reached its main
    // window writes files).
    void ExitInstance();

    // The first file named on the command line as a full path, empty when
    // none; and every file named, with its line.
    const std::u16string& CommandLineFile() const { return m_command_line_file; }
    const std::vector<handed_file>& CommandLineFiles() const { return m_command_line_files; }
    // The files waiting to be shown at their line.
    CLineOpener* LineOpener() const { return m_line_opener.get(); }

    // The help page for the window the user is in: the active dialog's
    // "help_topic" property (a modal dialog first, else the active window),
    // else "index".
    static std::u16string HelpTopic();

private:
    // Opens the help page in the desktop's browser; an error box when it
    // cannot be opened.
    void ShowHelp();

    // Hands the command-line files to the running instance through the
    // spool, in one batch, and wakes it; the first instance picks up its own
    // files the same way once its window is shown.
    void HandOffCommandLineFile();
    // Routes the work thread's messages to the application and starts it.
    void StartWorkProtocol();

    CVarnothApp& m_app;
    std::u16string m_start_directory;
    std::u16string m_command_line_file;
    std::vector<handed_file> m_command_line_files;
    std::unique_ptr<interface_dispatcher> m_dispatcher;
    std::unique_ptr<CVarnothDlg> m_main_window;
    std::unique_ptr<main_dialog_adapter> m_main_dialog;
    std::unique_ptr<CInstanceChannel> m_channel;
    std::unique_ptr<CLineOpener> m_line_opener;
    std::unique_ptr<CAcceleratorFilter> m_accelerators;
    int m_stdin_input = -1;
    stdin_use m_stdin_use = stdin_use::none;
    bool m_own_window = false;
    std::unique_ptr<CStandardInput> m_stdin;
};

// The whole program: what main() runs.  after_application, when given, runs
// once Qt's application object exists, before the viewer starts (previews
// set a style or palette there).
int RunVarnoth(int argc, char** argv, const std::function<void()>& after_application = {});
