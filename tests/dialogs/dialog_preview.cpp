// Opens one of the data-format, language or value-input dialogs on its own,
// for a look at it (screenshots, trying it by hand) before the parser editor
// and the filter dialogs open them.  Not a test: CTest does not run it.
//
//   dialog_preview DIALOG [--languages] [--format TEXT] [--language NAME] [--value TEXT]
//
// DIALOG is number_format, datetime_format, datetime_languages,
// datetime_language_edit, value_number, value_ipv4, value_datetime,
// parser_manager (over copies of the shipped parsers), parser_editor (an
// application log's parser with a group of sub-columns, its test line tried),
// parser_suggestion (the editor filled with a parser suggested from the
// sample access log); filter, filter_edit and highlight open those dialogs
// over sample columns.
// --languages starts with two sample languages; --format sets the column's
// date-time format and --language its language; --value the expression a value dialog starts from.  The
// texts come from a throw-away installation with the dictionary; nothing is
// written to the user's data folder.  When the dialog closes, its result is
// printed on standard output.
#include "dialogs/data_format_dlg.h"
#include "dialogs/datetime_language_dlg.h"
#include "dialogs/parser_dlg.h"
#include "dialogs/parser_edit_dlg.h"
#include "dialogs/filter_dlg.h"
#include "dialogs/highlight_dlg.h"
#include "dialogs/value_input_dlg.h"
#include "format/datetime.h"
#include "parser/pattern_xml.h"
#include "platform/message_box.h"
#include "ui/message_presenter.h"
#include "ui/ui_test_environment.h"
#include "ui/ui_text.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

tagDATETIME_WORDS SampleWords(bool german)
{
    tagDATETIME_WORDS words;
    if (german) {
        words.full_name = {u"Januar", u"Februar", u"M\u00E4rz", u"April",   u"Mai",      u"Juni",
                           u"Juli",   u"August",  u"September", u"Oktober", u"November", u"Dezember"};
        words.nick_name = {u"Jan", u"Feb", u"M\u00E4r", u"Apr", u"Mai", u"Jun",
                           u"Jul", u"Aug", u"Sep",      u"Okt", u"Nov", u"Dez"};
        words.am = u"vorm.";
        words.pm = u"nachm.";
    } else {
        words.full_name = {u"janvier", u"f\u00E9vrier", u"mars",      u"avril",   u"mai",      u"juin",
                           u"juillet", u"ao\u00FBt",    u"septembre", u"octobre", u"novembre", u"d\u00E9cembre"};
        words.nick_name = {u"janv.", u"f\u00E9vr.", u"mars",  u"avr.", u"mai",  u"juin",
                           u"juil.", u"ao\u00FBt",  u"sept.", u"oct.", u"nov.", u"d\u00E9c."};
        words.am = u"matin";
        words.pm = u"soir";
    }
    return words;
}

void Print(const char* label, const std::u16string& text)
{
    std::printf("%s: %s\n", label, ToQString(text).toUtf8().constData());
}

// The parser manager's view of a throw-away parser folder.
class preview_host : public parser_dlg_host {
public:
    parser_list& Parsers() override { return parsers; }
    std::u16string ParserFolder() override { return folder; }
    bool InUse(const std::u16string&) override { return false; }
    void CloseFilesUsing(const std::u16string&) override {}
    void RenameReferences(const std::u16string&, const std::u16string&) override {}
    std::u16string SelectedLine() override { return line; }
    std::vector<std::u16string> SampleLines() override { return samples.empty() ? std::vector{line} : samples; }

    parser_list parsers;
    std::u16string folder;
    std::u16string line;
    std::vector<std::u16string> samples;
};

const char16_t* const kAppLine = u"2024-08-05 13:07:10.123 [worker-3] INFO db.pool - Connection acquired";

log_pattern Item(const char16_t* name, const char16_t* start, const char16_t* end, int32_t type = DATA_TYPE_TEXT)
{
    log_pattern item(name);
    item.start = start;
    item.end = end;
    item.data_format.data_type = type;
    return item;
}

