// The shipped English dictionary: a text for every key the program looks up,
// placeholders that match how the program formats each text, and menu texts
// whose keyboard letters do not clash.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "glossant/lc_reader.h"
#include "platform/strings.h"

namespace {

namespace fs = std::filesystem;

// Every key the program looks up, by the area that uses it.
const char* const kSystemKeys[] = {
    // Messages
    "IDS_MSG_CANNOT_OPEN_FILE",
    "IDS_MSG_CANNOT_PARSE_FILE",
    "IDS_MSG_CANNOT_READ_FILE",
    "IDS_MSG_COPY_FAIL",
    "IDS_MSG_COPY_TOO_MANY",
    "IDS_MSG_DO_YOU_WANT_TO_DELETE_FAVORITE",
    "IDS_MSG_DO_YOU_WANT_TO_DELETE_PARSER",
    "IDS_MSG_DO_YOU_WANT_TO_REMOVE_LANGUAGE",
    "IDS_MSG_DUPLICATED_COLUMN_NAME",
    "IDS_MSG_EMPTY_FULLNAME",
    "IDS_MSG_EMPTY_NICKNAME",
    "IDS_MSG_EXPORT_CANCEL_DELETE",
    "IDS_MSG_EXPORT_COMPLETE",
    "IDS_MSG_EXPORT_NO_FILTER",
    "IDS_MSG_EXPORT_QUICK_FILTER_ONLY",
    "IDS_MSG_EXPORT_STILL_INDEXING",
    "IDS_MSG_FAILED_CONNECT_SERVER",
    "IDS_MSG_FAILED_CREAT_HOTKEYS",
    "IDS_MSG_FAILED_GET_VERSION",
    "IDS_MSG_FAILED_LOADING_DICT",
    "IDS_MSG_FAVORITE_EXISTED_OVERWRITE_ASK",
    "IDS_MSG_FILTER_VALUE_EMPTY",
    "IDS_MSG_ILLEGAL_COLUMN_NAME",
    "IDS_MSG_ILLEGAL_FAVORITE_NAME",
    "IDS_MSG_ILLEGAL_PARSER_NAME",
    "IDS_MSG_INPUT_AM",
    "IDS_MSG_INPUT_EXPRESSION",
    "IDS_MSG_INPUT_LANGUAGE_NAME",
    "IDS_MSG_INPUT_PM",
    "IDS_MSG_INVALID_COLUMN_END",
    "IDS_MSG_INVALID_COLUMN_NAME",
    "IDS_MSG_INVALID_EXPRESSION",
    "IDS_MSG_INVALID_PARSER_NAME",
    "IDS_MSG_INVALID_SEEK_POS",
    "IDS_MSG_LANGUAGE_NAME_EXIST",
    "IDS_MSG_NEW_VERSION_DETECTED",
    "IDS_MSG_NOT_ENOUGH_MEMORY",
    "IDS_MSG_NOT_FOUND",
    "IDS_MSG_NO_LINE_TO_EXPORT",
    "IDS_MSG_NO_NEW_VERSION",
    "IDS_MSG_PARSER_EXISTED_OVERWRITE_ASK",
    "IDS_MSG_PARSER_IN_USE_CANNOT_EDIT_ASK",
    "IDS_MSG_PARSER_IN_USE_CANNOT_REMOVE_ASK",
    "IDS_MSG_PARSET_TEST_FAIL_CONTINUE_ASK",
    "IDS_MSG_SAME_AM_PM",
    "IDS_MSG_SAME_FULLNAME",
    "IDS_MSG_SAME_NICKNAME",
    "IDS_MSG_TEST_FAIL",
    "IDS_MSG_TEST_FAIL_COLUMN",
    "IDS_MSG_TEST_SUCCESS",
    "IDS_MSG_UNKNOWN_ERROR",
    // Toolbar tooltips
    "IDS_MENU_TOOLTIP_MAIN_EDIT_COPY",
    "IDS_MENU_TOOLTIP_MAIN_EDIT_COPY_COLUMN",
    "IDS_MENU_TOOLTIP_MAIN_EDIT_FIND",
    "IDS_MENU_TOOLTIP_MAIN_EDIT_FIND_FILE",
    "IDS_MENU_TOOLTIP_MAIN_EDIT_FIND_NEXT",
    "IDS_MENU_TOOLTIP_MAIN_EDIT_FIND_PREV",
    "IDS_MENU_TOOLTIP_MAIN_EDIT_OPTIONS",
    "IDS_MENU_TOOLTIP_MAIN_FILE_CLOSE",
    "IDS_MENU_TOOLTIP_MAIN_FILE_CLOSEALL",
    "IDS_MENU_TOOLTIP_MAIN_FILE_EXPORT",
    "IDS_MENU_TOOLTIP_MAIN_FILE_OPEN",
    "IDS_MENU_TOOLTIP_MAIN_HELP_HELP",
    "IDS_MENU_TOOLTIP_MAIN_VIEW_AUTOREFRESH",
    "IDS_MENU_TOOLTIP_MAIN_VIEW_FILTER_ENABLE",
    "IDS_MENU_TOOLTIP_MAIN_VIEW_FILTER_SETTING",
    "IDS_MENU_TOOLTIP_MAIN_VIEW_HIGHLIGHT_ENABLE",
    "IDS_MENU_TOOLTIP_MAIN_VIEW_HIGHLIGHT_SETTING",
    "IDS_MENU_TOOLTIP_MAIN_VIEW_REFRESH",
    "IDS_MENU_TOOLTIP_MAIN_VIEW_SCROLL_DOWN",
    "IDS_MENU_TOOLTIP_MAIN_VIEW_SCROLL_UP",
    // Menus
    "IDS_MENU_MAIN_EDIT",
    "IDS_MENU_MAIN_EDIT_BROWSE_DIR",
    "IDS_MENU_MAIN_EDIT_COPY",
    "IDS_MENU_MAIN_EDIT_COPY_COLUMN",
    "IDS_MENU_MAIN_EDIT_COPY_DIR_PATH",
    "IDS_MENU_MAIN_EDIT_COPY_FILE_NAME",
    "IDS_MENU_MAIN_EDIT_COPY_FILE_PATH",
    "IDS_MENU_MAIN_EDIT_EXCLUDE",
    "IDS_MENU_MAIN_EDIT_FIND",
    "IDS_MENU_MAIN_EDIT_FIND_FILE",
    "IDS_MENU_MAIN_EDIT_FIND_NEXT",
    "IDS_MENU_MAIN_EDIT_FIND_PREV",
    "IDS_MENU_MAIN_EDIT_INCLUDE",
    "IDS_MENU_MAIN_EDIT_INVERT_SELECTION",
    "IDS_MENU_MAIN_EDIT_OPTIONS",
    "IDS_MENU_MAIN_EDIT_SELECT_ALL",
    "IDS_MENU_MAIN_FILE",
    "IDS_MENU_MAIN_FILE_CLOSE",
    "IDS_MENU_MAIN_FILE_CLOSE_ALL",
    "IDS_MENU_MAIN_FILE_CLOSE_OTHER",
    "IDS_MENU_MAIN_FILE_EXIT",
    "IDS_MENU_MAIN_FILE_EXPORT",
    "IDS_MENU_MAIN_FILE_EXPORT_FILE",
    "IDS_MENU_MAIN_FILE_EXPORT_FILE_FILTER",
    "IDS_MENU_MAIN_FILE_EXPORT_SELECTED",
    "IDS_MENU_MAIN_FILE_EXPORT_VISIBLE",
    "IDS_MENU_MAIN_FILE_OPEN",
    "IDS_MENU_MAIN_HELP",
    "IDS_MENU_MAIN_HELP_ABOUT",
    "IDS_MENU_MAIN_HELP_CHECK_UPDATE",
    "IDS_MENU_MAIN_HELP_FEEDBACK",
    "IDS_MENU_MAIN_HELP_HELP",
    "IDS_MENU_MAIN_HELP_ONLINE_HELP",
    "IDS_MENU_MAIN_VIEW",
    "IDS_MENU_MAIN_VIEW_AUTOREFRESH",
    "IDS_MENU_MAIN_VIEW_FILTER_ENABLE",
    "IDS_MENU_MAIN_VIEW_FILTER_REMOVE_ALL",
    "IDS_MENU_MAIN_VIEW_FILTER_SETTING",
    "IDS_MENU_MAIN_VIEW_HIGHLIGHT_ENABLE",
    "IDS_MENU_MAIN_VIEW_HIGHLIGHT_SETTING",
    "IDS_MENU_MAIN_VIEW_REFRESH",
    "IDS_MENU_MAIN_VIEW_SCROLL_DOWN",
    "IDS_MENU_MAIN_VIEW_SCROLL_UP",
    // Progress steps
    "IDS_PROGRESSDLG_STATUS_DETECT_PARSER",
    "IDS_PROGRESSDLG_STATUS_EXPORTING",
    "IDS_PROGRESSDLG_STATUS_FILTERING",
    "IDS_PROGRESSDLG_STATUS_INDEXING",
    "IDS_PROGRESSDLG_STATUS_PARSING",
    "IDS_PROGRESSDLG_STATUS_PARSING_FILTERING",
    "IDS_PROGRESSDLG_STATUS_SEARCHING_FILE",
    // Status bar
    "IDS_STATUSBAR_TEXT_FILTERED",
    "IDS_STATUSBAR_TEXT_SELECTED",
    "IDS_STATUSBAR_TEXT_TOTAL",
    // Top panel
    "IDS_TOP_PANEL_BUTTON_MANAGE",
    "IDS_TOP_PANEL_TEXT_FILTER",
    "IDS_TOP_PANEL_TEXT_PARSER",
    // File-scope bar
    "IDS_FILESCOPECTRL_TEXT_FILESIZE",
    // File dialogs
    "IDS_FILE_FORMAT_NAME_ALL",
    "IDS_FILE_FORMAT_NAME_CSV",
    "IDS_FILE_FORMAT_NAME_LOG",
    "IDS_FILE_FORMAT_NAME_TEXT",
    // About box
    "IDS_ABOUTDLG_BUTTON_CHECK_UPDATE",
    "IDS_ABOUTDLG_GROUP_MOREINFO",
    "IDS_ABOUTDLG_TEXT_FEEDBACK",
    "IDS_ABOUTDLG_TEXT_SUPPORT",
    "IDS_ABOUTDLG_TEXT_VERSION",
    "IDS_ABOUTDLG_TEXT_WEBSITE",
    "IDS_ABOUTDLG_TITLE",
    // Common tasks
    "IDS_COMMONTASKDLG_BUTTON_CHANGEOPTIONS",
    "IDS_COMMONTASKDLG_BUTTON_HELP",
    "IDS_COMMONTASKDLG_BUTTON_MANAGEPARSERS",
    "IDS_COMMONTASKDLG_BUTTON_OPENFILE",
    // Find dialog
    "IDS_FINDDLG_BUTTON_CANCEL",
    "IDS_FINDDLG_BUTTON_CLEAR_HIGHLIGHT",
    "IDS_FINDDLG_BUTTON_FIND_NEXT",
    "IDS_FINDDLG_CHECK_CASE_SENSITIVE",
    "IDS_FINDDLG_CHECK_FIND_IN_FILE",
    "IDS_FINDDLG_CHECK_HIGHLIGHT",
    "IDS_FINDDLG_CHECK_REGEXP",
    "IDS_FINDDLG_CHECK_WILDCARD",
    "IDS_FINDDLG_RADIO_DOWN",
    "IDS_FINDDLG_RADIO_UP",
    "IDS_FINDDLG_TEXT_COLUMN",
    "IDS_FINDDLG_TEXT_DIRECTION",
    "IDS_FINDDLG_TEXT_EXPRESSION",
    "IDS_FINDDLG_TITLE",
    // Filter dialog
    "IDS_FILTERDLG_BUTTON_ADD",
    "IDS_FILTERDLG_BUTTON_ADDFAV",
    "IDS_FILTERDLG_BUTTON_DELFAV",
    "IDS_FILTERDLG_BUTTON_EDIT",
    "IDS_FILTERDLG_BUTTON_REMOVE",
    "IDS_FILTERDLG_BUTTON_REMOVE_ALL",
    "IDS_FILTERDLG_FAVNAME",
    "IDS_FILTERDLG_FAVNAME_LABEL",
    "IDS_FILTERDLG_GROUP_FAVORITE",
    "IDS_FILTERDLG_LIST_COLUMN_CONDITION",
    "IDS_FILTERDLG_LIST_FORMAT_CONDITION",
    "IDS_FILTERDLG_LIST_FORMAT_CONDITION_NOCOLUMN",
    "IDS_FILTERDLG_TEXT_INFO",
    "IDS_FILTERDLG_TITLE",
    // Filter condition editor
    "IDS_FILTEREDITDLG_BUTTON_ADD",
    "IDS_FILTEREDITDLG_BUTTON_GENERATE",
    "IDS_FILTEREDITDLG_TITLE_ADD",
    "IDS_FILTEREDITDLG_TITLE_EDIT",
    // Filter words
    "IDS_FILTER_CASE_SENSITIVE",
    "IDS_FILTER_COLUMN",
    "IDS_FILTER_COMPARE",
    "IDS_FILTER_EXPRESSION",
    "IDS_FILTER_LOGIC",
    "IDS_FILTER_LOGIC_AND",
    "IDS_FILTER_LOGIC_OR",
    "IDS_FILTER_TYPE_CONTAIN",
    "IDS_FILTER_TYPE_EQUAL",
    "IDS_FILTER_TYPE_EXCLUDE",
    "IDS_FILTER_TYPE_NOTEQUAL",
    "IDS_FILTER_TYPE_REGEXP",
    "IDS_FILTER_TYPE_WILDCARD",
    // Highlight dialog
    "IDS_HIGHLIGHTDLG_BUTTON_ADD",
    "IDS_HIGHLIGHTDLG_BUTTON_ADDFAV",
    "IDS_HIGHLIGHTDLG_BUTTON_DELFAV",
    "IDS_HIGHLIGHTDLG_BUTTON_MOVEDOWN",
    "IDS_HIGHLIGHTDLG_BUTTON_MOVEUP",
    "IDS_HIGHLIGHTDLG_BUTTON_REMOVE",
    "IDS_HIGHLIGHTDLG_CHECK_CASE_SENSITIVE",
    "IDS_HIGHLIGHTDLG_CHECK_REGEXP",
    "IDS_HIGHLIGHTDLG_CHECK_WILDCARD",
    "IDS_HIGHLIGHTDLG_FAVNAME",
    "IDS_HIGHLIGHTDLG_FAVNAME_LABEL",
    "IDS_HIGHLIGHTDLG_GROUP_COLOR",
    "IDS_HIGHLIGHTDLG_GROUP_FAVORITE",
    "IDS_HIGHLIGHTDLG_GROUP_ITEMS",
    "IDS_HIGHLIGHTDLG_GROUP_MATCH_CONDITION",
    "IDS_HIGHLIGHTDLG_LIST_COLUMN_CASE_SENSITIVE",
    "IDS_HIGHLIGHTDLG_LIST_COLUMN_CONDITION",
    "IDS_HIGHLIGHTDLG_LIST_COLUMN_EXAMPLE",
    "IDS_HIGHLIGHTDLG_LIST_EXAMPLE_TEXT",
    "IDS_HIGHLIGHTDLG_LIST_FORMAT_ITEM",
    "IDS_HIGHLIGHTDLG_LIST_FORMAT_ITEM_NOCOLUMN",
    "IDS_HIGHLIGHTDLG_LIST_NEWTEXT",
    "IDS_HIGHLIGHTDLG_TEXT_BACK",
    "IDS_HIGHLIGHTDLG_TEXT_COLUMN",
    "IDS_HIGHLIGHTDLG_TEXT_EXPRESSION",
    "IDS_HIGHLIGHTDLG_TEXT_TEXT",
    "IDS_HIGHLIGHTDLG_TITLE",
    // Highlight words
    "IDS_HIGHLIGHT_VERB_CONTAIN",
    "IDS_HIGHLIGHT_VERB_REGEXP",
    "IDS_HIGHLIGHT_VERB_WILDCARD",
    // Parser manager
    "IDS_PARSERDLG_BUTTON_ADD",
    "IDS_PARSERDLG_BUTTON_DUPLICATE",
    "IDS_PARSERDLG_BUTTON_EDIT",
    "IDS_PARSERDLG_BUTTON_REMOVE",
    "IDS_PARSERDLG_COLUMN_EXAMPLE",
    "IDS_PARSERDLG_COLUMN_NAME",
    "IDS_PARSERDLG_TITLE",
    // Parser editor
    "IDS_PARSEREDITDLG_COLUMN",
    "IDS_PARSEREDITDLG_COLUMN_ADD",
    "IDS_PARSEREDITDLG_COLUMN_ADDSUB",
    "IDS_PARSEREDITDLG_COLUMN_COPY",
    "IDS_PARSEREDITDLG_COLUMN_DATATYPE",
    "IDS_PARSEREDITDLG_COLUMN_DEL",
    "IDS_PARSEREDITDLG_COLUMN_END",
    "IDS_PARSEREDITDLG_COLUMN_FORMAT",
    "IDS_PARSEREDITDLG_COLUMN_NAME",
    "IDS_PARSEREDITDLG_COLUMN_START",
    "IDS_PARSEREDITDLG_NEW_COLUMN",
    "IDS_PARSEREDITDLG_NEW_PARSER",
    "IDS_PARSEREDITDLG_PARSER_NAME",
    "IDS_PARSEREDITDLG_TEST",
    "IDS_PARSEREDITDLG_TEST_DESCRIPTION",
    "IDS_PARSEREDITDLG_TEXT_ESCAPE_CHARACTER",
    "IDS_PARSEREDITDLG_TITLE_ADD",
    "IDS_PARSEREDITDLG_TITLE_EDIT",
    // Data-format dialogs
    "IDS_DATAFORMATDLG_DATETIME_BUTTON_SETUP",
    "IDS_DATAFORMATDLG_DATETIME_TEXT_EXAMPLE",
    "IDS_DATAFORMATDLG_DATETIME_TEXT_FORMAT",
    "IDS_DATAFORMATDLG_DATETIME_TEXT_LANGUAGE",
    "IDS_DATAFORMATDLG_NUMERIC_CHECK_THOUSANDSEP",
    "IDS_DATAFORMATDLG_NUMERIC_TEXT_DIGIT",
    "IDS_DATAFORMATDLG_NUMERIC_TEXT_EXAMPLE",
    "IDS_DATAFORMATDLG_TITLE_DATETIME",
    "IDS_DATAFORMATDLG_TITLE_NUMERIC",
    // Data types
    "IDS_DATA_TYPE_DATETIME",
    "IDS_DATA_TYPE_IPV4",
    "IDS_DATA_TYPE_NUMERIC",
    "IDS_DATA_TYPE_TEXT",
    // Date-time language list
    "IDS_DATETIMELANGUAGEDLG_BUTTON_ADD",
    "IDS_DATETIMELANGUAGEDLG_BUTTON_EDIT",
    "IDS_DATETIMELANGUAGEDLG_BUTTON_REMOVE",
    "IDS_DATETIMELANGUAGEDLG_COLUMN_EXAMPLE",
    "IDS_DATETIMELANGUAGEDLG_COLUMN_LANGUAGE",
    "IDS_DATETIMELANGUAGEDLG_TEXT_LANGUAGE_LIST",
    "IDS_DATETIMELANGUAGEDLG_TITLE",
    // Date-time language editor
    "IDS_DATETIMELANGUAGEEDITDLG_TEXT_ABBREVIATED",
    "IDS_DATETIMELANGUAGEEDITDLG_TEXT_FULL",
    "IDS_DATETIMELANGUAGEEDITDLG_TEXT_MONTH_NAME",
    "IDS_DATETIMELANGUAGEEDITDLG_TEXT_NAME",
    "IDS_DATETIMELANGUAGEEDITDLG_TEXT_NOTE",
    "IDS_DATETIMELANGUAGEEDITDLG_TITLE",
    // Options dialog
    "IDS_OPTIONDLG_CHECK_TAIL_ON_REFRESH",
    "IDS_OPTIONDLG_RADIO_COLUMNSEP_SPACE",
    "IDS_OPTIONDLG_RADIO_COLUMNSEP_TAB",
    "IDS_OPTIONDLG_RADIO_FILE_LOADING_MODE_HEAD",
    "IDS_OPTIONDLG_RADIO_FILE_LOADING_MODE_TAIL",
    "IDS_OPTIONDLG_TEXT_COLUMNSEP",
    "IDS_OPTIONDLG_TEXT_FILE_LOADING_MODE",
    "IDS_OPTIONDLG_TEXT_MAX_LOADING_LINES",
    "IDS_OPTIONDLG_TEXT_STAR_NOTICE",
    "IDS_OPTIONDLG_TITLE",
    // Value input dialogs
    "IDS_VALUEINPUTDLG_DATETIME_TITLE",
    "IDS_VALUEINPUTDLG_IPV4_TITLE",
    "IDS_VALUEINPUTDLG_NUMERIC_TITLE",
    "IDS_VALUEINPUTDLG_NUMERIC_TITLE_DECIMAL",
    "IDS_VALUEINPUTDLG_NUMERIC_TITLE_INTEGER",
    // Special texts
    "IDS_SPECIAL_ANY_COLUMN",
    "IDS_SPECIAL_DEFAULT",
    "IDS_SPECIAL_DEFAULT_PARSER",
    "IDS_SPECIAL_DEFAULT_PARSER_CONTENT",
    "IDS_SPECIAL_RECALL_FAVORITE",
    // Words
    "IDS_WORD_APPLY",
    "IDS_WORD_CANCEL",
    "IDS_WORD_CLOSE",
    "IDS_WORD_COPY",
    "IDS_WORD_DATE",
    "IDS_WORD_MILLISECOND",
    "IDS_WORD_NO",
    "IDS_WORD_OK",
    "IDS_WORD_UNKNOWN",
    "IDS_WORD_YES",
    "IDS_WORD_ZERO",
    // Application
    "IDS_APPNAME",
};

// The texts the program fills in with printf-style values, and the values in
// order ('s' a text, 'd' a number).  Every other text is shown as it is and
// must hold no '%' at all.
const std::map<std::string, std::string> kFormattedTexts = {
    {"IDS_MSG_DO_YOU_WANT_TO_DELETE_FAVORITE", "s"}, // the favourite's name
    {"IDS_MSG_DO_YOU_WANT_TO_DELETE_PARSER", "s"},   // the parser's name
    {"IDS_MSG_PARSER_FILE_NOT_WRITTEN", "s"},        // the parser file's path
    {"IDS_PARSERDLG_SUGGEST_SHARE", "dd"},           // lines split, lines sampled
    {"IDS_RESULTS_COUNT", "ssd"},                    // results, the file's size, percent walked
    {"IDS_MSG_DO_YOU_WANT_TO_REMOVE_LANGUAGE", "s"}, // the language's name
    {"IDS_MSG_EMPTY_FULLNAME", "d"},                 // the month number
    {"IDS_MSG_EMPTY_NICKNAME", "d"},                 // the month number
    {"IDS_MSG_SAME_FULLNAME", "dd"},                 // the two month numbers
    {"IDS_MSG_SAME_NICKNAME", "dd"},                 // the two month numbers
    {"IDS_MSG_FAVORITE_EXISTED_OVERWRITE_ASK", "s"}, // the stored favourite's name
    {"IDS_MSG_PARSER_EXISTED_OVERWRITE_ASK", "s"},   // the existing parser's name
    {"IDS_MSG_FILTER_VALUE_EMPTY", "ssss"},          // expression, compare, equal, not equal
    {"IDS_MSG_INVALID_COLUMN_END", "s"},             // the column's name
    {"IDS_MSG_TEST_FAIL_COLUMN", "s"},               // the column's name
    {"IDS_MSG_EXPORT_QUICK_FILTER_ONLY", "s"},       // the quick filter's text
    {"IDS_LOGLIST_TIP_CUT_LINE", "ss"},              // the line's bytes, the characters shown
    {"IDS_FILTERDLG_LIST_FORMAT_CONDITION", "sss"},  // column, comparison, value
    {"IDS_FILTERDLG_LIST_FORMAT_CONDITION_NOCOLUMN", "ss"},
    {"IDS_HIGHLIGHTDLG_LIST_FORMAT_ITEM", "sss"}, // column, verb, text
    {"IDS_HIGHLIGHTDLG_LIST_FORMAT_ITEM_NOCOLUMN", "ss"},
    {"IDS_STATUSBAR_NOTE_RELOADED", "s"},      // the file's name
    {"IDS_STATUSBAR_NOTE_RELOAD_FAILED", "s"}, // the file's name
    {"IDS_GOTOLINEDLG_TEXT_LINE", "s"},        // the file's line count
    {"IDS_MSG_GOTO_LINE_NOT_A_NUMBER", "s"},   // the file's line count
    {"IDS_MSG_GOTO_LINE_OUT_OF_RANGE", "s"},   // the file's line count
};

// The items of each menu, whose keyboard letters ("&") must differ.
const std::map<std::string, std::vector<std::string>> kMenus = {
    {"main menu bar", {"IDS_MENU_MAIN_FILE", "IDS_MENU_MAIN_EDIT", "IDS_MENU_MAIN_VIEW", "IDS_MENU_MAIN_HELP"}},
    {"File",
     {"IDS_MENU_MAIN_FILE_OPEN", "IDS_MENU_MAIN_FILE_CLOSE", "IDS_MENU_MAIN_FILE_CLOSE_OTHER",
      "IDS_MENU_MAIN_FILE_CLOSE_ALL", "IDS_MENU_MAIN_FILE_EXPORT", "IDS_MENU_MAIN_FILE_EXIT"}},
    {"File > Export",
     {"IDS_MENU_MAIN_FILE_EXPORT_SELECTED", "IDS_MENU_MAIN_FILE_EXPORT_VISIBLE", "IDS_MENU_MAIN_FILE_EXPORT_FILE",
      "IDS_MENU_MAIN_FILE_EXPORT_FILE_FILTER"}},
    {"Edit",
     {"IDS_MENU_MAIN_EDIT_SELECT_ALL", "IDS_MENU_MAIN_EDIT_INVERT_SELECTION", "IDS_MENU_MAIN_EDIT_COPY",
      "IDS_MENU_MAIN_EDIT_COPY_COLUMN", "IDS_MENU_MAIN_EDIT_FIND", "IDS_MENU_MAIN_EDIT_FIND_FILE",
      "IDS_MENU_MAIN_EDIT_FIND_NEXT", "IDS_MENU_MAIN_EDIT_FIND_PREV", "IDS_MENU_MAIN_EDIT_COPY_FILE_PATH",
      "IDS_MENU_MAIN_EDIT_COPY_FILE_NAME", "IDS_MENU_MAIN_EDIT_COPY_DIR_PATH", "IDS_MENU_MAIN_EDIT_BROWSE_DIR",
      "IDS_MENU_MAIN_EDIT_OPTIONS"}},
    {"View",
     {"IDS_MENU_MAIN_VIEW_REFRESH", "IDS_MENU_MAIN_VIEW_AUTOREFRESH", "IDS_MENU_MAIN_VIEW_SCROLL_UP",
      "IDS_MENU_MAIN_VIEW_SCROLL_DOWN", "IDS_MENU_MAIN_VIEW_HIGHLIGHT_SETTING", "IDS_MENU_MAIN_VIEW_HIGHLIGHT_ENABLE",
      "IDS_MENU_MAIN_VIEW_FILTER_SETTING", "IDS_MENU_MAIN_VIEW_FILTER_ENABLE", "IDS_MENU_MAIN_EDIT_INCLUDE",
      "IDS_MENU_MAIN_EDIT_EXCLUDE", "IDS_MENU_MAIN_VIEW_FILTER_REMOVE_ALL"}},
    {"Help",
     {"IDS_MENU_MAIN_HELP_HELP", "IDS_MENU_MAIN_HELP_ONLINE_HELP", "IDS_MENU_MAIN_HELP_FEEDBACK",
      "IDS_MENU_MAIN_HELP_CHECK_UPDATE", "IDS_MENU_MAIN_HELP_ABOUT"}},
};

std::string Narrow(const std::u16string& text)
{
    std::string out;
    for (char16_t c : text)
        out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

class EnglishDictionary : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const fs::path path = fs::path(VARNOTH_SOURCE_RESOURCES) / "dict" / "en.lc";
        Glossant::LcReport report;
        m_loaded = Glossant::ReadLcFile(path.u16string(), "dict", m_texts, &report);
        m_skipped = report.skipped_lines;
    }

