#include "shell/app_shell.h"

#include "app/instance_handoff.h"
#include "app/varnoth_app.h"
#include "glossant/dictionary_text.h"
#include "logfile/unpack.h"
#include "platform/diagnostics.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/strings.h"
#include "shell/command_line.h"
#include "shell/file_commands.h"
#include "shell/find_commands.h"
#include "shell/help_commands.h"
#include "shell/instance_channel.h"
#include "shell/interface_dispatcher.h"
#include "shell/main_dialog_adapter.h"
#include "shell/open_at_line.h"
#include "shell/panel_commands.h"
#include "shell/settings_commands.h"
#include "shell/standard_input.h"
#include "shell/view_commands.h"
#include "ui/accelerators.h"
#include "ui/command_ids.h"
#include "ui/document_opener.h"
#include "ui/message_presenter.h"
#include "ui/progress_dlg.h"
#include "ui/results_pane.h"
#include "ui/results_wait.h"
#include "ui/system_error.h"
#include "ui/varnoth_dlg.h"
#include "varnoth_version.h"
#include "work/work_messages.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QTimer>
#include <QUrl>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

CVarnothShell::CVarnothShell(CVarnothApp& app) : m_app(app)
{}

CVarnothShell::~CVarnothShell() = default;

bool CVarnothShell::InitInstance(const QStringList& arguments)
{
    SetInterfaceThread();

    // Every file named is opened, relative to where the caller was.  What
    // ends the program at once (help, version, a usage error) was answered
    // before the application started; here such a line opens nothing.
    std::u16string base = m_start_directory;
    if (base.empty()) {
        std::error_code error;
        base = std::filesystem::current_path(error).u16string();
    }
    const command_line line = ParseCommandLine(arguments, QString::fromStdU16String(base));
    m_command_line_files.clear();
    m_command_line_file.clear();
    if (line.what == command_line::action::run)
        m_command_line_files = line.files;
    if (!m_command_line_files.empty())
        m_command_line_file = m_command_line_files.front().path;
    if (m_stdin_use == stdin_use::none) {
        if (!m_command_line_files.empty())
            HandOffCommandLineFile();
        if (!m_app.AcquireSingleInstance())
            return false;
    } else {
        // A stream cannot be handed to a running viewer: this process then
        // shows it, with the files named beside it, in a window of its own
        // that takes no hand-offs and writes no settings.
        m_own_window = !m_app.AcquireSingleInstance();
        if (m_own_window)
            DebugOutput("[shell] a viewer runs already: standard input opens in a window of its own\n");
        else if (!m_command_line_files.empty())
            HandOffCommandLineFile();
    }
    // Copies of standard input left behind by a run that is gone, and plain
    // copies of compressed logs likewise (a copy still in use is locked and
    // stays).
    RemoveOrphanSpools(StandardInputFolder());
    if (const std::string copies = unpacked_copy_folder(); !copies.empty())
        remove_orphan_copies(copies);

    if (!m_app.InitializeDictionary())
        return false;
    if (!m_app.LoadDictionary()) {
        // Without a dictionary the key's own text is empty; a message box
        // with no text would tell the user nothing, so say it plainly.
        std::u16string text = DictionaryText(u"IDS_MSG_FAILED_LOADING_DICT");
        if (text.empty())
            text = u"The dictionary could not be loaded:\n" + m_app.DictionaryDirectory() + u"/"
                   + CVarnothApp::LanguageCode() + u".lc";
        ShowMessage(text, MB_OK | MB_ICONERROR);
        return false;
    }
    m_app.BuildTitle();
    QApplication::setApplicationDisplayName(QString());

    m_app.LoadSettings();
    m_app.LoadData();

    StartWorkProtocol();
    return true;
}

void CVarnothShell::StartWorkProtocol()
{
    m_dispatcher = std::make_unique<interface_dispatcher>(InterfaceThreadQueue());
    for (unsigned id : {WM_WORK_PROGRESS, WM_WORK_DONE, WM_WORK_FILE_READY, WM_WORK_VIEW_UPDATE, WM_WORK_MESSAGE_BOX,
                        WM_WORK_DETECT_PARSER})
        m_dispatcher->set_handler(id, [this](const thread_message& message) { m_app.HandleInterfaceMessage(message); });
    m_app.InstallMessageRouter();
    if (!m_app.StartWorkThread())
        DebugOutput("[shell] the work thread did not start\n");
}

