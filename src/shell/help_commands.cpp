#include "shell/help_commands.h"

#include "app/varnoth_app.h"
#include "dialogs/about_dlg.h"
#include "shell/update_check.h"
#include "shell/web_links.h"
#include "ui/command_ids.h"
#include "ui/command_router.h"
#include "ui/icon_library.h"
#include "ui/varnoth_dlg.h"
#include "varnoth_version.h"

void ShowAboutBox(CVarnothDlg& window, CVarnothApp& app)
{
    about_actions actions;
    actions.open_web_site = [&app] { OpenWebPage(app.settings.site_address, kWebTargetProduct); };
    if (!app.settings.support_mail.empty())
        actions.open_support_mail = [&app] { OpenMailTo(app.settings.support_mail); };
    actions.open_feedback = [&app] { OpenWebPage(app.settings.site_address, kWebTargetFeedback); };
    actions.check_update = [&window] { window.Router().route(ids::kHelpCheckUpdate); };
    const std::u16string version = QString::fromLatin1(kVarnothVersion).toStdU16String();
    CAboutDlg dialog(app.Title(), version, std::move(actions), window.Icons().Icon(ids::kIconApplication), &window);
    dialog.exec();
}

void RegisterHelpCommands(CVarnothDlg& window, CVarnothApp& app)
{
    command_router& router = window.Router();
    router.add(ids::kHelpAbout, [&window, &app](int) { ShowAboutBox(window, app); });
    router.add(ids::kHelpOnlineHelp, [&app](int) { OpenWebPage(app.settings.site_address, kWebTargetHelp); });
    router.add(ids::kHelpFeedback, [&app](int) { OpenWebPage(app.settings.site_address, kWebTargetFeedback); });
    router.add(ids::kHelpCheckUpdate, [&app](int) { CheckForUpdate(app.settings.site_address); });
}