    static const std::u16string* Text(const std::string& key)
    {
        const auto found = m_texts.find(std::u16string(key.begin(), key.end()));
        return found == m_texts.end() ? nullptr : &found->second;
    }

    static inline Glossant::LcEntries m_texts;
    static inline bool m_loaded = false;
    static inline std::vector<std::size_t> m_skipped;
};

TEST_F(EnglishDictionary, LoadsWithoutMalformedLines)
{
    ASSERT_TRUE(m_loaded);
    EXPECT_TRUE(m_skipped.empty()) << "first malformed line: " << (m_skipped.empty() ? 0 : m_skipped.front());
}

TEST_F(EnglishDictionary, EverySystemKeyHasText)
{
    ASSERT_TRUE(m_loaded);
    for (const char* key : kSystemKeys) {
        const std::u16string* text = Text(key);
        EXPECT_TRUE(text && !text->empty()) << key << " has no text";
    }
}

// Every "IDS_" key written anywhere in the program's sources.
std::set<std::string> KeysUsedInSources(const fs::path& root)
{
    std::set<std::string> keys;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const auto extension = entry.path().extension();
        if (!entry.is_regular_file() || (extension != ".h" && extension != ".cpp"))
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string source((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (std::size_t at = source.find("IDS_"); at != std::string::npos; at = source.find("IDS_", at + 1)) {
            std::size_t end = at + 4;
            while (end < source.size()
                   && ((source[end] >= 'A' && source[end] <= 'Z') || (source[end] >= '0' && source[end] <= '9')
                       || source[end] == '_'))
                ++end;
            if (end > at + 4)
                keys.insert(source.substr(at, end - at));
        }
    }
    return keys;
}

TEST_F(EnglishDictionary, EveryKeyUsedInSourcesHasText)
{
    ASSERT_TRUE(m_loaded);
    const fs::path sources = fs::path(VARNOTH_SOURCE_RESOURCES) / ".." / "src";
    ASSERT_TRUE(fs::is_directory(sources)) << sources;
    for (const std::string& key : KeysUsedInSources(sources)) {
        const std::u16string* text = Text(key);
        EXPECT_TRUE(text && !text->empty()) << key << " is used in the sources but has no text";
    }
}

TEST_F(EnglishDictionary, HoldsNoKeyThatNothingUses)
{
    ASSERT_TRUE(m_loaded);
    std::set<std::string> known(std::begin(kSystemKeys), std::end(kSystemKeys));
    const auto used = KeysUsedInSources(fs::path(VARNOTH_SOURCE_RESOURCES) / ".." / "src");
    known.insert(used.begin(), used.end());
    for (const auto& [key, text] : m_texts)
        EXPECT_TRUE(known.count(Narrow(key))) << Narrow(key) << " is not looked up anywhere";
}

TEST_F(EnglishDictionary, SystemKeyListHasNoDuplicates)
{
    const std::set<std::string> unique(std::begin(kSystemKeys), std::end(kSystemKeys));
    EXPECT_EQ(unique.size(), std::size(kSystemKeys));
}

// The conversions of a text in order ("s", "d"); '?' for anything other than
// %s, %d and %%.
std::string Placeholders(const std::u16string& text)
{
    std::string found;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'%')
            continue;
        const char16_t next = i + 1 < text.size() ? text[i + 1] : u'\0';
        if (next == u's' || next == u'd')
            found.push_back(static_cast<char>(next));
        else if (next != u'%')
            found.push_back('?');
        ++i;
    }
    return found;
}

