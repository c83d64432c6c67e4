#include "shell/file_commands.h"

#include "app/varnoth_app.h"
#include "shell/main_dialog_adapter.h"
#include "ui/command_ids.h"
#include "ui/ui_text.h"
#include "ui/varnoth_dlg.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace {

QStringList ChooseFilesWithDialog(QWidget* parent, const QString& folder)
{
    return QFileDialog::getOpenFileNames(parent, QString(), folder, OpenDialogFilter());
}

open_dialog& OpenDialog()
{
    static open_dialog dialog = ChooseFilesWithDialog;
    return dialog;
}

} // namespace

QString StartFolder(const std::u16string& remembered, const QString& fallback)
{
    const QString folder = ToQString(remembered);
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : fallback;
}

open_dialog SetOpenDialog(open_dialog dialog)
{
    open_dialog old = OpenDialog();
    OpenDialog() = dialog ? std::move(dialog) : open_dialog(ChooseFilesWithDialog);
    return old;
}

QString OpenDialogFilter()
{
    return QStringLiteral("%1 (*);;%2 (*.txt *.text);;%3 (*.log)")
        .arg(Text(u"IDS_FILE_FORMAT_NAME_ALL"), Text(u"IDS_FILE_FORMAT_NAME_TEXT"), Text(u"IDS_FILE_FORMAT_NAME_LOG"));
}

void RegisterFileCommands(CVarnothDlg& window, CVarnothApp& app, main_dialog_adapter& tabs)
{
    command_router& router = window.Router();
    router.add(ids::kFileOpen, [&window, &app](int) {
        // The last folder a file was opened from, else the user's home (never
        // the program's own folder).
        const QStringList chosen = OpenDialog()(&window, StartFolder(app.settings.open_folder, QDir::homePath()));
        if (!chosen.isEmpty())
            app.settings.open_folder = FromQString(QFileInfo(chosen.constFirst()).absolutePath());
        std::vector<std::u16string> paths;
        for (const QString& path : chosen)
            paths.push_back(FromQString(path));
        // The open command does not look for files that are open already.
        app.OpenFilesDirect(paths);
    });
    router.add_range(ids::kRecentFileFirst, ids::kRecentFileLast, [&app](int id) {
        const std::size_t index = static_cast<std::size_t>(id - ids::kRecentFileFirst);
        if (index < app.recent_files.size())
            app.OpenFilesDirect({app.recent_files[index]});
    });
    router.add(ids::kFileClose, [&tabs](int) { tabs.CloseActiveTab(); });
}
