// The file tabs: one page (the file's list) per open file, tabs on top that
// scroll when they do not fit, a close button on the active tab only.
//
// The control decides nothing itself: closing (its close button, or a
// middle click, which first activates the tab) routes the close command
// 32774 through the router, so that the active tab is always the one that
// closes; a context-menu request on a tab activates it and is passed on.
//
// Thread-safety: interface thread only.
#pragma once

#include <QTabWidget>

class command_router;

class CFileTabCtrl : public QTabWidget {
    Q_OBJECT
public:
    CFileTabCtrl(const command_router& router, QWidget* parent = nullptr);

    // The tab under a point of the tab bar (in this widget's coordinates), -1 for none.
    int TabAt(const QPoint& pos) const;

signals:
    // A right click (or the menu key) on a tab that is now the active one.
    void TabContextMenuRequested(const QPoint& global_pos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void tabInserted(int index) override;

private:
    void ShowCloseButtonOnActiveTab();
    void CloseTab(int index);

    const command_router& m_router;
};
