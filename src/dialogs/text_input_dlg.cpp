#include "dialogs/text_input_dlg.h"

#include "dialogs/dialog_parts.h"
#include "dialogs/mnemonics.h"
#include "platform/message_box.h"
#include "platform/strings.h"
#include "ui/dialog_units.h"
#include "ui/edit_combo_box.h"
#include "ui/ui_text.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CTextInputDlg::CTextInputDlg(const QString& title, const QString& label, const std::vector<std::u16string>& suggestions,
                             QWidget* parent)
    : QDialog(parent)
{
    setObjectName(IdObjectName(kTemplateId));
    setWindowTitle(title);
    const QFontMetrics metrics = fontMetrics();
    const int margin = DialogUnitsX(metrics, 7);

    m_box = new CEditComboBox(this);
    m_box->setObjectName(IdObjectName(kTextBox));
    m_box->setMinimumWidth(DialogUnitsX(metrics, 180));
    FillHistoryCombo(*m_box, suggestions);
    m_box->setEditText(QString());
    auto* text_label = new QLabel(label, this);
    text_label->setObjectName(IdObjectName(kLabel));
    text_label->setTextFormat(Qt::PlainText);
    text_label->setBuddy(m_box);

    QDialogButtonBox* buttons = OkCancelButtons(*this);
    m_ok = buttons->findChild<QPushButton*>(IdObjectName(1));
    m_ok->setEnabled(false);
    connect(m_box, &QComboBox::editTextChanged, this,
            [this](const QString& text) { m_ok->setEnabled(!text.isEmpty()); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(DialogUnitsY(metrics, 4));
    layout->addWidget(text_label);
    layout->addWidget(m_box);
    layout->addSpacing(DialogUnitsY(metrics, 3));
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    AssignMnemonics(this);
    m_box->setFocus();
}

void CTextInputDlg::accept()
{
    const QString text = m_box->currentText();
    if (text.isEmpty())
        return; // Enter with nothing typed: OK is disabled, and so is this
    m_text = FromQString(text);
    QDialog::accept();
}

bool SameNameIgnoringCase(const std::u16string& a, const std::u16string& b)
{
    return ToQString(a).compare(ToQString(b), Qt::CaseInsensitive) == 0;
}

std::optional<std::u16string> AskFavoriteName(std::u16string_view title_key, std::u16string_view label_key,
                                              const std::vector<std::u16string>& names, std::u16string& replaced,
                                              QWidget* parent)
{
    replaced.clear();
    CTextInputDlg dialog(::Text(title_key), ::Text(label_key), names, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const std::u16string name = dialog.Text();
    if (!IsValidFileName(name)) {
        ShowMessage(FormatText(u"IDS_MSG_ILLEGAL_FAVORITE_NAME", {}), MB_OK | MB_ICONINFORMATION);
        return std::nullopt;
    }
    for (const std::u16string& existing : names) {
        if (!SameNameIgnoringCase(existing, name))
            continue;
        if (ShowMessage(FormatText(u"IDS_MSG_FAVORITE_EXISTED_OVERWRITE_ASK", {existing}), MB_YESNO | MB_ICONQUESTION)
            != IDYES)
            return std::nullopt;
        replaced = existing;
        break;
    }
    return name;
}