TEST_F(EnglishDictionary, PlaceholdersMatchHowTextsAreFormatted)
{
    ASSERT_TRUE(m_loaded);
    for (const auto& [wide_key, text] : m_texts) {
        const std::string key = Narrow(wide_key);
        const auto formatted = kFormattedTexts.find(key);
        if (formatted != kFormattedTexts.end())
            EXPECT_EQ(Placeholders(text), formatted->second) << key;
        else
            EXPECT_EQ(text.find(u'%'), std::u16string::npos) << key << " is shown as it is but holds '%'";
    }
    for (const auto& [key, expected] : kFormattedTexts)
        EXPECT_NE(Text(key), nullptr) << key;
}

TEST(Placeholders, RecognisesOnlySafeConversions)
{
    const std::pair<std::u16string, std::string> cases[] = {
        {u"plain", ""}, {u"%s and %d", "sd"}, {u"100%% sure", ""}, {u"%%s is not a conversion", ""},
        {u"%x", "?"},   {u"%ls", "?"},        {u"%5d", "?"},       {u"trailing %", "?"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(Placeholders(text), expected) << Narrow(text);
}

TEST_F(EnglishDictionary, MenuItemsHaveOneDistinctKeyboardLetter)
{
    ASSERT_TRUE(m_loaded);
    for (const auto& [menu, keys] : kMenus) {
        std::map<char16_t, std::string> letters;
        for (const std::string& key : keys) {
            const std::u16string* text = Text(key);
            ASSERT_NE(text, nullptr) << key;
            const std::u16string& label = *text;
            const auto marks = std::count(label.begin(), label.end(), u'&');
            const std::size_t at = label.find(u'&');
            ASSERT_TRUE(marks == 1 && at + 1 < label.size()) << key << " needs exactly one '&' before a letter";
            const char16_t letter = AsciiLower(label[at + 1]);
            EXPECT_TRUE(letters.emplace(letter, key).second) << menu << ": " << key << " and " << letters[letter]
                                                             << " share the letter " << static_cast<char>(letter);
        }
    }
}

// Shortcuts come from the program's key table, which shows them beside menu
// items and after tooltips; a text that names one would show it twice, or a
// wrong one once the table changes.
TEST_F(EnglishDictionary, NoTextNamesAShortcut)
{
    ASSERT_TRUE(m_loaded);
    for (const auto& [wide_key, text] : m_texts) {
        const std::string key = Narrow(wide_key);
        EXPECT_EQ(text.find(u'\t'), std::u16string::npos) << key;
        for (const char16_t* hint : {u"Ctrl+", u"Shift+", u"Alt+", u"(F1)", u"(F3)", u"(F5)", u"(F6)", u"(F7)"})
            EXPECT_EQ(text.find(hint), std::u16string::npos) << key;
    }
}

TEST_F(EnglishDictionary, DefaultParserColumnReadsAsAHeader)
{
    ASSERT_TRUE(m_loaded);
    const std::u16string* column = Text("IDS_SPECIAL_DEFAULT_PARSER_CONTENT");
    ASSERT_NE(column, nullptr);
    // One short line with none of the characters a column name must not hold.
    EXPECT_FALSE(column->empty());
    EXPECT_LE(column->size(), 30u);
    EXPECT_EQ(column->find_first_of(u"\"'&<>\n\t%"), std::u16string::npos);
}

TEST_F(EnglishDictionary, ApplicationNameIsVarnoth)
{
    ASSERT_TRUE(m_loaded);
    const std::u16string* name = Text("IDS_APPNAME");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(*name, u"Varnoth");
}

} // namespace
