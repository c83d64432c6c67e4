#include "shell/app_shell.h"

#include "app/varnoth_app.h"
#include "shell/interface_dispatcher.h"
#include "glossant/dictionary_text.h"
#include "platform/diagnostics.h"
#include "platform/message_box.h"
#include "platform/strings.h"
#include "ui/accelerators.h"
#include "ui/command_ids.h"
#include "ui/message_presenter.h"
#include "ui/system_error.h"
#include "ui/varnoth_dlg.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QUrl>

#include <cerrno>

CVarnothShell::CVarnothShell(CVarnothApp& app) : app_(app)
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
        command_line_file_ = argument.toStdU16String();
        break;
    }
    if (!command_line_file_.empty())
        HandOffCommandLineFile();

    if (!app_.AcquireSingleInstance())
        return false;

    if (!app_.InitializeDictionary())
        return false;
    if (!app_.LoadDictionary()) {
        // Without a dictionary the key's own text is empty; a message box
        // with no text would tell the user nothing, so say it plainly.
        std::u16string text = DictionaryText(u"IDS_MSG_FAILED_LOADING_DICT");
        if (text.empty())
            text = u"The dictionary could not be loaded:\n" + app_.DictionaryDirectory() + u"/"
                   + CVarnothApp::LanguageCode() + u".lc";
        ShowMessage(text, MB_OK | MB_ICONERROR);
        return false;
    }
    app_.BuildTitle();
    QApplication::setApplicationDisplayName(QString());

    app_.LoadSettings();
    app_.LoadData();

    dispatcher_ = std::make_unique<interface_dispatcher>(InterfaceThreadQueue());
    return true;
}

void CVarnothShell::HandOffCommandLineFile()
{
    DebugOutput("[shell] command-line file: %s\n", ToUtf8(command_line_file_).c_str());
}

CVarnothDlg* CVarnothShell::CreateMainWindow()
{
    main_window_ = std::make_unique<CVarnothDlg>(app_);
    accelerators_ = std::make_unique<CAcceleratorFilter>(main_window_->Router(), main_window_.get());
    qApp->installEventFilter(accelerators_.get());
    main_window_->Router().add(ids::kHelpHelp, [this](int) { ShowHelp(); });
    app_.SetMainWindowRan();
    main_window_->ShowWithSavedPlacement();
    return main_window_.get();
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
    const std::u16string page = app_.HelpDirectory() + u"/" + HelpTopic() + u".html";
    const QUrl url = QUrl::fromLocalFile(QString::fromStdU16String(page));
    if (!QFile::exists(url.toLocalFile()) || !QDesktopServices::openUrl(url))
        ShowMessage(SystemErrorText(ENOENT) + u"\n" + page, MB_OK | MB_ICONERROR);
}

void CVarnothShell::ExitInstance()
{
    if (accelerators_)
        qApp->removeEventFilter(accelerators_.get());
    accelerators_.reset();
    main_window_.reset();
    dispatcher_.reset();
    app_.ExitInstance();
}

int RunVarnoth(int argc, char** argv)
{
    CVarnothApp app;
    QApplication qt(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnoth"));
    QApplication::setApplicationVersion(QStringLiteral("2.3.1"));
    InstallQtMessagePresenter();

    CVarnothShell shell(app);
    if (shell.InitInstance(QApplication::arguments()))
        shell.RunMainWindow();
    shell.ExitInstance();
    return 0;
}
