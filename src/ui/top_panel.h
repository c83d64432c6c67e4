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

    QComboBox* QuickFilterBox() const { return quick_filter_; }
    QComboBox* ParserChooser() const { return parser_chooser_; }
    QLineEdit* ParserText() const { return parser_text_; }
    QPushButton* ManageButton() const { return manage_; }

private:
    QLabel* filter_label_;
    QComboBox* quick_filter_;
    QLabel* parser_label_;
    QComboBox* parser_chooser_;
    QLineEdit* parser_text_;
    QPushButton* manage_;
};
