#include "shell/app_shell.h"

#include "app/varnoth_app.h"
#include "glossant/dictionary_text.h"
#include "platform/diagnostics.h"
#include "platform/message_box.h"
#include "platform/strings.h"
#include "shell/interface_dispatcher.h"
#include "ui/accelerators.h"
#include "ui/command_ids.h"
#include "ui/message_presenter.h"
#include "ui/system_error.h"
#include "ui/varnoth_dlg.h"
#include "varnoth_version.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QUrl>

#include <cerrno>

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

    m_dispatcher = std::make_unique<interface_dispatcher>(InterfaceThreadQueue());
    return true;
}

void CVarnothShell::HandOffCommandLineFile()
{
    DebugOutput("[shell] command-line file: %s\n", ToUtf8(m_command_line_file).c_str());
}

CVarnothDlg* CVarnothShell::CreateMainWindow()
{
    m_main_window = std::make_unique<CVarnothDlg>(m_app);
    m_accelerators = std::make_unique<CAcceleratorFilter>(m_main_window->Router(), m_main_window.get());
    qApp->installEventFilter(m_accelerators.get());
    m_main_window->Router().add(ids::kHelpHelp, [this](int) { ShowHelp(); });
    m_app.SetMainWindowRan();
    m_main_window->ShowWithSavedPlacement();
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
    // The dialog that is active decides the page; the dialogs name their
    // topic in the "help_topic" property.
    if (QWidget* active = QApplication::activeModalWidget()) {
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
    if (!QFile::exists(url.toLocalFile()) || !QDesktopServices::openUrl(url))
        ShowMessage(SystemErrorText(ENOENT) + u"\n" + page, MB_OK | MB_ICONERROR);
}

void CVarnothShell::ExitInstance()
{
    if (m_accelerators)
        qApp->removeEventFilter(m_accelerators.get());
    m_accelerators.reset();
    m_main_window.reset();
    m_dispatcher.reset();
    m_app.ExitInstance();
}

int RunVarnoth(int argc, char** argv)
{
    CVarnothApp app;
    QApplication qt(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnoth"));
    QApplication::setApplicationVersion(QString::fromLatin1(kVarnothVersion));
    InstallQtMessagePresenter();

    CVarnothShell shell(app);
    if (shell.InitInstance(QApplication::arguments()))
        shell.RunMainWindow();
    shell.ExitInstance();
    return 0;
}