void CVarnothShell::HandOffCommandLineFile()
{
    // A path that cannot travel (far too long) is left out; the rest go.
    std::vector<handed_file> files;
    for (const handed_file& file : m_command_line_files) {
        if (IsHandOffPath(file.path))
            files.push_back(file);
        else
            DebugOutput("[shell] a command-line path cannot be handed over: %s\n", ToUtf8(file.path).c_str());
    }
    if (files.empty() || !HandOffFiles(files)) {
        DebugOutput("[shell] the command-line files could not be handed over, the first: %s\n",
                    ToUtf8(m_command_line_file).c_str());
        return;
    }
    const bool woken = WakeRunningInstance();
    DebugOutput("[shell] %zu command-line file(s) handed over%s, the first: %s\n", m_command_line_files.size(),
                woken ? " to the running instance" : "", ToUtf8(m_command_line_file).c_str());
}

CVarnothDlg* CVarnothShell::CreateMainWindow()
{
    m_main_window = std::make_unique<CVarnothDlg>(m_app);
    m_accelerators = std::make_unique<CAcceleratorFilter>(m_main_window->Router(), m_main_window.get());
    qApp->installEventFilter(m_accelerators.get());
    m_main_window->Router().add(ids::kHelpHelp, [this](int) { ShowHelp(); });
    m_main_dialog = std::make_unique<main_dialog_adapter>(*m_main_window, m_app);
    m_app.SetMainDialog(m_main_dialog.get());
    RegisterFileCommands(*m_main_window, m_app, *m_main_dialog);
    RegisterViewCommands(*m_main_window, m_app, *m_main_dialog);
    RegisterPanelCommands(*m_main_window, m_app, *m_main_dialog);
    RegisterFindCommands(*m_main_window, m_app, *m_main_dialog);
    RegisterHelpCommands(*m_main_window, m_app);
    RegisterSettingsCommands(*m_main_window, m_app, *m_main_dialog);
    m_app.SetProgressDialogFactory([this](int file_count, bool cancellable, native_signal& cancel) {
        return std::make_unique<CProgressDlg>(file_count, cancellable, &cancel, m_main_window.get());
    });
    // The whole-file results fill the active tab's pane while they come; its
    // Cancel is the one the walk listens to.
    m_app.SetLiveWaitFactory([this](int, bool, native_signal& cancel) {
        return std::make_unique<CResultsWait>(m_main_dialog->ActivePane(), &cancel);
    });
    m_app.SetMainWindowRan();
    m_main_window->ShowWithSavedPlacement();
    DebugOutput("[shell] main window shown\n");

    m_channel = std::make_unique<CInstanceChannel>(
        m_main_window.get(), [this](const std::vector<std::u16string>& paths) { m_app.OpenFiles(paths); });
    m_line_opener = std::make_unique<CLineOpener>(*m_main_dialog);
    m_channel->SetLineHandler(
        [opener = m_line_opener.get()](const std::vector<handed_file>& files) { opener->Add(files); });
    if (m_own_window) {
        // Nothing is handed to this window; its own files open directly.
        QTimer::singleShot(0, m_channel.get(), [this] {
            std::vector<std::u16string> paths;
            for (const handed_file& file : m_command_line_files)
                paths.push_back(file.path);
            if (!paths.empty())
                m_app.OpenFiles(paths);
            m_line_opener->Add(m_command_line_files);
        });
    } else {
        m_channel->Listen();
        // Files handed over before the socket listened, this instance's own
        // command-line file among them, are taken once the event loop runs.
        QTimer::singleShot(0, m_channel.get(), [channel = m_channel.get()] { channel->TakeNow(); });
    }
    if (m_stdin_use != stdin_use::none) {
        m_stdin = std::make_unique<CStandardInput>(*m_main_dialog, m_app);
        m_stdin->Start(m_stdin_input, m_stdin_use, StandardInputFolder());
        m_stdin_input = -1;
    }
    return m_main_window.get();
}

int CVarnothShell::RunMainWindow()
{
    CVarnothDlg* window = CreateMainWindow();
    window->setAttribute(Qt::WA_QuitOnClose, true);
    return QApplication::exec();
}

