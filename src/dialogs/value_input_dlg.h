// The value-input dialogs of the filter condition dialog's Generate button:
// the user picks a value with a control that fits the column's data type,
// and the dialog hands it back as the expression text in the column's
// format.  CValueInputDlg_Numeric (template 174) takes a number,
// CValueInputDlg_IPv4 (175) an address, CValueInputDlg_DateTime (176) a date,
// a time and milliseconds.  Each is given the column's tagDATA_FORMAT and the
// current expression; after OK, Text() is the value text.
//
// Thread-safety: interface thread only.
#pragma once

#include "format/data_format.h"

#include <QDialog>

#include <string>

class CIPAddressCtrl;
class QDate;
class QTime;
class CNumericEdit;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QTimeEdit;

class CValueInputDlg : public QDialog {
    Q_OBJECT
public:
    // The value text: the expression handed in until OK, the chosen value after it.
    const std::u16string& Text() const { return m_text; }
    const tagDATA_FORMAT& ColumnFormat() const { return m_format; }

protected:
    CValueInputDlg(const tagDATA_FORMAT& format, std::u16string expression, QWidget* parent);

    // Lays out one labelled control over OK and Cancel, with the dialog's
    // title, id and help topic.
    void Build(int template_id, const QString& title, const char* help_topic, QLayout* fields);

    tagDATA_FORMAT m_format;
    std::u16string m_text;
};

class CValueInputDlg_Numeric : public CValueInputDlg {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 174;
    static constexpr int kNumberEdit = 1088;

    // The number edit takes integers only for a column without decimals and
    // groups thousands when the column does; it starts at 0.
    CValueInputDlg_Numeric(const tagDATA_FORMAT& format, const std::u16string& expression, QWidget* parent = nullptr);

    // The value text is the number as the edit shows it.
    void accept() override;

private:
    CNumericEdit* m_number = nullptr;
};

class CValueInputDlg_IPv4 : public CValueInputDlg {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 175;
    static constexpr int kAddressCtrl = 1089;

    // The address control starts with the expression when it is an IPv4 address.
    CValueInputDlg_IPv4(const tagDATA_FORMAT& format, const std::u16string& expression, QWidget* parent = nullptr);

    // The value text is the four fields printed as "%d.%d.%d.%d".
    void accept() override;

private:
    CIPAddressCtrl* m_address = nullptr;
};

// Splits seconds since the epoch into the local date and time (the format
// library's reading of local time); false outside what it converts.
bool LocalDateTimeOf(int64_t seconds, QDate& date, QTime& time);

// The value text of a picked local date, time and milliseconds in format:
// the local time converted as date-time parsing converts it, then formatted
// with the column's format and language.  False, with the dictionary key of
// the reason in message_key, when the moment lies outside 1970 to 3000 or the
// format cannot be written.
bool DateTimeValueText(const QDate& date, const QTime& time, int milliseconds, const tagDATA_FORMAT& format,
                       std::u16string& text, std::u16string& message_key);

class CValueInputDlg_DateTime : public CValueInputDlg {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 176;
    static constexpr int kDateCtrl = 1090;
    static constexpr int kTimeCtrl = 1091;
    static constexpr int kMillisecondEdit = 1092;
    static constexpr int kZeroButton = 1093;

    // Starts at the moment of creation with 0 milliseconds, or at the
    // expression's value when it parses with the column's format; the date,
    // time and milliseconds controls are enabled by the format's fields.
    CValueInputDlg_DateTime(const tagDATA_FORMAT& format, const std::u16string& expression, QWidget* parent = nullptr);

    // Formats the picked moment; a moment that cannot be written is refused
    // with its message and the dialog stays open.
    void accept() override;

private:
    QDateEdit* m_date = nullptr;
    QTimeEdit* m_time = nullptr;
    QLineEdit* m_milliseconds = nullptr;
    QPushButton* m_zero = nullptr;
};

// Runs the value-input dialog for the data type of format (none for text
// columns: false) on the expression; on OK the expression becomes the
// dialog's text and true is returned.
bool RunValueInputDlg(const tagDATA_FORMAT& format, std::u16string& expression, QWidget* parent);
