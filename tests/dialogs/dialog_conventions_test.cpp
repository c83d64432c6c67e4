#include "dialog_conventions_test.h"

#include "dialog_test_support.h"
#include "dialogs/data_format_dlg.h"
#include "dialogs/datetime_language_dlg.h"
#include "dialogs/filter_dlg.h"
#include "dialogs/highlight_dlg.h"
#include "dialogs/mnemonics.h"
#include "dialogs/parser_dlg.h"
#include "dialogs/parser_edit_dlg.h"
#include "dialogs/value_input_dlg.h"
#include "format/datetime.h"

#include <QAbstractButton>
#include <QFile>
#include <QLabel>
#include <QLineEdit>

#include <functional>
#include <memory>
#include <set>

namespace {

tagDATA_FORMAT Typed(int32_t type)
{
    tagDATA_FORMAT format;
    format.data_type = type;
    format.format = u"d/b/Y H:M:S.s";
    return format;
}

// A parser manager over no open file and an empty list.
class empty_parser_host : public parser_dlg_host {
public:
    parser_list& Parsers() override { return parsers; }
    std::u16string ParserFolder() override { return {}; }
    bool InUse(const std::u16string&) override { return false; }
    void CloseFilesUsing(const std::u16string&) override {}
    void RenameReferences(const std::u16string&, const std::u16string&) override {}
    std::u16string SelectedLine() override { return {}; }
    std::vector<std::u16string> SampleLines() override { return {}; }
    parser_list parsers;
};

// What the filter and highlight dialogs keep, for the whole run.
struct rule_lists {
    filter_favorites filters;
    std::vector<log_filter> recent_conditions;
    highlight_favorites highlights;
    CHighlight recent_rules;
    std::vector<std::u16string> history;
    filter_column_map columns;
    std::vector<std::u16string> headers = {u"Level", u"Message"};
};

rule_lists& Lists()
{
    static rule_lists lists;
    return lists;
}

tagPARSER_ITEM TwoColumns()
{
    log_pattern first(u"First");
    first.end = u" ";
    return {{first, log_pattern(u"Second")}, u"two"};
}

struct dialog_case {
    const char* name;
    std::function<std::unique_ptr<QDialog>()> make;
    int id;
    const char* topic;
    std::vector<int> tab_order; // ids of the focus stops, from the first field on
};

std::vector<dialog_case> Dialogs()
{
    using L = CDateTimeLanguageEditDlg;
    std::vector<int> language_fields = {L::kNameEdit, L::kAmEdit, L::kPmEdit};
    for (int m = 1; m <= 12; ++m) {
        language_fields.push_back(L::FullNameId(m));
        language_fields.push_back(L::NickNameId(m));
    }
    language_fields.push_back(1);
    language_fields.push_back(2);
    return {
        {"numeric format",
         [] { return std::make_unique<CDataFormatDlg_Numeric>(Typed(DATA_TYPE_NUMERIC)); },
         177,
         "number_format",
         {1093, 1094, 1, 2}},
        {"date-time format",
         [] { return std::make_unique<CDataFormatDlg_DateTime>(Typed(DATA_TYPE_DATETIME)); },
         178,
         "datetime_format",
         {1096, 1097, 1098, 1, 2}},
        {"language list",
         [] { return std::make_unique<CDateTimeLanguageDlg>(); },
         179,
         "datetime_languages",
         {1100, 1101, 1102, 1103, 2}},
        {"language editor", [] { return std::make_unique<CDateTimeLanguageEditDlg>(u"X", DefaultDateTimeWords()); },
         180, "datetime_language_edit", language_fields},
        {"numeric value",
         [] { return std::make_unique<CValueInputDlg_Numeric>(Typed(DATA_TYPE_NUMERIC), u""); },
         174,
         "value_number",
         {1088, 1, 2}},
        {"IPv4 value",
         [] { return std::make_unique<CValueInputDlg_IPv4>(Typed(DATA_TYPE_IPV4), u""); },
         175,
         "value_ipv4",
         {1089, 1089, 1089, 1089, 1, 2}},
        {"date-time value",
         [] { return std::make_unique<CValueInputDlg_DateTime>(Typed(DATA_TYPE_DATETIME), u""); },
         // Tab steps through the year, month and day (and hour, minute, second) first.
         176,
         "value_datetime",
         {1090, 1090, 1090, 1091, 1091, 1091, 1093, 1092, 1, 2}},
        {"filter",
         [] {
             rule_lists& l = Lists();
             return std::make_unique<CFilterDlg>(
                 log_filter_groups{},
                 CFilterDlg::context{l.headers, l.columns, &l.filters, &l.recent_conditions, &l.history});
         },
         138,
         "filter",
         {1023, 1024, 1062, 1, 2}},
        {"filter condition",
         [] {
             rule_lists& l = Lists();
             auto dialog =
                 std::make_unique<CFilterEditDlg>(CFilterEditDlg::mode::edit, l.columns, l.headers, l.history);
             log_filter condition;
             condition.SetColumn(u"Level");
             condition.SetContent(u"ERROR");
             dialog->SetCondition(condition);
             return dialog;
         },
         139,
         "filter",
         {1018, 1019, 1020, 1021, 1022, 1, 2}},
        {"highlight",
         [] {
             rule_lists& l = Lists();
             return std::make_unique<CHighlightDlg>(
                 CHighlight{},
                 CHighlightDlg::context{l.headers, &l.highlights, &l.recent_rules, &l.history});
         },
         142,
         "highlight",
         {1044, 1045, 1049, 1059, 1050, 1051, 1052, 1053, 1054, 1055, 1, 2}},
        {"parser manager",
         [] {
             static empty_parser_host host;
             return std::make_unique<CParserDlg>(host);
         },
         140,
         "parser_management",
         {1029, 1030, 1034, 2}},
        {"parser editor",
         [] { return std::make_unique<CParserEditDlg>(CParserEditDlg::mode::edit, TwoColumns(),
                                                      std::vector<std::u16string>{}); },
         141,
         "parser_management",
         {1033, 1039, 1042, 1043, 1, 2, 1034}},
    };
}

// The id of widget, or of the nearest ancestor that has one.
int IdOf(QWidget* widget)
{
    for (; widget; widget = widget->parentWidget())
        if (const int id = IdFromObjectName(widget->objectName()))
            return id;
    return 0;
}

} // namespace

