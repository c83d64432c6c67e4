#include "dialogs/data_format_dlg.h"

#include "dialogs/datetime_format_edit.h"
#include "dialogs/datetime_language_dlg.h"
#include "dialogs/dialog_parts.h"
#include "dialogs/mnemonics.h"
#include "format/datetime.h"
#include "ui/dialog_units.h"
#include "ui/ui_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <bit>
#include <memory>

namespace {

constexpr int64_t kIntegerExample = 1234567;
constexpr double kDecimalExample = 1234567.123456789;

QLineEdit* ExampleField(QWidget* parent, int id)
{
    auto* example = new QLineEdit(parent);
    example->setObjectName(IdObjectName(id));
    example->setReadOnly(true);
    example->setFocusPolicy(Qt::ClickFocus);
    return example;
}

// The layout every data-format dialog shares: a grid of labelled fields over
// the OK and Cancel buttons, sized to its contents.
QGridLayout* DialogGrid(QDialog& dialog)
{
    const QFontMetrics metrics = dialog.fontMetrics();
    const int margin = DialogUnitsX(metrics, 7);
    auto* grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(DialogUnitsX(metrics, 4));
    grid->setVerticalSpacing(DialogUnitsY(metrics, 4));
    auto* layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(DialogUnitsY(metrics, 7));
    layout->addLayout(grid);
    layout->addWidget(OkCancelButtons(dialog));
    layout->setSizeConstraint(QLayout::SetFixedSize);
    return grid;
}

} // namespace

CDataFormatDlg::CDataFormatDlg(const tagDATA_FORMAT& format, QWidget* parent) : QDialog(parent), m_format(format)
{}

void CDataFormatDlg::accept()
{
    StoreControls();
    QDialog::accept();
}

void CDataFormatDlg::StoreControls()
{}

std::u16string NumericFormatExample(const tagDATA_FORMAT& format)
{
    tagDATA_VALUE value;
    value.valid = true;
    value.payload = format.digit_count == 0 ? kIntegerExample : std::bit_cast<int64_t>(kDecimalExample);
    std::u16string text;
    FormatDataValue(value, format, text);
    return text;
}

uint8_t DigitCountFromText(const QString& text, QString& shown)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    const int digits = text.isEmpty() || !ok || number < 0 ? 0 : std::min<int>(number, MAX_DIGIT_COUNT);
    shown = QString::number(digits);
    return static_cast<uint8_t>(digits);
}

// ---------------------------------------------------------------- numeric

CDataFormatDlg_Numeric::CDataFormatDlg_Numeric(const tagDATA_FORMAT& format, QWidget* parent)
    : CDataFormatDlg(format, parent)
{
    setObjectName(IdObjectName(kTemplateId));
    setProperty("help_topic", QStringLiteral("number_format"));
    setWindowTitle(Text(u"IDS_DATAFORMATDLG_TITLE_NUMERIC"));
    const QFontMetrics metrics = fontMetrics();

    m_digit_count = new QLineEdit(this);
    m_digit_count->setObjectName(IdObjectName(kDigitCountEdit));
    m_digit_count->setMaxLength(2);
    m_digit_count->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
    m_digit_count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_digit_count->setFixedWidth(DialogUnitsX(metrics, 24));
    m_separator = new QCheckBox(Text(u"IDS_DATAFORMATDLG_NUMERIC_CHECK_THOUSANDSEP"), this);
    m_separator->setObjectName(IdObjectName(kSeparatorCheck));
    m_example_edit = ExampleField(this, kExampleEdit);
    m_example_edit->setMinimumWidth(DialogUnitsX(metrics, 110));

    QGridLayout* grid = DialogGrid(*this);
    grid->addWidget(FieldLabel(this, u"IDS_DATAFORMATDLG_NUMERIC_TEXT_DIGIT", m_digit_count), 0, 0);
    grid->addWidget(m_digit_count, 0, 1, Qt::AlignLeft);
    grid->addWidget(m_separator, 1, 1);
    grid->addWidget(FieldLabel(this, u"IDS_DATAFORMATDLG_NUMERIC_TEXT_EXAMPLE", m_example_edit), 2, 0);
    grid->addWidget(m_example_edit, 2, 1);
    grid->setColumnStretch(1, 1);
    AssignMnemonics(this);

    m_format.digit_count = std::min(m_format.digit_count, MAX_DIGIT_COUNT);
    m_digit_count->setText(QString::number(m_format.digit_count));
    m_separator->setChecked(m_format.separator_1000);
    RefreshExample();
    connect(m_digit_count, &QLineEdit::textChanged, this, &CDataFormatDlg_Numeric::OnDigitCountChanged);
    connect(m_separator, &QCheckBox::toggled, this, [this](bool checked) {
        m_format.separator_1000 = checked;
        RefreshExample();
    });
    m_digit_count->setFocus();
    m_digit_count->selectAll();
}