// An application log's parser: the source is one group cut further in two.
tagPARSER_ITEM AppParser()
{
    log_pattern time = Item(u"Time", u"", u" ", DATA_TYPE_DATETIME);
    time.data_format.format = u"Y-m-d H:M:S.s";
    time.end_after_datetime = true;
    log_pattern source = Item(u"Source", u"", u" - ");
    source.sub_items = {Item(u"Module", u"", u"."), Item(u"Component", u"", u"")};
    return {{time, Item(u"Thread", u"[", u"] "), Item(u"Level", u"", u" "), source, Item(u"Message", u"", u"")},
            u"Application log with threads"};
}

int Usage()
{
    std::fprintf(stderr, "usage: dialog_preview number_format|datetime_format|datetime_languages|"
                         "datetime_language_edit|value_number|value_ipv4|value_datetime|parser_manager|parser_editor|parser_suggestion "
                         "[--languages] [--format TEXT] [--language NAME] [--value TEXT]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        return Usage();
    const std::string dialog = argv[1];
    std::u16string format_text = u"d/b/Y H:M:S";
    std::u16string value;
    std::u16string language;
    bool languages = false;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--languages") == 0)
            languages = true;
        else if (std::strcmp(argv[i], "--format") == 0 && i + 1 < argc)
            format_text = FromQString(QString::fromLocal8Bit(argv[++i]));
        else if (std::strcmp(argv[i], "--language") == 0 && i + 1 < argc)
            language = FromQString(QString::fromLocal8Bit(argv[++i]));
        else if (std::strcmp(argv[i], "--value") == 0 && i + 1 < argc)
            value = FromQString(QString::fromLocal8Bit(argv[++i]));
        else
            return Usage();
    }
    ui_test_environment environment;
    if (!environment.Ready()) {
        std::fprintf(stderr, "%s\n", qPrintable(environment.Error()));
        return 1;
    }
    InstallQtMessagePresenter();
    if (languages)
        SetDateTimeLanguages({{u"Deutsch", SampleWords(true)}, {u"Fran\u00E7ais", SampleWords(false)}});

    tagDATA_FORMAT format;
    format.format = format_text;
    format.language = language;
    int result = 0;
    if (dialog == "number_format") {
        format.data_type = DATA_TYPE_NUMERIC;
        format.digit_count = 2;
        format.separator_1000 = true;
        CDataFormatDlg_Numeric box(format);
        result = box.exec();
        std::printf("digits: %d, separator: %d\n", box.Format().digit_count, box.Format().separator_1000 ? 1 : 0);
    } else if (dialog == "datetime_format") {
        format.data_type = DATA_TYPE_DATETIME;
        CDataFormatDlg_DateTime box(format);
        result = box.exec();
        Print("format", box.Format().format);
        Print("language", box.Format().language);
    } else if (dialog == "datetime_languages") {
        CDateTimeLanguageDlg box;
        result = box.exec();
    } else if (dialog == "datetime_language_edit") {
        CDateTimeLanguageEditDlg box(u"Deutsch", SampleWords(true));
        result = box.exec();
        Print("name", box.Name());
    } else if (dialog == "value_number" || dialog == "value_ipv4" || dialog == "value_datetime") {
        format.data_type = dialog == "value_number" ? DATA_TYPE_NUMERIC
                           : dialog == "value_ipv4" ? DATA_TYPE_IPV4
                                                    : DATA_TYPE_DATETIME;
        format.separator_1000 = true;
        format.digit_count = 2;
        result = RunValueInputDlg(format, value, nullptr) ? QDialog::Accepted : QDialog::Rejected;
        Print("value", value);
    } else if (dialog == "parser_manager") {
        QTemporaryDir folder;
        preview_host host;
        host.folder = FromQString(folder.path());
        LoadParserList(host.parsers, FromQString(QStringLiteral(VARNOTH_SOURCE_RESOURCES "/parser")));
        host.parsers.push_back(AppParser());
        host.line = kAppLine;
        CParserDlg box(host);
        result = box.exec();
    } else if (dialog == "parser_editor") {
        CParserEditDlg box(CParserEditDlg::mode::edit, AppParser(), {});
        box.SetTestLine(kAppLine);
        box.show();
        // The test's message is answered here, so that the picture shows the split.
        MessagePresenter previous = SetMessagePresenter([](const std::u16string&, unsigned) { return int{IDOK}; });
        box.OnTest();
        SetMessagePresenter(previous);
        auto* tree = box.findChild<QTreeWidget*>(IdObjectName(CParserEditDlg::kTree));
        tree->setCurrentItem(tree->topLevelItem(0)->child(3)->child(0));
        result = box.exec();
        Print("parser", box.Parser().name);
    } else if (dialog == "parser_suggestion") {
        QTemporaryDir folder;
        preview_host host;
        host.folder = FromQString(folder.path());
        QFile sample(QStringLiteral(VARNOTH_SOURCE_RESOURCES "/samples/access.log"));
        if (!sample.open(QIODevice::ReadOnly))
            return 1;
        const QStringList lines = QString::fromUtf8(sample.readAll()).split('\n', Qt::SkipEmptyParts);
        host.line = FromQString(lines.value(0));
        for (const QString& line : lines)
            host.samples.push_back(FromQString(line));
        CParserDlg box(host);
        box.OnSuggest();
        result = host.parsers.empty() ? QDialog::Rejected : QDialog::Accepted;
    } else if (dialog == "filter" || dialog == "filter_edit" || dialog == "highlight") {
        // The columns of the bundled application log, with sample settings.
        const std::vector<std::u16string> headers = {u"Time", u"Level", u"Thread", u"Message"};
        filter_column_map columns;
        for (const std::u16string& name : headers)
            columns[name] = tagDATA_FORMAT{};
        columns[u"Time"].data_type = DATA_TYPE_DATETIME;
        columns[u"Time"].format = u"Y-m-d H:M:S.s";
        std::vector<std::u16string> history = {u"ERROR", u"took"};
        auto condition = [](std::u16string column, int32_t type, std::u16string text, bool logic_and) {
            log_filter made;
            made.SetColumn(std::move(column));
            made.SetType(type);
            made.SetContent(text);
            made.SetCaseSensitive(false);
            made.SetLogicAnd(logic_and);
            return made;
        };
        if (dialog == "filter_edit") {
            CFilterEditDlg box(CFilterEditDlg::mode::edit, columns, headers, history);
            box.SetCondition(condition(u"Time", FILTER_TYPE_GREATER, u"2024-08-05 14:02:31.500", true));
            result = box.exec();
        } else if (dialog == "filter") {
            log_filter_groups groups;
            groups.AddCondition(condition(u"Level", FILTER_TYPE_EQUAL, u"ERROR", false));
            groups.AddCondition(condition(u"Level", FILTER_TYPE_EQUAL, u"WARN", false));
            groups.AddCondition(condition(u"Message", FILTER_TYPE_CONTAIN, u"timeout", true));
            groups.AddCondition(condition(u"Time", FILTER_TYPE_GREATER, u"2024-08-05 14:02:31.500", true));
            groups.AddCondition(condition(u"Host", FILTER_TYPE_EQUAL, u"db-1", true)); // not in the parser
            filter_favorites favorites = {{u"Slow requests", groups}};
            std::vector<log_filter> recent = {condition(u"Message", FILTER_TYPE_CONTAIN, u"took", true)};
            CFilterDlg box(groups, {headers, columns, &favorites, &recent, &history});
            result = box.exec();
        } else {
            auto rule = [](std::u16string expression, std::u16string column, int32_t text, int32_t back) {
                tagHIGHLIGHT_ITEM made;
                made.expression = std::move(expression);
                made.column = std::move(column);
                made.text_color = text;
                made.back_color = back;
                return made;
            };
            CHighlight rules = {rule(u"ERROR", u"Level", 0x000000, 0x0000D5),
                                rule(u"WARN", u"Level", 0x000000, 0x0080FFFF),
                                rule(u"took [0-9]{4} ms", u"Message", 0x00800000, 0x00FFE0C0),
                                rule(u"db-1", u"Host", 0x00FFFFFF, 0x00008000)};
            rules[2].regexp = true;
            rules[2].case_sensitive = true;
            highlight_favorites favorites;
            CHighlight recent;
            CHighlightDlg box(rules, {headers, &favorites, &recent, &history});
            result = box.exec();
        }
    } else {
        return Usage();
    }
    for (const auto& [name, words] : *DateTimeLanguages())
        Print("language in the table", name + u" " + words.full_name[0]);
    std::printf("result: %s\n", result == QDialog::Accepted ? "OK" : "Cancel");
    return 0;
}
