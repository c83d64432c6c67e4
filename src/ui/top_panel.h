// The panel under the toolbar (control 131): the quick-filter box and the
// parser chooser of the active file, the chosen parser's text and the button
// that manages parsers.  With no file open the file-bound controls are
// disabled; the manage button routes command 105.
//
// Thread-safety: interface thread only.
#pragma once

#include <QWidget>

class command_router;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class CTopPanel : public QWidget {
    Q_OBJECT
public:
    CTopPanel(command_router& router, QWidget* parent = nullptr);

    // Height of the panel: twice 6 dialog units of the font, plus 4 pixels,
    // but never less than what the controls need.
    int PanelHeight() const;

    // Enables or disables the controls that belong to an open file.
    void SetFileOpen(bool open);

    QComboBox* QuickFilterBox() const { return m_quick_filter; }
    QComboBox* ParserChooser() const { return m_parser_chooser; }
    QLineEdit* ParserText() const { return m_parser_text; }
    QPushButton* ManageButton() const { return m_manage; }

private:
    QLabel* m_filter_label;
    QComboBox* m_quick_filter;
    QLabel* m_parser_label;
    QComboBox* m_parser_chooser;
    QLineEdit* m_parser_text;
    QPushButton* m_manage;
};