void dialog_conventions_test::cleanup()
{
    SetDateTimeLanguages({});
    QApplication::setFont(QFont());
}

void dialog_conventions_test::Mnemonics_PickDistinctLettersWordStartsFirst()
{
    struct row {
        std::vector<QString> texts;
        std::vector<QString> marked;
    };
    const std::vector<row> rows = {
        {{QStringLiteral("Format:"), QStringLiteral("Language:"), QStringLiteral("Languages...")},
         {QStringLiteral("&Format:"), QStringLiteral("&Language:"), QStringLiteral("L&anguages...")}},
        {{QStringLiteral("Add"), QStringLiteral("add more"), QStringLiteral("Edit")},
         {QStringLiteral("&Add"), QStringLiteral("add &more"), QStringLiteral("&Edit")}},
        {{QStringLiteral("Tom & Jerry"), QStringLiteral("tj")},
         {QStringLiteral("&Tom && Jerry"), QStringLiteral("t&j")}},
        {{QStringLiteral("ab"), QStringLiteral("ba"), QStringLiteral("AB")},
         {QStringLiteral("&ab"), QStringLiteral("&ba"), QStringLiteral("AB")}},
        {{QStringLiteral("..."), QStringLiteral("\u00C9t\u00E9")},
         {QStringLiteral("..."), QStringLiteral("&\u00C9t\u00E9")}},
        {{QStringLiteral("2 days"), QStringLiteral("Day 2")}, {QStringLiteral("&2 days"), QStringLiteral("&Day 2")}},
        // "Add" finds a and d taken; "a x" moves to x and "Delete" keeps d.
        {{QStringLiteral("a x"), QStringLiteral("Delete"), QStringLiteral("Add")},
         {QStringLiteral("a &x"), QStringLiteral("&Delete"), QStringLiteral("&Add")}},
        {{}, {}},
    };
    for (const row& r : rows)
        QCOMPARE(WithMnemonics(r.texts), r.marked);
}

