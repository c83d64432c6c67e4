// Command and control ids of the main window.
//
// Every menu item, toolbar button and child control is known by one of these
// numbers.  Commands travel by id through the command_router; widgets that
// carry an id also carry it as their objectName in the form "id_<number>"
// (for example "id_130" for the toolbar, "id_32773" for the open button and
// the open menu item).  Tests and the help lookup find widgets by that name;
// use IdObjectName()/IdFromObjectName() from "ui/ui_text.h" to build or read it.
// Popup menus have no id; they carry their dictionary key as objectName
// (for example "IDS_MENU_MAIN_FILE").
#pragma once

namespace ids {

// --- File ------------------------------------------------------------------
inline constexpr int kFileOpen = 32773;
inline constexpr int kFileClose = 32774;
inline constexpr int kFileCloseAll = 32775;
inline constexpr int kFileExit = 32776;
inline constexpr int kFileCloseOthers = 32786;
inline constexpr int kFileExport = 32809; // toolbar drop-down only
inline constexpr int kFileExportSelected = 32810;
inline constexpr int kFileExportVisible = 32811;
inline constexpr int kFileExportFile = 32812;
inline constexpr int kFileExportFileFilter = 32813;
inline constexpr int kFileExportResults = 32814;

// --- Edit ------------------------------------------------------------------
inline constexpr int kEditCopy = 32777;
inline constexpr int kEditCopyColumn = 32778; // toolbar drop-down only
inline constexpr int kEditFind = 32779;
inline constexpr int kEditFindInFile = 32780;
inline constexpr int kEditFindNext = 32781;
inline constexpr int kEditFindPrevious = 32782;
inline constexpr int kEditOptions = 32783;
inline constexpr int kEditSelectAll = 32787;
inline constexpr int kEditInvertSelection = 32788;
inline constexpr int kEditCopyFilePath = 32789;
inline constexpr int kEditCopyFileName = 32790;
inline constexpr int kEditCopyDirPath = 32791;
inline constexpr int kEditBrowseDir = 32792;
inline constexpr int kEditCopyClickedColumn = 32801; // list popup
inline constexpr int kEditIncludeCell = 32806;       // list popup
inline constexpr int kEditExcludeCell = 32807;       // list popup
inline constexpr int kEditNewParserFromLine = 32871; // list popup: a parser suggested from the row

// --- View ------------------------------------------------------------------
inline constexpr int kViewRefresh = 32793;
inline constexpr int kViewAutoRefresh = 32794;
inline constexpr int kViewScrollUp = 32795;
inline constexpr int kViewScrollDown = 32796;
inline constexpr int kViewHighlightSetting = 32797;
inline constexpr int kViewHighlightEnable = 32798;
inline constexpr int kViewFilterSetting = 32799;
inline constexpr int kViewFilterEnable = 32800;
inline constexpr int kViewFilterRemoveAll = 32808;
// Every line of the whole file that passes the filter, into the results pane.
inline constexpr int kViewFilterWholeFile = 32872;
// Moving through the whole file.
inline constexpr int kViewFirstLine = 32840;   // Ctrl+Home: the file's first line
inline constexpr int kViewLastLine = 32841;    // Ctrl+End: its last line
inline constexpr int kViewGoToLine = 32842;    // Ctrl+G
inline constexpr int kViewLineNumbers = 32843; // the line-number column on/off (a setting)

// --- Help ------------------------------------------------------------------
inline constexpr int kHelpHelp = 32784;
inline constexpr int kHelpAbout = 32785;
inline constexpr int kHelpOnlineHelp = 32802;
inline constexpr int kHelpFeedback = 32803;
inline constexpr int kHelpCheckUpdate = 32804;

// --- Command ranges (first id + index) -------------------------------------
inline constexpr int kRecentFileFirst = 33000; // recent path with index id - 33000
inline constexpr int kRecentFileLast = 33099;
inline constexpr int kCopyColumnFirst = 33100; // copy the selected rows, one column
inline constexpr int kCopyColumnLast = 33199;
inline constexpr int kIncludeColumnFirst = 33200; // include condition per selected row
inline constexpr int kIncludeColumnLast = 33299;
inline constexpr int kExcludeColumnFirst = 33300; // exclude condition per selected row
inline constexpr int kExcludeColumnLast = 33399;

// --- Controls --------------------------------------------------------------
inline constexpr int kToolbar = 130;
inline constexpr int kTopPanel = 131;
inline constexpr int kTabControl = 133;
inline constexpr int kFileScopeBar = 134;
inline constexpr int kCommonTasks = 172;
inline constexpr int kEncodingBox = 173;
// The go-to-line dialog and its line-number field.
inline constexpr int kGoToLineDlg = 190;
inline constexpr int kGoToLineEdit = 1001;

// Top panel children.
inline constexpr int kTopPanelFilterLabel = 100;
inline constexpr int kTopPanelQuickFilter = 101;
inline constexpr int kTopPanelParserLabel = 102;
inline constexpr int kTopPanelParserChooser = 103;
inline constexpr int kTopPanelParserText = 104;
// The manage button; also routed as a command (the common-tasks panel sends it).
inline constexpr int kTopPanelManage = 105;

// Common-tasks panel buttons.
inline constexpr int kTaskOpenFile = 1082;
inline constexpr int kTaskOpenRecent = 1083;
inline constexpr int kTaskOptions = 1084;
inline constexpr int kTaskManageParsers = 1085;
inline constexpr int kTaskHelp = 1086;

// --- Icons (files "<id>-<name>.svg" in the installation's icons folder) ---
inline constexpr int kIconApplication = 128;
inline constexpr int kIconOpen = 145;
inline constexpr int kIconClose = 146;
inline constexpr int kIconCloseAll = 147;
inline constexpr int kIconScrollUp = 148;
inline constexpr int kIconScrollDown = 149;
inline constexpr int kIconRefresh = 150;
inline constexpr int kIconAutoRefresh = 151;
inline constexpr int kIconAutoRefreshOn = 152;
inline constexpr int kIconFind = 153;
inline constexpr int kIconFindInFile = 154;
inline constexpr int kIconFindPrevious = 155;
inline constexpr int kIconFindNext = 156;
inline constexpr int kIconCopy = 157;
inline constexpr int kIconCopyColumn = 158;
inline constexpr int kIconHighlightSetting = 159;
inline constexpr int kIconHighlight = 160;
inline constexpr int kIconHighlightOn = 161;
inline constexpr int kIconFilterSetting = 162;
inline constexpr int kIconFilter = 163;
inline constexpr int kIconFilterOn = 164;
inline constexpr int kIconOptions = 165;
inline constexpr int kIconHelp = 166;
inline constexpr int kIconManageParsers = 168;
inline constexpr int kIconExport = 170;
inline constexpr int kIconFilterWholeFile = 171;

} // namespace ids
