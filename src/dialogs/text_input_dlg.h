// The single-line text dialog (template 143): a title, a label and an
// editable drop-down of suggestions; OK is enabled only while the text is
// not empty and hands the text back.  The filter and highlight dialogs ask
// a favourite's name with it, through AskFavoriteName.
//
// Thread-safety: interface thread only.
#pragma once

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

class CEditComboBox;
class QLabel;
class QPushButton;

class CTextInputDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 143;
    static constexpr int kLabel = 1061;
    static constexpr int kTextBox = 1060;

    CTextInputDlg(const QString& title, const QString& label, const std::vector<std::u16string>& suggestions,
                  QWidget* parent = nullptr);

    // The text entered; empty until OK.
    const std::u16string& Text() const { return m_text; }

    void accept() override;

private:
    CEditComboBox* m_box = nullptr;
    QPushButton* m_ok = nullptr;
    std::u16string m_text;
};

// Asks for a favourite's name over names, the favourites there are, as the
// filter and highlight dialogs do:
//   1. the text dialog with title and label (keys); Cancel gives nothing;
//   2. a name that is no valid file name is refused with
//      "IDS_MSG_ILLEGAL_FAVORITE_NAME" and gives nothing;
//   3. a favourite whose name equals it ignoring case leads to the question
//      "IDS_MSG_FAVORITE_EXISTED_OVERWRITE_ASK" with its name as stored; No
//      gives nothing, Yes puts that name into replaced.
// Returns the name as typed.
std::optional<std::u16string> AskFavoriteName(std::u16string_view title_key, std::u16string_view label_key,
                                              const std::vector<std::u16string>& names, std::u16string& replaced,
                                              QWidget* parent);

// Whether a and b are equal when letters are compared without regard to case.
bool SameNameIgnoringCase(const std::u16string& a, const std::u16string& b);