void CDataFormatDlg_Numeric::OnDigitCountChanged()
{
    const QString typed = m_digit_count->text();
    QString shown;
    m_format.digit_count = DigitCountFromText(typed, shown);
    if (shown != typed) {
        const QSignalBlocker quiet(m_digit_count);
        m_digit_count->setText(shown);
        if (typed.isEmpty())
            m_digit_count->selectAll();
    }
    RefreshExample();
}

void CDataFormatDlg_Numeric::RefreshExample()
{
    m_example = NumericFormatExample(m_format);
    m_example_edit->setText(ToQString(m_example));
}

void CDataFormatDlg_Numeric::StoreControls()
{
    QString shown;
    m_format.digit_count = DigitCountFromText(m_digit_count->text(), shown);
    m_format.separator_1000 = m_separator->isChecked();
}

// -------------------------------------------------------------- date-time

std::vector<std::u16string> LanguageEntryNames()
{
    std::vector<std::u16string> names;
    for (const auto& entry : *DateTimeLanguages())
        names.push_back(entry.first);
    std::stable_sort(names.begin(), names.end(), [](const std::u16string& a, const std::u16string& b) {
        const int folded = ToQString(a).compare(ToQString(b), Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    return names;
}

int FindLanguageEntry(const std::vector<QString>& entry_texts, const std::u16string& name)
{
    if (name.empty())
        return entry_texts.empty() ? -1 : 0;
    const QString wanted = ToQString(name);
    // Entry 0 is the default entry, never a language of that name.
    for (std::size_t i = 1; i < entry_texts.size(); ++i)
        if (entry_texts[i] == wanted)
            return static_cast<int>(i);
    for (std::size_t i = 0; i < entry_texts.size(); ++i)
        if (entry_texts[i].startsWith(wanted, Qt::CaseInsensitive))
            return static_cast<int>(i);
    return -1;
}

CDataFormatDlg_DateTime::CDataFormatDlg_DateTime(const tagDATA_FORMAT& format, QWidget* parent)
    : CDataFormatDlg(format, parent)
{
    setObjectName(IdObjectName(kTemplateId));
    setProperty("help_topic", QStringLiteral("datetime_format"));
    setWindowTitle(Text(u"IDS_DATAFORMATDLG_TITLE_DATETIME"));
    const QFontMetrics metrics = fontMetrics();

    m_format_edit = new CDateTimeFormatEdit(this);
    m_format_edit->setObjectName(IdObjectName(kFormatEdit));
    m_format_edit->setMinimumWidth(DialogUnitsX(metrics, 150));
    auto* letters = new QLabel(Text(u"IDS_DATAFORMATDLG_DATETIME_TEXT_LETTERS"), this);
    letters->setTextFormat(Qt::PlainText);
    letters->setWordWrap(true);
    letters->setForegroundRole(QPalette::PlaceholderText);
    m_language = new QComboBox(this);
    m_language->setObjectName(IdObjectName(kLanguageBox));
    m_language->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_language->setMinimumWidth(DialogUnitsX(metrics, 90));
    m_setup = new QPushButton(Text(u"IDS_DATAFORMATDLG_DATETIME_BUTTON_SETUP"), this);
    m_setup->setObjectName(IdObjectName(kSetupButton));
    m_setup->setAutoDefault(false);
    m_example_edit = ExampleField(this, kExampleEdit);

    auto* language_row = new QHBoxLayout;
    language_row->setContentsMargins(0, 0, 0, 0);
    language_row->addWidget(m_language, 1);
    language_row->addWidget(m_setup);

    QGridLayout* grid = DialogGrid(*this);
    grid->addWidget(FieldLabel(this, u"IDS_DATAFORMATDLG_DATETIME_TEXT_FORMAT", m_format_edit), 0, 0);
    grid->addWidget(m_format_edit, 0, 1);
    grid->addWidget(letters, 1, 1);
    grid->addWidget(FieldLabel(this, u"IDS_DATAFORMATDLG_DATETIME_TEXT_LANGUAGE", m_language), 2, 0);
    grid->addLayout(language_row, 2, 1);
    grid->addWidget(FieldLabel(this, u"IDS_DATAFORMATDLG_DATETIME_TEXT_EXAMPLE", m_example_edit), 3, 0);
    grid->addWidget(m_example_edit, 3, 1);
    grid->setColumnStretch(1, 1);
    // The hint wraps within the width the fields give the dialog.
    letters->setMaximumWidth(DialogUnitsX(metrics, 150) + DialogUnitsX(metrics, 50));
    AssignMnemonics(this);

    m_format_edit->setText(ToQString(m_format.format));
    FillLanguages(m_format.language);
    RefreshExample();
    connect(m_format_edit, &QLineEdit::textChanged, this, &CDataFormatDlg_DateTime::RefreshExample);
    connect(m_language, &QComboBox::currentIndexChanged, this, &CDataFormatDlg_DateTime::RefreshExample);
    connect(m_setup, &QPushButton::clicked, this, &CDataFormatDlg_DateTime::OnSetup);
    m_format_edit->setFocus();
    m_format_edit->selectAll();
}

void CDataFormatDlg_DateTime::FillLanguages(const std::u16string& name)
{
    const QSignalBlocker quiet(m_language);
    m_language->clear();
    m_language->addItem(Text(u"IDS_SPECIAL_DEFAULT"), QString());
    std::vector<QString> texts = {m_language->itemText(0)};
    for (const std::u16string& entry : LanguageEntryNames()) {
        texts.push_back(ToQString(entry));
        m_language->addItem(texts.back(), texts.back());
    }
    m_language->setCurrentIndex(FindLanguageEntry(texts, name));
}

std::u16string CDataFormatDlg_DateTime::SelectedLanguage() const
{
    if (m_language->currentIndex() <= 0)
        return {};
    return FromQString(m_language->currentData().toString());
}

void CDataFormatDlg_DateTime::RefreshExample()
{
    tagDATA_FORMAT shown = m_format;
    shown.format = FromQString(m_format_edit->text());
    shown.language = SelectedLanguage();
    tagDATA_VALUE now;
    now.payload = DialogNow();
    now.valid = true;
    m_example.clear();
    FormatDataValue(now, shown, m_example);
    m_example_edit->setText(ToQString(m_example));
}

void CDataFormatDlg_DateTime::OnSetup()
{
    std::u16string wanted = m_language->currentIndex() < 0 ? m_format.language : SelectedLanguage();
    CDateTimeLanguageDlg languages(this);
    languages.exec();
    for (const auto& [from, to] : languages.Renames())
        if (wanted == from)
            wanted = to;
    FillLanguages(wanted);
    if (m_language->currentIndex() < 0) {
        // The language is gone: the column reads with the default words.
        const QSignalBlocker quiet(m_language);
        m_language->setCurrentIndex(0);
        m_format.language.clear();
    }
    RefreshExample();
}

void CDataFormatDlg_DateTime::StoreControls()
{
    m_format_edit->Normalize();
    m_format.format = FromQString(m_format_edit->text());
    m_format.language = SelectedLanguage();
}

bool RunDataFormatDlg(tagDATA_FORMAT& format, QWidget* parent)
{
    std::unique_ptr<CDataFormatDlg> dialog;
    if (format.data_type == DATA_TYPE_NUMERIC)
        dialog = std::make_unique<CDataFormatDlg_Numeric>(format, parent);
    else if (format.data_type == DATA_TYPE_DATETIME)
        dialog = std::make_unique<CDataFormatDlg_DateTime>(format, parent);
    else
        return false;
    if (dialog->exec() != QDialog::Accepted)
        return false;
    format = dialog->Format();
    return true;
}
