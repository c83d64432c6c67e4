#include "ui/command_state.h"

#include "glossant/dictionary_text.h"
#include "platform/strings.h"
#include "ui/command_ids.h"

#include <string>

bool CanScrollUp(const active_view_state& s)
{
    return s.has_file && s.window_first != 0;
}

bool CanScrollDown(const active_view_state& s)
{
    return s.has_file && s.window_last >= 0 && s.window_last < s.indexed_lines - 1;
}

command_state ToolbarCommandState(int id, const active_view_state& s)
{
    using namespace ids;
    const bool tab = s.tab_count > 0;
    switch (id) {
    case kFileOpen:
    case kEditOptions:
    case kHelpHelp: return {true, false};
    case kFileClose:
    case kFileCloseAll:
    case kFileExport:
    case kViewRefresh:
    case kViewHighlightSetting:
    case kViewFilterSetting:
    case kEditFind:
    case kEditFindInFile:
    case kEditFindNext:
    case kEditFindPrevious: return {tab, false};
    case kViewAutoRefresh: return {tab, tab && s.auto_refresh};
    case kViewHighlightEnable: return {tab, tab && s.highlight_enabled};
    case kViewFilterEnable: return {tab, tab && s.filter_enabled};
    case kViewFilterWholeFile: return {tab && s.has_filter_conditions, false};
    case kViewScrollUp: return {tab && CanScrollUp(s), false};
    case kViewScrollDown: return {tab && CanScrollDown(s), false};
    case kEditCopy:
    case kEditCopyColumn: return {tab && s.has_selection, false};
    default: return {};
    }
}

command_state MenuCommandState(int id, const active_view_state& s)
{
    using namespace ids;
    const bool tab = s.tab_count > 0;
    const bool selection = tab && s.has_selection;
    if (id >= kRecentFileFirst && id <= kRecentFileLast)
        return {true, false};
    if (id >= kCopyColumnFirst && id <= kExcludeColumnLast)
        return {selection, false};
    switch (id) {
    // File
    case kFileOpen:
    case kFileExit: return {true, false};
    case kFileClose:
    case kFileCloseAll:
    case kFileExportSelected:
    case kFileExportVisible:
    case kFileExportFile:
    case kFileExportFileFilter:
    case kFileExportResults: return {tab, false};
    case kFileCloseOthers: return {s.tab_count >= 2, false};
    // Edit
    case kEditOptions: return {true, false};
    case kEditSelectAll:
    case kEditInvertSelection:
    case kEditFind:
    case kEditFindInFile:
    case kEditFindNext:
    case kEditFindPrevious:
    case kEditCopyFilePath:
    case kEditCopyFileName:
    case kEditCopyDirPath:
    case kEditBrowseDir: return {tab, false};
    case kEditCopy: return {selection, false};
    // View: the items the toolbar also has follow the toolbar's rules.
    case kViewRefresh:
    case kViewHighlightSetting:
    case kViewFilterSetting:
    case kViewAutoRefresh:
    case kViewHighlightEnable:
    case kViewFilterEnable:
    case kViewScrollUp:
    case kViewScrollDown: return ToolbarCommandState(id, s);
    case kViewFilterRemoveAll:
    case kViewFilterWholeFile: return {tab && s.has_filter_conditions, false};
    case kViewFirstLine:
    case kViewLastLine:
    case kViewGoToLine: return {tab && s.has_file, false};
    case kViewLineNumbers: return {tab, tab && s.line_numbers};
    // Help
    case kHelpHelp:
    case kHelpOnlineHelp:
    case kHelpFeedback:
    case kHelpCheckUpdate:
    case kHelpAbout: return {true, false};
    default: return {};
    }
}

bool ExportSubmenuEnabled(const active_view_state& s)
{
    return s.tab_count > 0;
}

bool CopyColumnSubmenuEnabled(const active_view_state& s)
{
    return s.tab_count > 0 && s.has_selection;
}

bool IncludeExcludeSubmenusEnabled(const active_view_state& s)
{
    return s.tab_count > 0 && s.has_selection;
}

std::u16string LabelledCount(const std::u16string& label, int64_t count)
{
    return label + u": " + FromUtf8(std::to_string(count));
}

namespace {

std::u16string PackingText(const active_view_state& s)
{
    if (s.packing.empty())
        return {};
    const char16_t* key = nullptr;
    switch (s.packed) {
    case packed_note::none: return s.packing;
    case packed_note::truncated: key = u"IDS_STATUSBAR_TEXT_PACKED_TRUNCATED"; break;
    case packed_note::damaged: key = u"IDS_STATUSBAR_TEXT_PACKED_DAMAGED"; break;
    case packed_note::trailing: key = u"IDS_STATUSBAR_TEXT_PACKED_TRAILING"; break;
    case packed_note::failed: key = u"IDS_STATUSBAR_TEXT_PACKED_FAILED"; break;
    }
    return s.packing + u": " + DictionaryText(key);
}

} // namespace

status_texts StatusTexts(const active_view_state& s)
{
    if (!s.has_file)
        return {};
    return {LabelledCount(DictionaryText(u"IDS_STATUSBAR_TEXT_TOTAL"), s.indexed_lines),
            LabelledCount(DictionaryText(u"IDS_STATUSBAR_TEXT_FILTERED"), s.row_count),
            LabelledCount(DictionaryText(u"IDS_STATUSBAR_TEXT_SELECTED"), s.selected_count),
            s.cut_lines > 0 ? LabelledCount(DictionaryText(u"IDS_STATUSBAR_TEXT_LONG_LINES_CUT"), s.cut_lines)
                            : std::u16string(),
            s.looks_binary ? DictionaryText(u"IDS_STATUSBAR_TEXT_BINARY") : std::u16string(),
            s.current_line > 0 ? LabelledCount(DictionaryText(u"IDS_STATUSBAR_TEXT_LINE"), s.current_line)
                               : std::u16string(),
            PackingText(s)};
}

std::u16string WindowTitle(const std::u16string& app_title, const std::u16string& file_name)
{
    if (file_name.empty())
        return app_title;
    return app_title + u" - " + file_name;
}

std::u16string ShortenedCellText(const std::u16string& text)
{
    constexpr std::size_t kShortenFrom = 70;
    constexpr std::size_t kKept = 33;
    if (text.size() < kShortenFrom)
        return text;
    return text.substr(0, kKept) + u"..." + text.substr(text.size() - kKept);
}

std::u16string QuotedItemText(const std::u16string& label, const std::u16string& quoted)
{
    return label + u" '" + quoted + u"'";
}

command_state ListPopupCommandState(int id, const active_view_state& s)
{
    using namespace ids;
    const bool tab = s.tab_count > 0 && s.has_file;
    const bool selection = tab && s.has_selection;
    switch (id) {
    case kViewScrollUp: return {tab && CanScrollUp(s), false};
    case kViewScrollDown: return {tab && CanScrollDown(s), false};
    case kViewHighlightEnable: return {tab, tab && s.highlight_enabled};
    case kViewFilterEnable: return {tab, tab && s.filter_enabled};
    case kEditSelectAll:
    case kEditInvertSelection: return {tab, false};
    case kEditCopy:
    case kEditCopyClickedColumn:
    case kEditIncludeCell:
    case kEditExcludeCell:
    case kEditNewParserFromLine: return {selection, false};
    case kViewFilterRemoveAll: return {tab && s.has_filter_conditions, false};
    default: return MenuCommandState(id, s);
    }
}
