#include "shell/app_shell.h"

#include "app/instance_handoff.h"
#include "app/varnoth_app.h"
#include "glossant/dictionary_text.h"
#include "platform/diagnostics.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/strings.h"
#include "shell/file_commands.h"
#include "shell/find_commands.h"
#include "shell/instance_channel.h"
#include "shell/interface_dispatcher.h"
#include "shell/main_dialog_adapter.h"
#include "shell/panel_commands.h"
#include "shell/settings_commands.h"
#include "shell/view_commands.h"
#include "ui/accelerators.h"
#include "ui/command_ids.h"
#include "ui/message_presenter.h"
#include "ui/progress_dlg.h"
#include "ui/system_error.h"
#include "ui/varnoth_dlg.h"
#include "varnoth_version.h"
#include "work/work_messages.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QTimer>
#include <QUrl>

#include <cerrno>
#include <filesystem>

CVarnothShell::CVarnothShell(CVarnothApp& app) : m_app(app)
{}

CVarnothShell::~CVarnothShell() = default;

bool CVarnothShell::InitInstance(const QStringList& arguments)
{
    SetInterfaceThread();

    // The first argument that is not a switch is a file to open.
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument.isEmpty() || argument.startsWith(u'-'))
            continue;
        m_command_line_file = argument.toStdU16String();
        break;
    }
    if (!m_command_line_file.empty() && m_command_line_file.front() != u'/') {
        // A path typed in a shell is relative to where that shell was.
        const std::u16string base =
            m_start_directory.empty() ? std::filesystem::current_path().u16string() : m_start_directory;
        m_command_line_file = std::filesystem::path(JoinPath(base, m_command_line_file)).lexically_normal().u16string();
    }
    if (!m_command_line_file.empty())
        HandOffCommandLineFile();

    if (!m_app.AcquireSingleInstance())
        return false;

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
    if (!HandOffPath(m_command_line_file)) {
        DebugOutput("[shell] the command-line file could not be handed over: %s\n",
                    ToUtf8(m_command_line_file).c_str());
        return;
    }
    const bool woken = WakeRunningInstance();
    DebugOutput("[shell] command-line file handed over%s: %s\n", woken ? " to the running instance" : "",
                ToUtf8(m_command_line_file).c_str());
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
    RegisterSettingsCommands(*m_main_window, m_app, *m_main_dialog);
    // Last: only the commands nobody carries out yet get a stand-in.
    RegisterPendingCommands(*m_main_window);
    m_app.SetProgressDialogFactory([this](int file_count, bool cancellable, native_signal& cancel) {
        return std::make_unique<CProgressDlg>(file_count, cancellable, &cancel, m_main_window.get());
    });
    m_app.SetMainWindowRan();
    m_main_window->ShowWithSavedPlacement();
    DebugOutput("[shell] main window shown\n");

    m_channel = std::make_unique<CInstanceChannel>(
        m_main_window.get(), [this](const std::vector<std::u16string>& paths) { m_app.OpenFiles(paths); });
    m_channel->Listen();
    // Files handed over before the socket listened, this instance's own
    // command-line file among them, are taken once the event loop runs.
    QTimer::singleShot(0, m_channel.get(), [channel = m_channel.get()] { channel->TakeNow(); });
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
    // The system's text for what went wrong: a missing or unreadable page,
    // else the desktop found nothing to open it with (no code: unknown).
    int error = 0;
    if (!QFile::exists(url.toLocalFile()))
        error = ENOENT;
    else if (!IsReadableFile(page))
        error = EACCES;
    else if (QDesktopServices::openUrl(url))
        return;
    ShowMessage(SystemErrorText(error) + u"\n" + page, MB_OK | MB_ICONERROR);
}

void CVarnothShell::ExitInstance()
{
    m_channel.reset();
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

int RunVarnoth(int argc, char** argv)
{
    std::error_code error;
    const std::u16string start_directory = std::filesystem::current_path(error).u16string();
    CVarnothApp app;
    QApplication qt(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnoth"));
    QApplication::setApplicationVersion(QString::fromLatin1(kVarnothVersion));
    InstallQtMessagePresenter();

    CVarnothShell shell(app);
    shell.SetStartDirectory(start_directory);
    if (shell.InitInstance(QApplication::arguments()))
        shell.RunMainWindow();
    shell.ExitInstance();
    return 0;
}
