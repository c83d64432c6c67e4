#pragma once

#include "ui/varnoth_dlg.h"
#include "ui_test_environment.h"

#include <QObject>

#include <memory>
#include <vector>

// The main window over a throw-away installation: what it shows, what it
// enables with no file, how keys and clicks reach the command router, and how
// closing stores the placement.
class main_window_test : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void Window_ShowsThePanelUntilATabIsAdded();
    void Window_TitleAndIcon();
    void Menus_TitlesAndEveryItemUseTheirDictionaryTexts();
    void Menus_NoFile_EditOffersOnlyOptions();
    void Menus_WithAnActiveFile_FillTheColumnSubmenus();
    void Menus_RecentFiles_AreListedBeforeExitAndRouted();
    void Menus_ItemsRouteTheirCommandIds();
    void Toolbar_NoFile_OnlyOpenOptionsHelpEnabled();
    void Toolbar_WithAnActiveFile_FollowsTheProvider();
    void Toolbar_OpenArrowWithoutRecentFiles_RunsOpen();
    void StatusBar_PartsEncodingBoxAndScopeBar();
    void CommonTasks_ShownWithoutTabs_ButtonsRouteCommands();
    void CommonTasks_StaysBelowTheTabAreaTop();
    void Accelerators_RouteCommandIds();
    void Accelerators_CopyAndSelectAllStayInEditFields();
    void Accelerators_NotTranslatedWhileAModalDialogRuns();
    void MessagePresenter_QtBoxAnswersAndCanBeReplaced();
    void Close_StoresPlacementInTheSettings();
    void Close_MaximisedKeepsTheSavedRectangle();
    void RefreshTimer_RefreshesAFileWithAutoRefresh();
    void ExitCommand_EndsTheWindow();
    void CloseBox_RunsTheExitCommandOnce();

private:
    std::unique_ptr<ui_test_environment> m_env;
    std::unique_ptr<CVarnothDlg> m_dlg;
    std::vector<int> m_routed;
};
