// The common-tasks panel (control 172), shown over the empty tab area while
// no file is open: large buttons to open a file (with a drop arrow for the
// recent files), change the options, manage parsers and read the help.  Each
// button routes its command.
//
// Thread-safety: interface thread only.
#pragma once

#include <QFrame>

#include <functional>
#include <string>
#include <vector>

class command_router;
class icon_library;
class QMenu;
class QToolButton;

class CCommonTaskDlg : public QFrame {
    Q_OBJECT
public:
    using recent_files_source = std::function<std::vector<std::u16string>()>;

    CCommonTaskDlg(command_router& router, const icon_library& icons, recent_files_source recent_files,
                   QWidget* parent = nullptr);

    // Centres the panel horizontally over area (in the parent's coordinates),
    // a third of the free height down, at least 20 pixels below its top.
    void PlaceOver(const QRect& area);

    QToolButton* Button(int id) const;

private:
    void ShowRecentFiles();

    command_router& m_router;
    recent_files_source m_recent_files;
    QMenu* m_recent_menu;
};

// Fills menu with the recent paths as commands 33000 + index that route
// through router (most recent first, the full path as text).
void FillRecentFilesMenu(QMenu& menu, const std::vector<std::u16string>& recent, command_router& router);
