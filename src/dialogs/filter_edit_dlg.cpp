#include "dialogs/filter_edit_dlg.h"

#include "app/settings.h"
#include "dialogs/dialog_parts.h"
#include "dialogs/mnemonics.h"
#include "dialogs/value_input_dlg.h"
#include "platform/message_box.h"
#include "platform/strings.h"
#include "ui/dialog_units.h"
#include "ui/edit_combo_box.h"
#include "ui/ui_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

QString CompareText(int32_t type)
{
    const std::u16string_view key = FilterTypeDisplayKey(type);
    if (key.empty())
        return {};
    // The four typed comparisons are their operators, not dictionary keys.
    return type >= FILTER_TYPE_GREATER ? ToQString(key) : Text(key);
}

QString DescribeCondition(const log_filter& condition)
{
    const std::u16string type = FromQString(CompareText(condition.type()));
    if (condition.column().empty())
        return ToQString(FormatText(u"IDS_FILTERDLG_LIST_FORMAT_CONDITION_NOCOLUMN", {type, condition.content()}));
    return ToQString(
        FormatText(u"IDS_FILTERDLG_LIST_FORMAT_CONDITION", {condition.column(), type, condition.content()}));
}

CFilterEditDlg::CFilterEditDlg(mode how, const filter_column_map& columns, const std::vector<std::u16string>& headers,
                               std::vector<std::u16string>& history, QWidget* parent)
    : QDialog(parent), m_mode(how), m_columns(columns), m_history(history)
{
    setObjectName(IdObjectName(kTemplateId));
    setProperty("help_topic", QStringLiteral("filter"));
    setWindowTitle(Text(how == mode::edit ? u"IDS_FILTEREDITDLG_TITLE_EDIT" : u"IDS_FILTEREDITDLG_TITLE_ADD"));
    const QFontMetrics metrics = fontMetrics();
    const int margin = DialogUnitsX(metrics, 7);

    m_column = new QComboBox(this);
    m_column->setObjectName(IdObjectName(kColumnBox));
    m_column->setEditable(true);
    m_column->setInsertPolicy(QComboBox::NoInsert);
    m_column->setCompleter(nullptr);
    m_column->lineEdit()->setMaxLength(kColumnLimit);
    for (const std::u16string& header : headers)
        m_column->addItem(ToQString(header));
    m_column->setEditText(QString());

    m_compare = new QComboBox(this);
    m_compare->setObjectName(IdObjectName(kCompareBox));
    for (int32_t type = 0; type < FILTER_TYPE_COUNT; ++type)
        m_compare->addItem(CompareText(type));
    m_compare->setCurrentIndex(FILTER_TYPE_CONTAIN);

    m_expression = new CEditComboBox(this);
    m_expression->setObjectName(IdObjectName(kExpressionBox));
    m_expression->setMinimumWidth(DialogUnitsX(metrics, 160));
    m_expression->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    FillExpressionHistory(QString());

    m_generate = new QPushButton(Text(u"IDS_FILTEREDITDLG_BUTTON_GENERATE"), this);
    m_generate->setObjectName(IdObjectName(kGenerateButton));
    m_generate->setAutoDefault(false);
    m_generate->setEnabled(false);

    m_case_sensitive = new QCheckBox(Text(u"IDS_FILTER_CASE_SENSITIVE"), this);
    m_case_sensitive->setObjectName(IdObjectName(kCaseSensitiveCheck));

    m_logic = new QComboBox(this);
    m_logic->setObjectName(IdObjectName(kLogicBox));
    m_logic->addItem(Text(u"IDS_FILTER_LOGIC_AND"));
    m_logic->addItem(Text(u"IDS_FILTER_LOGIC_OR"));

    auto* grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(DialogUnitsX(metrics, 4));
    grid->setVerticalSpacing(DialogUnitsY(metrics, 4));
    grid->addWidget(FieldLabel(this, u"IDS_FILTER_COLUMN", m_column), 0, 0);
    grid->addWidget(m_column, 0, 1, 1, 2);
    grid->addWidget(FieldLabel(this, u"IDS_FILTER_COMPARE", m_compare), 1, 0);
    grid->addWidget(m_compare, 1, 1, 1, 2);
    grid->addWidget(FieldLabel(this, u"IDS_FILTER_EXPRESSION", m_expression), 2, 0);
    grid->addWidget(m_expression, 2, 1);
    grid->addWidget(m_generate, 2, 2);
    grid->addWidget(FieldLabel(this, u"IDS_FILTER_LOGIC", m_logic), 3, 0);
    grid->addWidget(m_logic, 3, 1, 1, 2);
    grid->addWidget(m_case_sensitive, 4, 1, 1, 2);
    grid->setColumnStretch(1, 1);

    QDialogButtonBox* buttons = OkCancelButtons(*this);
    if (how == mode::add)
        buttons->findChild<QPushButton*>(IdObjectName(1))->setText(Text(u"IDS_FILTEREDITDLG_BUTTON_ADD"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(DialogUnitsY(metrics, 7));
    layout->addLayout(grid);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_column, &QComboBox::editTextChanged, this, &CFilterEditDlg::OnColumnChanged);
    connect(m_generate, &QPushButton::clicked, this, &CFilterEditDlg::OnGenerate);
    OnColumnChanged(QString());
    AssignMnemonics(this);
    m_column->setFocus();
}

void CFilterEditDlg::SetCondition(const log_filter& condition)
{
    m_column->setEditText(ToQString(condition.column()));
    if (condition.type() >= 0 && condition.type() < FILTER_TYPE_COUNT)
        m_compare->setCurrentIndex(condition.type());
    m_expression->setEditText(ToQString(condition.content()));
    m_case_sensitive->setChecked(condition.case_sensitive());
    m_logic->setCurrentIndex(condition.logic_and() ? 0 : 1);
    OnColumnChanged(m_column->currentText());
}

log_filter CFilterEditDlg::Condition() const
{
    log_filter condition;
    condition.SetColumn(FromQString(m_column->currentText()));
    condition.SetType(m_compare->currentIndex());
    condition.SetContent(FromQString(m_expression->currentText()));
    condition.SetCaseSensitive(m_case_sensitive->isChecked());
    condition.SetLogicAnd(m_logic->currentIndex() == 0);
    return condition;
}

void CFilterEditDlg::OnColumnChanged(const QString& text)
{
    const auto found = m_columns.find(FromQString(text));
    m_format = found != m_columns.end() ? found->second : tagDATA_FORMAT();
    if (found == m_columns.end())
        m_format.data_type = DATA_TYPE_TEXT;
    m_generate->setEnabled(found != m_columns.end() && m_format.data_type != DATA_TYPE_TEXT);
}

void CFilterEditDlg::OnGenerate()
{
    std::u16string expression = FromQString(m_expression->currentText());
    if (!RunValueInputDlg(m_format, expression, this))
        return;
    m_expression->setEditText(ToQString(expression));
    m_expression->setFocus();
    m_expression->lineEdit()->selectAll();
}

void CFilterEditDlg::FillExpressionHistory(const QString& keep)
{
    FillHistoryCombo(*m_expression, m_history);
    m_expression->setEditText(keep);
}

void CFilterEditDlg::accept()
{
    const std::u16string column = FromQString(m_column->currentText());
    const std::u16string expression = FromQString(m_expression->currentText());
    const int32_t type = m_compare->currentIndex();
    auto refuse = [this](const std::u16string& text, QWidget* field) {
        ShowMessage(text, MB_OK | MB_ICONINFORMATION);
        field->setFocus();
    };
    if (column.empty())
        return refuse(FormatText(u"IDS_MSG_INVALID_COLUMN_NAME", {}), m_column);
    if (HasXmlSpecialChars(column))
        return refuse(FormatText(u"IDS_MSG_ILLEGAL_COLUMN_NAME", {}), m_column);
    if (expression.empty() && type != FILTER_TYPE_EQUAL && type != FILTER_TYPE_NOTEQUAL)
        return refuse(
            FormatText(u"IDS_MSG_FILTER_VALUE_EMPTY",
                       {FromQString(Text(u"IDS_FILTER_EXPRESSION")), FromQString(Text(u"IDS_FILTER_COMPARE")),
                        FromQString(Text(u"IDS_FILTER_TYPE_EQUAL")), FromQString(Text(u"IDS_FILTER_TYPE_NOTEQUAL"))}),
            m_expression);
    if (type >= FILTER_TYPE_GREATER && type <= FILTER_TYPE_LESS_EQUAL && m_format.data_type != DATA_TYPE_TEXT) {
        tagDATA_VALUE value;
        ParseDataValue(value, expression.data(), expression.size(), m_format);
        if (!value.valid)
            return refuse(FormatText(u"IDS_MSG_INVALID_EXPRESSION", {}), m_expression);
    }
    AddExpressionHistory(m_history, expression);
    if (m_mode == mode::edit) {
        QDialog::accept();
        return;
    }
    if (m_add)
        m_add(Condition());
    FillExpressionHistory(ToQString(expression));
    m_expression->setFocus();
    m_expression->lineEdit()->selectAll();
}
