#include "app/settings.h"

#include "platform/files.h"
#include "platform/strings.h"
#include "xml/xml_file.h"

#include <algorithm>
#include <climits>
#include <cstdio>

namespace {

std::u16string Decimal(long long value)
{
    return FromUtf8(std::to_string(value));
}

} // namespace

void LoadSettings(app_settings& settings, const std::u16string& path)
{
    std::unique_ptr<TiXmlElement> root = LoadXmlFile(path);
    if (!root)
        return;
    std::u16string text;
    if (ReadXmlChildText(root.get(), "max_loading_lines", text)) {
        // A negative number, taken as unsigned, is larger than the limit.
        const int64_t n = ParseDecimal(text);
        const unsigned lines = (n < 0 || n > kMaxLoadingLinesLimit) ? kMaxLoadingLinesLimit : static_cast<unsigned>(n);
        settings.max_loading_lines = lines;
        settings.max_loading_lines_to_save = lines;
    }
    if (ReadXmlChildText(root.get(), "load_tail_first", text))
        settings.load_tail_first = text != u"0";
    if (ReadXmlChildText(root.get(), "tail_on_refresh", text))
        settings.tail_on_refresh = text != u"0";
    if (ReadXmlChildText(root.get(), "search_highlight", text))
        settings.search_highlight =
            static_cast<int32_t>(std::clamp<int64_t>(ParseDecimal(text), INT32_MIN, INT32_MAX));
    if (root->FirstChildElement("copy_column_seperator")) {
        text.clear();
        ReadXmlChildText(root.get(), "copy_column_seperator", text);
        settings.column_separator = text.empty() ? u" " : text;
    }
    if (ReadXmlChildText(root.get(), "main_wnd_maximized", text))
        settings.main_wnd_maximized = text != u"0";
    if (!settings.main_wnd_maximized) {
        window_rect rect;
        int read = 0;
        if (ReadXmlChildText(root.get(), "main_wnd_rect", text))
            read = std::sscanf(ToUtf8(text).c_str(), "%d,%d,%d,%d", &rect.left, &rect.top, &rect.right, &rect.bottom);
        if (read < 4 || rect.empty()) {
            settings.main_wnd_rect = window_rect{};
            settings.main_wnd_maximized = true;
        } else {
            settings.main_wnd_rect = rect;
        }
    }
    // The site address without the slashes that end it, so that the paths
    // added to it never start with two; an empty one keeps the default.
    if (ReadXmlChildText(root.get(), "site_address", text)) {
        while (!text.empty() && text.back() == u'/')
            text.pop_back();
        if (!text.empty())
            settings.site_address = text;
    }
    // An element without text empties the support address on purpose.
    if (root->FirstChildElement("support_mail")) {
        text.clear();
        ReadXmlChildText(root.get(), "support_mail", text);
        settings.support_mail = text;
    }
    if (ReadXmlChildText(root.get(), "show_line_numbers", text))
        settings.show_line_numbers = text != u"0";
    if (ReadXmlChildText(root.get(), "open_folder", text))
        settings.open_folder = text;
    if (ReadXmlChildText(root.get(), "export_folder", text))
        settings.export_folder = text;
    if (ReadXmlChildText(root.get(), "results_pane_height", text)) {
        // A height that is no number, or no sensible one, is not kept.
        const int64_t height = ParseDecimal(text);
        settings.results_pane_height = height > 0 && height <= 100000 ? static_cast<int>(height) : 0;
    }
}

bool SaveSettings(const app_settings& settings, const std::u16string& path)
{
    TiXmlElement root("settings");
    AddXmlTextChild(&root, "max_loading_lines", Decimal(static_cast<int>(settings.max_loading_lines_to_save)));
    AddXmlTextChild(&root, "load_tail_first", settings.load_tail_first ? u"1" : u"0");
    AddXmlTextChild(&root, "tail_on_refresh", settings.tail_on_refresh ? u"1" : u"0");
    AddXmlTextChild(&root, "search_highlight", Decimal(settings.search_highlight));
    AddXmlTextChild(&root, "copy_column_seperator", settings.column_separator);
    AddXmlTextChild(&root, "main_wnd_maximized", settings.main_wnd_maximized ? u"1" : u"0");
    const window_rect& r = settings.main_wnd_rect;
    AddXmlTextChild(&root, "main_wnd_rect",
                    Decimal(r.left) + u"," + Decimal(r.top) + u"," + Decimal(r.right) + u"," + Decimal(r.bottom));
    AddXmlTextChild(&root, "site_address", settings.site_address);
    AddXmlTextChild(&root, "support_mail", settings.support_mail);
    if (settings.show_line_numbers)
        AddXmlTextChild(&root, "show_line_numbers", u"1");
    if (!settings.open_folder.empty())
        AddXmlTextChild(&root, "open_folder", settings.open_folder);
    if (!settings.export_folder.empty())
        AddXmlTextChild(&root, "export_folder", settings.export_folder);
    if (settings.results_pane_height > 0)
        AddXmlTextChild(&root, "results_pane_height", Decimal(settings.results_pane_height));
    return SaveXmlFile(&root, path);
}

void ReadHistoryFile(std::vector<std::u16string>& history, const std::u16string& path)
{
    history.clear();
    std::string bytes;
    if (!ReadWholeFile(path, bytes) || bytes.size() % 2 != 0)
        return;
    const std::u16string text = Utf16LeToWide(bytes);
    std::size_t pos = (!text.empty() && text[0] == 0xFEFF) ? 1 : 0;
    // The file was read as a terminated string: a NUL character ends it.
    std::size_t end = text.find(u'\0', pos);
    if (end == std::u16string::npos)
        end = text.size();
    while (pos < end) {
        std::size_t lf = text.find(u'\n', pos);
        if (lf == std::u16string::npos || lf > end)
            lf = end;
        if (lf == pos)
            break;
        history.push_back(text.substr(pos, lf - pos));
        pos = lf + 1;
    }
}

bool WriteHistoryFile(const std::vector<std::u16string>& history, const std::u16string& path)
{
    if (history.empty()) {
        RemoveFile(path);
        return true;
    }
    std::string bytes = "\xFF\xFE";
    for (const std::u16string& entry : history) {
        for (char16_t c : entry) {
            bytes.push_back(static_cast<char>(c & 0xFF));
            bytes.push_back(static_cast<char>(c >> 8));
        }
        bytes.append("\x0A\x00", 2);
    }
    return WriteFileAtomically(path, bytes);
}

void AddExpressionHistory(std::vector<std::u16string>& history, const std::u16string& text)
{
    if (text.empty())
        return;
    auto it = std::find(history.begin(), history.end(), text);
    if (it != history.end())
        history.erase(it);
    history.insert(history.begin(), text);
    if (history.size() > kExpressionHistoryLimit)
        history.resize(kExpressionHistoryLimit);
}

void AddRecentFile(std::vector<std::u16string>& recent, const std::u16string& path)
{
    if (path.empty())
        return;
    auto it = std::find_if(recent.begin(), recent.end(),
                           [&](const std::u16string& entry) { return EqualsIgnoreAsciiCase(entry, path); });
    if (it != recent.end())
        recent.erase(it);
    recent.insert(recent.begin(), path);
    if (recent.size() > kRecentFileLimit)
        recent.resize(kRecentFileLimit);
}
