// The page of a file tab: the file's list above, its results pane below in
// a splitter.  The pane stays hidden until a whole-file result first fills
// it; its height is then the one last set by the user (the settings' key
// "results_pane_height").
//
// Thread-safety: interface thread only.
#pragma once

#include <QSplitter>

class CLogListCtrl;
class COverviewStrip;
class CResultsPane;

class CLogPage : public QSplitter {
    Q_OBJECT
public:
    // Takes list as the upper part.
    explicit CLogPage(CLogListCtrl* list, QWidget* parent = nullptr);

    CLogListCtrl* List() const { return m_list; }
    CResultsPane* Pane() const { return m_pane; }
    // The match overview beside the list, shown with the pane.
    COverviewStrip* Strip() const { return m_strip; }
    // Shows the pane (height pixels high when it was hidden; a default when
    // height is not positive).
    void ShowPane(int height);
    bool PaneShown() const;
    int PaneHeight() const;

    static constexpr int kDefaultPaneHeight = 180;

signals:
    // The user moved the splitter: the pane is now height pixels high.
    void PaneHeightChanged(int height);

private:
    CLogListCtrl* m_list;
    CResultsPane* m_pane;
    COverviewStrip* m_strip;
};

// The page that holds list; null when it is in none.
CLogPage* PageOfList(const CLogListCtrl* list);

// The list of a tab page (a CLogPage or the list itself); null for another widget.
CLogListCtrl* LogListOfPage(QWidget* page);
// The results pane of a tab page; null when it has none.
CResultsPane* ResultsPaneOfPage(QWidget* page);