void dialog_conventions_test::EveryDialog_CarriesItsIdTitleAndHelpPage()
{
    for (const dialog_case& c : Dialogs()) {
        const std::unique_ptr<QDialog> dialog = c.make();
        QVERIFY2(dialog->objectName() == IdObjectName(c.id), c.name);
        QVERIFY2(!dialog->windowTitle().isEmpty(), c.name);
        QVERIFY2(dialog->property("help_topic").toString() == QLatin1String(c.topic), c.name);
        const QString page =
            QStringLiteral(VARNOTH_SOURCE_RESOURCES "/help/") + QLatin1String(c.topic) + QStringLiteral(".html");
        QFile file(page);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(page));
        const QByteArray html = file.readAll();
        QVERIFY2(html.contains("help.css") && html.contains("<h1>"), c.name);
        // Every text on it comes from the dictionary: no label or button is empty.
        for (QLabel* label : dialog->findChildren<QLabel*>())
            QVERIFY2(label->isHidden() || !label->text().isEmpty(), c.name); // a hidden note waits for its text
        for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>())
            if ((button->inherits("QPushButton") || button->inherits("QCheckBox")) && !button->isHidden())
                QVERIFY2(!button->text().isEmpty(), c.name);
    }
}

void dialog_conventions_test::EveryDialog_EnterIsOkAndEscIsCancel()
{
    for (const dialog_case& c : Dialogs()) {
        const bool list = c.id == CDateTimeLanguageDlg::kTemplateId || c.id == CParserDlg::kTemplateId;
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
            scripted_boxes boxes;
            const std::unique_ptr<QDialog> dialog = c.make();
            dialog->show();
            QVERIFY(Activate(dialog.get()));
            QWidget* first = QApplication::focusWidget();
            QVERIFY2(first && IdOf(first) == c.tab_order.front(), c.name);
            if (list && key == Qt::Key_Return)
                continue; // Enter on the list edits a language (the language tests check it)
            QTest::keyClick(first, key);
            const int expected = key == Qt::Key_Return ? QDialog::Accepted : QDialog::Rejected;
            QVERIFY2(!dialog->isVisible() && dialog->result() == expected, c.name);
            QVERIFY2(boxes.shown.empty(), c.name);
        }
    }
}

void dialog_conventions_test::EveryDialog_LettersAreDistinctAndReachTheirFields()
{
    for (const dialog_case& c : Dialogs()) {
        const std::unique_ptr<QDialog> dialog = c.make();
        dialog->show();
        QVERIFY(Activate(dialog.get()));
        std::set<QString> letters;
        int labelled = 0;
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
            if (!label->buddy() || !label->buddy()->isEnabled())
                continue;
            const QKeySequence mnemonic = QKeySequence::mnemonic(label->text());
            bool has_letter = false;
            for (const QChar ch : label->text())
                has_letter = has_letter || ch.isLetter();
            if (!has_letter)
                continue;
            QVERIFY2(!mnemonic.isEmpty(), qPrintable(QLatin1String(c.name) + QLatin1Char(' ') + label->text()));
            QVERIFY2(letters.insert(mnemonic.toString()).second, qPrintable(label->text()));
            QTest::keySequence(dialog.get(), mnemonic);
            QWidget* target = label->buddy()->focusProxy() ? label->buddy()->focusProxy() : label->buddy();
            QVERIFY2(QApplication::focusWidget() == target, qPrintable(label->text()));
            ++labelled;
        }
        for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
            const int id = IdFromObjectName(button->objectName());
            bool has_letter = false;
            for (const QChar ch : button->text())
                has_letter = has_letter || ch.isLetter();
            if (id == 1 || id == 2 || !has_letter)
                continue; // OK, Cancel, and the recent list's arrow
            const QKeySequence mnemonic = QKeySequence::mnemonic(button->text());
            QVERIFY2(!mnemonic.isEmpty(), qPrintable(button->text()));
            QVERIFY2(letters.insert(mnemonic.toString()).second, qPrintable(button->text()));
        }
        QVERIFY2(labelled > 0 || c.id == 179 || c.id == 140, c.name);
    }
}