std::u16string CVarnothShell::HelpTopic()
{
    // The dialog that is active decides the page: a modal one first, else
    // the active window (the find dialog is modeless).  The dialogs name
    // their topic in the "help_topic" property.
    QWidget* active = QApplication::activeModalWidget();
    if (!active)
        active = QApplication::activeWindow();
    if (active) {
        const QString topic = active->property("help_topic").toString();
        if (!topic.isEmpty())
            return topic.toStdU16String();
    }
    return u"index";
}

void CVarnothShell::ShowHelp()
{
    const std::u16string page = m_app.HelpDirectory() + u"/" + HelpTopic() + u".html";
    const QUrl url = QUrl::fromLocalFile(QString::fromStdU16String(page));
    // The system's text for a missing or unreadable page; when no program
    // took the page (no web browser), that, with the path to open by hand.
    int error = 0;
    if (!QFile::exists(url.toLocalFile()))
        error = ENOENT;
    else if (!IsReadableFile(page))
        error = EACCES;
    else if (OpenDocument(url))
        return;
    const std::u16string reason = error != 0 ? SystemErrorText(error) : DictionaryText(u"IDS_MSG_NO_PROGRAM_FOR_PAGE");
    ShowMessage(reason + u"\n" + page, MB_OK | MB_ICONERROR);
}

void CVarnothShell::SetStandardInput(int input, stdin_use use)
{
    if (m_stdin_input >= 0)
        ::close(m_stdin_input);
    m_stdin_input = use == stdin_use::none ? -1 : input;
    m_stdin_use = m_stdin_input >= 0 ? use : stdin_use::none;
    if (use == stdin_use::none && input >= 0)
        ::close(input);
}

void CVarnothShell::ExitInstance()
{
    // The reader ends and its file goes before the tabs do.
    m_stdin.reset();
    if (m_stdin_input >= 0)
        ::close(m_stdin_input);
    m_stdin_input = -1;
    m_channel.reset();
    m_line_opener.reset();
    m_app.SetMainDialog(nullptr);
    m_app.SetProgressDialogFactory(nullptr);
    m_main_dialog.reset();
    if (m_accelerators)
        qApp->removeEventFilter(m_accelerators.get());
    m_accelerators.reset();
    m_main_window.reset();
    m_dispatcher.reset();
    m_app.ExitInstance();
}

int RunVarnoth(int argc, char** argv, const std::function<void()>& after_application)
{
    std::error_code error;
    const std::u16string start_directory = std::filesystem::current_path(error).u16string();

    // Help, version and usage errors need no display: answered before Qt's
    // application object (which would want one) exists.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    int status = 0;
    const command_line line = ParseCommandLine(arguments, QString::fromStdU16String(start_directory));
    if (AnswerCommandLine(line, status))
        return status;

    // Standard input as a log: the stream is read from a descriptor of its
    // own, and descriptor 0 becomes the null device, so that closing the
    // stream's tab closes the pipe for its writer.
    const bool from_terminal = ::isatty(STDOUT_FILENO) || ::isatty(STDERR_FILENO);
    const input_kind input = ClassifyInput(STDIN_FILENO);
    const stdin_use use = StandardInputUse(line.standard_input, !line.files.empty(), input, from_terminal);
    int stream = -1;
    if (use != stdin_use::none) {
        stream = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
        if (const int null_device = ::open("/dev/null", O_RDONLY | O_CLOEXEC); null_device >= 0) {
            ::dup2(null_device, STDIN_FILENO);
            ::close(null_device);
        }
    } else if (line.standard_input) {
        std::fputs(input == input_kind::terminal
                       ? "varnoth: standard input is a terminal; pipe a stream into 'varnoth -' to read it.\n"
                       : "varnoth: standard input holds nothing to read.\n",
                   stderr);
    }

    CVarnothApp app;
    QApplication qt(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnoth"));
    QApplication::setApplicationVersion(QString::fromLatin1(kVarnothVersion));
    InstallQtMessagePresenter();
    if (after_application)
        after_application();

    CVarnothShell shell(app);
    shell.SetStartDirectory(start_directory);
    shell.SetStandardInput(stream, use);
    if (shell.InitInstance(QApplication::arguments()))
        shell.RunMainWindow();
    shell.ExitInstance();
    return 0;
}
