// PENDING: the parser list, FindParser and GetParser arrive with the parser
// subsystem; until then every file gets the one-column default parser.
#include "app/varnoth_app.h"
#include "glossant/dictionary_text.h"
#include "parser/log_pattern.h"

namespace {
const log_pattern_list& PendingDefaultParser()
{
    static const log_pattern_list parser{log_pattern(DictionaryText(u"IDS_SPECIAL_DEFAULT_PARSER_CONTENT"))};
    return parser;
}
} // namespace

const log_pattern_list* CVarnothApp::FindParser(const std::u16string&)
{
    return &PendingDefaultParser();
}

const log_pattern_list* CVarnothApp::GetParser(CWorkData* file)
{
    if (!file)
        return nullptr;
    file->parser_name.clear();
    return &PendingDefaultParser();
}