void dialog_conventions_test::EveryDialog_TabVisitsTheFieldsInReadingOrder()
{
    SetDateTimeLanguages({{u"Deutsch", DefaultDateTimeWords()}}); // the list has a row, so Edit and Remove are on
    for (const dialog_case& c : Dialogs()) {
        const std::unique_ptr<QDialog> dialog = c.make();
        dialog->show();
        QVERIFY(Activate(dialog.get()));
        std::vector<int> visited = {IdOf(QApplication::focusWidget())};
        for (std::size_t i = 1; i < c.tab_order.size(); ++i) {
            QTest::keyClick(Focused(), Qt::Key_Tab);
            visited.push_back(IdOf(QApplication::focusWidget()));
        }
        QTest::keyClick(Focused(), Qt::Key_Tab);
        const int wrapped = IdOf(QApplication::focusWidget());
        QString seen;
        for (const int id : visited)
            seen += QString::number(id) + QLatin1Char(' ');
        QVERIFY2(visited == c.tab_order, qPrintable(QLatin1String(c.name) + QStringLiteral(": ") + seen));
        QVERIFY2(wrapped == c.tab_order.front(), c.name);
    }
}

void dialog_conventions_test::EveryDialog_FitsItsTextsAtNormalAndDoubleSize()
{
    const QFont normal = QApplication::font();
    for (const double scale : {1.0, 2.0}) {
        QFont font = normal;
        font.setPointSizeF(normal.pointSizeF() * scale);
        QApplication::setFont(font);
        for (const dialog_case& c : Dialogs()) {
            const std::unique_ptr<QDialog> dialog = c.make();
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
            const QString name = QStringLiteral("%1 at %2").arg(QLatin1String(c.name)).arg(scale);
            QVERIFY2(dialog->width() >= dialog->minimumSizeHint().width(), qPrintable(name));
            for (QWidget* widget : dialog->findChildren<QWidget*>()) {
                if (!widget->isVisible() || !(qobject_cast<QLabel*>(widget) || qobject_cast<QAbstractButton*>(widget)))
                    continue;
                const QSize hint = widget->minimumSizeHint();
                const auto* label = qobject_cast<QLabel*>(widget);
                const bool wraps = label && label->wordWrap();
                const int needed_height = wraps ? label->heightForWidth(widget->width()) : hint.height();
                QVERIFY2(wraps || widget->width() >= hint.width(),
                         qPrintable(name + QStringLiteral(": clipped ") + widget->objectName() + QLatin1Char(' ')
                                    + (label ? label->text() : static_cast<QAbstractButton*>(widget)->text())));
                QVERIFY2(widget->height() >= needed_height, qPrintable(name + QStringLiteral(": too low")));
                QVERIFY2(dialog->rect().contains(
                             widget->geometry().translated(widget->parentWidget()->mapTo(dialog.get(), QPoint()))),
                         qPrintable(name + QStringLiteral(": outside the dialog")));
            }
            // The dialog grew with its font.
            if (scale > 1.0)
                QVERIFY2(dialog->minimumSizeHint().width() > 0, qPrintable(name));
        }
    }
}
