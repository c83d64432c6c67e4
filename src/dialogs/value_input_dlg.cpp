#include "dialogs/value_input_dlg.h"

#include "dialogs/dialog_parts.h"
#include "dialogs/ipv4_address_ctrl.h"
#include "dialogs/mnemonics.h"
#include "dialogs/numeric_edit.h"
#include "format/datetime.h"
#include "format/local_time.h"
#include "glossant/dictionary_text.h"
#include "platform/message_box.h"
#include "ui/dialog_units.h"
#include "ui/ui_text.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <ctime>
#include <memory>

namespace {

QGridLayout* FieldGrid(QWidget& dialog)
{
    const QFontMetrics metrics = dialog.fontMetrics();
    auto* grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(DialogUnitsX(metrics, 4));
    grid->setVerticalSpacing(DialogUnitsY(metrics, 4));
    return grid;
}

} // namespace

CValueInputDlg::CValueInputDlg(const tagDATA_FORMAT& format, std::u16string expression, QWidget* parent)
    : QDialog(parent), m_format(format), m_text(std::move(expression))
{}

void CValueInputDlg::Build(int template_id, const QString& title, const char* help_topic, QLayout* fields)
{
    setObjectName(IdObjectName(template_id));
    setProperty("help_topic", QString::fromLatin1(help_topic));
    setWindowTitle(title);
    const QFontMetrics metrics = fontMetrics();
    const int margin = DialogUnitsX(metrics, 7);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(DialogUnitsY(metrics, 7));
    layout->addLayout(fields);
    layout->addWidget(OkCancelButtons(*this));
    layout->setSizeConstraint(QLayout::SetFixedSize);
    AssignMnemonics(this);
}

// ---------------------------------------------------------------- numeric

CValueInputDlg_Numeric::CValueInputDlg_Numeric(const tagDATA_FORMAT& format, const std::u16string& expression,
                                               QWidget* parent)
    : CValueInputDlg(format, expression, parent)
{
    m_number = new CNumericEdit(format.digit_count == 0, format.separator_1000, this);
    m_number->setObjectName(IdObjectName(kNumberEdit));
    m_number->setMinimumWidth(DialogUnitsX(fontMetrics(), 110));
    QGridLayout* grid = FieldGrid(*this);
    grid->addWidget(FieldLabel(this, u"IDS_VALUEINPUTDLG_TEXT_NUMBER", m_number), 0, 0);
    grid->addWidget(m_number, 0, 1);
    grid->setColumnStretch(1, 1);
    Build(kTemplateId,
          ::Text(format.digit_count != 0 ? u"IDS_VALUEINPUTDLG_NUMERIC_TITLE_DECIMAL"
                                         : u"IDS_VALUEINPUTDLG_NUMERIC_TITLE_INTEGER"),
          "value_number", grid);
    m_number->setFocus();
}

void CValueInputDlg_Numeric::accept()
{
    m_text = FromQString(m_number->text());
    QDialog::accept();
}

// ------------------------------------------------------------------- IPv4

CValueInputDlg_IPv4::CValueInputDlg_IPv4(const tagDATA_FORMAT& format, const std::u16string& expression,
                                         QWidget* parent)
    : CValueInputDlg(format, expression, parent)
{
    m_address = new CIPAddressCtrl(this);
    m_address->setObjectName(IdObjectName(kAddressCtrl));
    tagDATA_FORMAT ipv4 = format;
    ipv4.data_type = DATA_TYPE_IPV4;
    tagDATA_VALUE value;
    ParseDataValue(value, expression.data(), expression.size(), ipv4);
    if (value.valid)
        m_address->SetAddress(static_cast<uint32_t>(value.payload));
    QGridLayout* grid = FieldGrid(*this);
    grid->addWidget(FieldLabel(this, u"IDS_VALUEINPUTDLG_TEXT_ADDRESS", m_address), 0, 0);
    grid->addWidget(m_address, 0, 1);
    grid->setColumnStretch(1, 1);
    Build(kTemplateId, ::Text(u"IDS_VALUEINPUTDLG_IPV4_TITLE"), "value_ipv4", grid);
    m_address->Field(0)->setFocus();
    m_address->Field(0)->selectAll();
}

void CValueInputDlg_IPv4::accept()
{
    const std::array<int, 4> octets = m_address->Fields();
    m_text = FromQString(QStringLiteral("%1.%2.%3.%4").arg(octets[0]).arg(octets[1]).arg(octets[2]).arg(octets[3]));
    QDialog::accept();
}

// -------------------------------------------------------------- date-time

bool LocalDateTimeOf(int64_t seconds, QDate& date, QTime& time)
{
    if (seconds < 0 || seconds > LATEST_CONVERTIBLE_SECONDS)
        return false;
    const time_t moment = static_cast<time_t>(seconds);
    tm local{};
    if (!localtime_r(&moment, &local))
        return false;
    date = QDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    time = QTime(local.tm_hour, local.tm_min, local.tm_sec);
    return date.isValid() && time.isValid();
}

bool DateTimeValueText(const QDate& date, const QTime& time, int milliseconds, const tagDATA_FORMAT& format,
                       std::u16string& text, std::u16string& message_key)
{
    tagDATA_VALUE value;
    if (!LocalTimeToSeconds(date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second(),
                            value.payload)) {
        message_key = u"IDS_MSG_DATETIME_OUT_OF_RANGE";
        return false;
    }
    value.milliseconds = static_cast<int16_t>(milliseconds);
    value.valid = true;
    tagDATA_FORMAT datetime = format;
    datetime.data_type = DATA_TYPE_DATETIME;
    std::u16string formatted;
    if (!FormatDataValue(value, datetime, formatted)) {
        message_key = u"IDS_MSG_DATETIME_CANNOT_FORMAT";
        return false;
    }
    text = std::move(formatted);
    return true;
}

