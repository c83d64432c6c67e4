#include "ui/go_to_line_dlg.h"

#include "platform/message_box.h"
#include "platform/strings.h"
#include "ui/command_ids.h"
#include "ui/ui_text.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QVBoxLayout>

#include <algorithm>

namespace {

bool IsSeparator(QChar c)
{
    return c == QLatin1Char(',') || c == QLatin1Char('.') || c == QLatin1Char('\'') || c == QLatin1Char(' ')
           || c == QChar(0x00A0) || c == QChar(0x202F);
}

QString WithNumber(QString text, int64_t number)
{
    const qsizetype at = text.indexOf(QStringLiteral("%s"));
    if (at >= 0)
        text.replace(at, 2, QLocale().toString(static_cast<qlonglong>(number)));
    return text;
}

} // namespace

line_entry ParseLineEntry(const QString& text, int64_t line_count)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {line_entry::kind::empty, 0};
    // Digits, with separators only between two digits.
    QString digits;
    for (qsizetype i = 0; i < trimmed.size(); ++i) {
        const QChar c = trimmed[i];
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            digits.append(c);
            continue;
        }
        const bool between = i > 0 && i + 1 < trimmed.size() && trimmed[i - 1].isDigit() && trimmed[i + 1].isDigit();
        if (!IsSeparator(c) || !between)
            return {line_entry::kind::not_a_number, 0};
    }
    // Leading zeros say nothing; more digits than the count has are beyond it.
    qsizetype first = 0;
    while (first + 1 < digits.size() && digits[first] == QLatin1Char('0'))
        ++first;
    digits = digits.mid(first);
    const QString most = QString::number(std::max<int64_t>(line_count, 0));
    if (digits.size() > most.size())
        return {line_entry::kind::out_of_range, 0};
    const int64_t line = digits.toLongLong();
    if (line < 1 || line > line_count)
        return {line_entry::kind::out_of_range, 0};
    return {line_entry::kind::line, line};
}

CGoToLineDlg::CGoToLineDlg(int64_t current, int64_t line_count, QWidget* parent)
    : QDialog(parent), m_line_count(line_count)
{
    setObjectName(IdObjectName(ids::kGoToLineDlg));
    setProperty("help_topic", QStringLiteral("index"));
    setWindowTitle(Text(u"IDS_GOTOLINEDLG_TITLE"));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(WithNumber(Text(u"IDS_GOTOLINEDLG_TEXT_LINE"), line_count), this);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(IdObjectName(ids::kGoToLineEdit));
    label->setBuddy(m_edit);
    if (current > 0)
        m_edit->setText(QString::number(current));
    m_edit->selectAll();
    m_edit->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 24);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CGoToLineDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CGoToLineDlg::reject);
    layout->addWidget(label);
    layout->addWidget(m_edit);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CGoToLineDlg::accept()
{
    const line_entry entry = ParseLineEntry(m_edit->text(), m_line_count);
    switch (entry.result) {
    case line_entry::kind::line:
        m_line = entry.line;
        QDialog::accept();
        return;
    case line_entry::kind::out_of_range:
        ShowMessage(FromQString(WithNumber(Text(u"IDS_MSG_GOTO_LINE_OUT_OF_RANGE"), m_line_count)),
                    MB_OK | MB_ICONWARNING);
        break;
    case line_entry::kind::empty:
    case line_entry::kind::not_a_number:
        ShowMessage(FromQString(WithNumber(Text(u"IDS_MSG_GOTO_LINE_NOT_A_NUMBER"), m_line_count)),
                    MB_OK | MB_ICONWARNING);
        break;
    }
    // Stays open with the text selected, to be typed over.
    m_edit->setFocus();
    m_edit->selectAll();
}
