#include "dialogs/option_dlg.h"

#include "platform/message_box.h"
#include "ui/dialog_units.h"
#include "ui/ui_text.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace {

constexpr unsigned kMinLoadingLines = 1;

QRadioButton* AddRadio(QWidget* parent, QButtonGroup* group, int id, std::u16string_view key, int value)
{
    auto* radio = new QRadioButton(Text(key), parent);
    radio->setObjectName(IdObjectName(id));
    group->addButton(radio, value);
    return radio;
}

QLabel* SectionLabel(QWidget* parent, std::u16string_view key)
{
    auto* label = new QLabel(Text(key), parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

option_values OptionValuesFromSettings(const app_settings& settings)
{
    option_values values;
    values.max_loading_lines = settings.max_loading_lines_to_save;
    values.load_tail_first = settings.load_tail_first;
    values.tab_separator = settings.column_separator != u" ";
    values.tail_on_refresh = settings.tail_on_refresh;
    return values;
}

option_changes ApplyOptionValues(app_settings& settings, const option_values& values)
{
    option_changes changes;
    const std::u16string separator = values.tab_separator ? u"\t" : u" ";
    changes.max_loading_lines = settings.max_loading_lines_to_save != values.max_loading_lines;
    changes.load_tail_first = settings.load_tail_first != values.load_tail_first;
    changes.column_separator = settings.column_separator != separator;
    changes.tail_on_refresh = settings.tail_on_refresh != values.tail_on_refresh;
    settings.max_loading_lines_to_save = values.max_loading_lines;
    settings.load_tail_first = values.load_tail_first;
    settings.column_separator = separator;
    settings.tail_on_refresh = values.tail_on_refresh;
    return changes;
}

loading_lines_check CheckMaxLoadingLines(const QString& text, unsigned& value)
{
    const QString digits = text.trimmed();
    if (digits.isEmpty())
        return loading_lines_check::not_an_integer;
    unsigned long long number = 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return loading_lines_check::not_an_integer;
        if (number <= kMaxLoadingLinesLimit)
            number = number * 10 + static_cast<unsigned>(c.unicode() - u'0');
    }
    if (number < kMinLoadingLines || number > kMaxLoadingLinesLimit)
        return loading_lines_check::out_of_range;
    value = static_cast<unsigned>(number);
    return loading_lines_check::ok;
}

std::u16string MaxLoadingLinesMessage(loading_lines_check check)
{
    switch (check) {
    case loading_lines_check::not_an_integer: return u"Enter an integer.";
    case loading_lines_check::out_of_range: {
        QString text = QStringLiteral("Enter an integer between %1 and %2.");
        return FromQString(text.arg(kMinLoadingLines).arg(kMaxLoadingLinesLimit));
    }
    case loading_lines_check::ok: break;
    }
    return {};
}

namespace {

// Digits in groups of three, separated by commas.
QString GroupedNumber(unsigned number)
{
    QString digits = QString::number(number);
    for (auto at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(','));
    return digits;
}

} // namespace

QString LoadingLinesRangeText()
{
    return QStringLiteral("(%1 - %2)").arg(GroupedNumber(kMinLoadingLines), GroupedNumber(kMaxLoadingLinesLimit));
}

COptionDlg::COptionDlg(const option_values& values, QWidget* parent) : QDialog(parent), m_values(values)
{
    setObjectName(IdObjectName(kTemplateId));
    setProperty("help_topic", QStringLiteral("options"));
    setWindowTitle(Text(u"IDS_OPTIONDLG_TITLE"));

    const QFontMetrics metrics = fontMetrics();
    const int margin = DialogUnitsX(metrics, 7);
    const int row_gap = DialogUnitsY(metrics, 3);
    const int section_gap = DialogUnitsY(metrics, 7);
    const int indent = DialogUnitsX(metrics, 10);

    auto* lines_label = SectionLabel(this, u"IDS_OPTIONDLG_TEXT_MAX_LOADING_LINES");
    m_max_lines = new QLineEdit(this);
    m_max_lines->setObjectName(IdObjectName(kMaxLinesEdit));
    m_max_lines->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
    m_max_lines->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_max_lines->setFixedWidth(DialogUnitsX(metrics, 48));
    m_max_lines->setText(QString::number(values.max_loading_lines));
    lines_label->setBuddy(m_max_lines);
    auto* range = new QLabel(LoadingLinesRangeText(), this);
    range->setEnabled(false);

    auto* lines_row = new QHBoxLayout;
    lines_row->setSpacing(DialogUnitsX(metrics, 4));
    lines_row->addWidget(lines_label);
    lines_row->addWidget(m_max_lines);
    lines_row->addWidget(range);
    lines_row->addStretch(1);

    m_loading_mode = new QButtonGroup(this);
    auto* head = AddRadio(this, m_loading_mode, kLoadHeadRadio, u"IDS_OPTIONDLG_RADIO_FILE_LOADING_MODE_HEAD", 0);
    auto* tail = AddRadio(this, m_loading_mode, kLoadTailRadio, u"IDS_OPTIONDLG_RADIO_FILE_LOADING_MODE_TAIL", 1);
    (values.load_tail_first ? tail : head)->setChecked(true);

    m_separator = new QButtonGroup(this);
    auto* space = AddRadio(this, m_separator, kSpaceRadio, u"IDS_OPTIONDLG_RADIO_COLUMNSEP_SPACE", 0);
    auto* tab = AddRadio(this, m_separator, kTabRadio, u"IDS_OPTIONDLG_RADIO_COLUMNSEP_TAB", 1);
    (values.tab_separator ? tab : space)->setChecked(true);

    m_tail_on_refresh = new QCheckBox(Text(u"IDS_OPTIONDLG_CHECK_TAIL_ON_REFRESH"), this);
    m_tail_on_refresh->setObjectName(IdObjectName(kTailOnRefreshCheck));
    m_tail_on_refresh->setChecked(values.tail_on_refresh);

    auto* note = new QLabel(Text(u"IDS_OPTIONDLG_TEXT_STAR_NOTICE"), this);
    note->setTextFormat(Qt::PlainText);
    note->setWordWrap(true);
    note->setForegroundRole(QPalette::PlaceholderText);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(Text(u"IDS_WORD_OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(IdObjectName(1));
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton(Text(u"IDS_WORD_CANCEL"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(IdObjectName(2));
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptionDlg::reject);

    auto* options = new QGridLayout;
    options->setContentsMargins(0, 0, 0, 0);
    options->setHorizontalSpacing(0);
    options->setVerticalSpacing(row_gap);
    options->setColumnMinimumWidth(0, indent);
    int row = 0;
    options->addLayout(lines_row, row++, 0, 1, 2);
    options->setRowMinimumHeight(row++, section_gap - row_gap);
    options->addWidget(SectionLabel(this, u"IDS_OPTIONDLG_TEXT_FILE_LOADING_MODE"), row++, 0, 1, 2);
    options->addWidget(head, row++, 1);
    options->addWidget(tail, row++, 1);
    options->setRowMinimumHeight(row++, section_gap - row_gap);
    options->addWidget(SectionLabel(this, u"IDS_OPTIONDLG_TEXT_COLUMNSEP"), row++, 0, 1, 2);
    options->addWidget(space, row++, 1);
    options->addWidget(tab, row++, 1);
    options->setRowMinimumHeight(row++, section_gap - row_gap);
    options->addWidget(m_tail_on_refresh, row++, 0, 1, 2);
    options->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(section_gap);
    layout->addLayout(options);
    layout->addWidget(note);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_max_lines->setFocus();
    m_max_lines->selectAll();
}

void COptionDlg::accept()
{
    unsigned lines = 0;
    const loading_lines_check check = CheckMaxLoadingLines(m_max_lines->text(), lines);
    if (check != loading_lines_check::ok) {
        ShowMessage(MaxLoadingLinesMessage(check), MB_OK | MB_ICONWARNING);
        m_max_lines->setFocus();
        m_max_lines->selectAll();
        return;
    }
    m_values.max_loading_lines = lines;
    m_values.load_tail_first = m_loading_mode->checkedId() == 1;
    m_values.tab_separator = m_separator->checkedId() == 1;
    m_values.tail_on_refresh = m_tail_on_refresh->isChecked();
    QDialog::accept();
}

option_changes RunOptionDlg(app_settings& settings, QWidget* parent)
{
    COptionDlg dialog(OptionValuesFromSettings(settings), parent);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return ApplyOptionValues(settings, dialog.Values());
}