CValueInputDlg_DateTime::CValueInputDlg_DateTime(const tagDATA_FORMAT& format, const std::u16string& expression,
                                                 QWidget* parent)
    : CValueInputDlg(format, expression, parent)
{
    const QFontMetrics metrics = fontMetrics();
    m_date = new QDateEdit(this);
    m_date->setObjectName(IdObjectName(kDateCtrl));
    m_date->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    m_date->setDateRange(QDate(1970, 1, 1), QDate(3000, 12, 31));
    m_date->setCalendarPopup(true);
    m_time = new QTimeEdit(this);
    m_time->setObjectName(IdObjectName(kTimeCtrl));
    m_time->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    m_zero = new QPushButton(::Text(u"IDS_WORD_ZERO"), this);
    m_zero->setObjectName(IdObjectName(kZeroButton));
    m_zero->setAutoDefault(false);
    m_milliseconds = new QLineEdit(QStringLiteral("0"), this);
    m_milliseconds->setObjectName(IdObjectName(kMillisecondEdit));
    m_milliseconds->setMaxLength(3);
    m_milliseconds->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
    m_milliseconds->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_milliseconds->setFixedWidth(DialogUnitsX(metrics, 24));

    // The moment the dialog was created, unless the expression holds one.
    QDate date;
    QTime time;
    tagDATA_VALUE value;
    tagDATA_FORMAT datetime = format;
    datetime.data_type = DATA_TYPE_DATETIME;
    ParseDataValue(value, expression.data(), expression.size(), datetime);
    if (value.valid && LocalDateTimeOf(value.payload, date, time)) {
        m_milliseconds->setText(QString::number(value.milliseconds));
    } else if (!LocalDateTimeOf(DialogNow(), date, time)) {
        date = QDate(1970, 2, 1);
        time = QTime(0, 0);
    }
    m_date->setDate(date);
    m_time->setTime(time);

    const uint32_t fields = DateTimeFormatFields(format.format);
    m_date->setEnabled((fields & (DATETIME_FIELD_YEAR | DATETIME_FIELD_MONTH | DATETIME_FIELD_DAY)) != 0);
    const bool has_time = (fields & (DATETIME_FIELD_HOUR | DATETIME_FIELD_MINUTE | DATETIME_FIELD_SECOND)) != 0;
    m_time->setEnabled(has_time);
    m_zero->setEnabled(has_time);
    m_milliseconds->setEnabled((fields & DATETIME_FIELD_MILLISECOND) != 0);

    auto* time_row = new QHBoxLayout;
    time_row->setContentsMargins(0, 0, 0, 0);
    time_row->addWidget(m_time, 1);
    time_row->addWidget(m_zero);
    QGridLayout* grid = FieldGrid(*this);
    grid->addWidget(FieldLabel(this, u"IDS_VALUEINPUTDLG_DATETIME_TEXT_DATE", m_date), 0, 0);
    grid->addWidget(m_date, 0, 1);
    grid->addWidget(FieldLabel(this, u"IDS_VALUEINPUTDLG_DATETIME_TEXT_TIME", m_time), 1, 0);
    grid->addLayout(time_row, 1, 1);
    grid->addWidget(FieldLabel(this, u"IDS_VALUEINPUTDLG_DATETIME_TEXT_MILLISECOND", m_milliseconds), 2, 0);
    grid->addWidget(m_milliseconds, 2, 1, Qt::AlignLeft);
    grid->setColumnStretch(1, 1);
    Build(kTemplateId, ::Text(u"IDS_VALUEINPUTDLG_DATETIME_TITLE"), "value_datetime", grid);

    connect(m_zero, &QPushButton::clicked, this, [this] { m_time->setTime(QTime(0, 0, 0)); });
    connect(m_milliseconds, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!text.isEmpty())
            return;
        const QSignalBlocker quiet(m_milliseconds);
        m_milliseconds->setText(QStringLiteral("0"));
        m_milliseconds->selectAll();
    });
    for (QWidget* first :
         {static_cast<QWidget*>(m_date), static_cast<QWidget*>(m_time), static_cast<QWidget*>(m_milliseconds)}) {
        if (first->isEnabled()) {
            first->setFocus();
            break;
        }
    }
}

void CValueInputDlg_DateTime::accept()
{
    std::u16string message_key;
    std::u16string text;
    if (!DateTimeValueText(m_date->date(), m_time->time(), m_milliseconds->text().toInt(), m_format, text,
                           message_key)) {
        ShowMessage(DictionaryText(message_key), MB_OK | MB_ICONINFORMATION);
        return;
    }
    m_text = std::move(text);
    QDialog::accept();
}

bool RunValueInputDlg(const tagDATA_FORMAT& format, std::u16string& expression, QWidget* parent)
{
    std::unique_ptr<CValueInputDlg> dialog;
    switch (format.data_type) {
    case DATA_TYPE_NUMERIC: dialog = std::make_unique<CValueInputDlg_Numeric>(format, expression, parent); break;
    case DATA_TYPE_IPV4: dialog = std::make_unique<CValueInputDlg_IPv4>(format, expression, parent); break;
    case DATA_TYPE_DATETIME: dialog = std::make_unique<CValueInputDlg_DateTime>(format, expression, parent); break;
    default: return false;
    }
    if (dialog->exec() != QDialog::Accepted)
        return false;
    expression = dialog->Text();
    return true;
}
