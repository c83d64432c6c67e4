// The panel under the toolbar (control 131): the quick-filter box and the
// parser chooser of the active file, the chosen parser's text and the button
// that manages parsers.  With no file open the file-bound controls are
// disabled; the manage button routes command 105.
//
// Quick filter:
//   key in the box -----> restart the 1 s timer (not from the list)
//   entry chosen --------> restart the 1 s timer (from the list)
//   timer fires / Enter -> ApplyQuickFilterText: applied only when the text
//                           differs from the file's last one beyond ASCII case
//   Tab -----------------> FocusListRequested
//
// The panel reads the active file, the parser list and the expression
// history through the application attached to it (none: it only lays out).
//
// Thread-safety: interface thread only.
#pragma once

#include "ui/edit_combo_box.h"

#include <QTimer>
#include <QWidget>

#include <string>

class CVarnothApp;
class command_router;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class CTopPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kQuickFilterDelayMs = 1000;

    CTopPanel(command_router& router, QWidget* parent = nullptr);

    void Attach(CVarnothApp* app) { m_app = app; }

    // Height of the panel: twice 6 dialog units of the font, plus 4 pixels,
    // but never less than what the controls need.
    int PanelHeight() const;

    // Enables or disables the controls that belong to an open file.
    void SetFileOpen(bool open);

    // On every change of the active tab and after a parser change: stops the
    // quick-filter timer, shows the text of the parser named name (the
    // default parser for a name no entry has) and selects its entry, and
    // fills the quick-filter box with the active file's quick filter text.
    void ShowParser(const std::u16string& name);
    // Entry 0 (the default parser) and then the parser list's names in order;
    // the entry of the parser shown stays selected.
    void RefillParsers();
    // The quick-filter box's list from the expression history; the text stays.
    void RefillQuickFilterHistory();
    // Applies the box's text when it differs, ASCII case ignored, from the
    // active file's last quick filter text; returns true when it did.
    bool ApplyQuickFilterText();

    CEditComboBox* QuickFilterBox() const { return m_quick_filter; }
    QComboBox* ParserChooser() const { return m_parser_chooser; }
    QLineEdit* ParserText() const { return m_parser_text; }
    QPushButton* ManageButton() const { return m_manage; }
    QTimer& QuickFilterTimer() { return m_quick_timer; }
    const std::u16string& ShownParser() const { return m_parser_name; }

signals:
    // The user chose an entry of the parser chooser (entry 0: the default parser).
    void ParserChosen(int index, const QString& name);
    // Tab in the quick-filter box: the active list takes the focus.
    void FocusListRequested();
    // The quick filter was applied (the rows changed).
    void QuickFilterApplied();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnQuickFilterEdited();
    void OnQuickFilterChosen();
    void OnTimer();
    int ParserEntryIndex(const std::u16string& name) const;

    CVarnothApp* m_app = nullptr;
    QLabel* m_filter_label;
    CEditComboBox* m_quick_filter;
    QLabel* m_parser_label;
    QComboBox* m_parser_chooser;
    QLineEdit* m_parser_text;
    QPushButton* m_manage;
    QTimer m_quick_timer;
    std::u16string m_parser_name; // the parser shown
    bool m_from_list = false;     // the last change of the box came from its list
};
