#include "parser/parser_suggestion.h"

#include "parser/line_tokens.h"
#include "parser/split_line.h"
#include "parser/suggestion_names.h"

#include <algorithm>

namespace {

constexpr std::size_t npos = std::u16string_view::npos;
constexpr double kKeepShare = 0.95;    // of the lines that begin like the selected one, a parser must fit
constexpr double kTypeShare = 0.9;     // of its values, a typed column must read to keep its type
constexpr double kSpuriousShare = 0.5; // below this a typed column of the selected line is no column at all
constexpr double kKeyPresence = 0.9;   // of the lines, a key must appear in to be a column
constexpr std::size_t kMaxWordRun = 2; // words before a field that they are columns beside
constexpr std::size_t kMinTableLines = 5;
constexpr std::size_t kMaxTableWords = 5;

struct sample_line {
    std::u16string_view text;
    std::vector<line_token> tokens;
    bool record = false; // begins like the selected line
};

// One column of the selected line's head.
struct planned_column {
    std::size_t token = 0;     // in the selected line's tokens
    std::size_t gap_end = 0;   // where what follows it begins (blanks and separators after it skipped)
    bool may_skip = false;     // key=value found past other text: its start text is looked for
    bool space_before = false; // its key ends another key: the start text begins with a blank
    bool dotted = false;       // a word column because it is a dotted name (a logger)
    std::size_t needs = npos;  // a word column is one only beside the column it names here
};

struct head_plan {
    std::vector<planned_column> columns;
    std::size_t message = npos; // where the free text after the whole head begins, npos for none
};

bool is_structural(token_kind kind)
{
    return kind != token_kind::word && kind != token_kind::separator;
}

// Whether the separator at i stands between two fields rather than for a
// value of its own (an access log's "-" after the client's address).
bool acts_as_separator(const std::vector<line_token>& tokens, std::size_t i)
{
    if (i == 0 || tokens[i].kind != token_kind::separator)
        return false;
    const token_kind before = tokens[i - 1].kind;
    return before != token_kind::ipv4 && before != token_kind::number && before != token_kind::separator
           && before != token_kind::epoch;
}

// Skips blanks and separators that stand between fields after token i.
std::size_t gap_end_after(const std::vector<line_token>& tokens, std::size_t i, std::size_t line_end)
{
    std::size_t j = i + 1;
    while (j < tokens.size() && acts_as_separator(tokens, j))
        ++j;
    return j < tokens.size() ? tokens[j].begin : line_end;
}

std::size_t next_column_token(const std::vector<line_token>& tokens, std::size_t i)
{
    std::size_t j = i + 1;
    while (j < tokens.size() && acts_as_separator(tokens, j))
        ++j;
    return j;
}

// Whether the word-like token at i names a field beside a structural one
// within a short run of words: a host before "sshd[1]:", a user before
// "[05/Aug/2024...]", a logger before " - ".  Sets needs to the run's end.
bool word_is_column(const std::vector<line_token>& tokens, std::size_t i, std::size_t& justified_by)
{
    std::size_t j = i;
    for (std::size_t run = 0; run < kMaxWordRun && j < tokens.size(); ++run) {
        j = next_column_token(tokens, j);
        if (j < tokens.size() && acts_as_separator(tokens, j - 1) && j - 1 > i) {
            justified_by = j;
            return true;
        }
        if (j >= tokens.size())
            return false;
        if (is_structural(tokens[j].kind)) {
            justified_by = j;
            return true;
        }
    }
    return false;
}

bool ends_another_key(const std::vector<line_token>& tokens, const std::u16string& key)
{
    return std::any_of(tokens.begin(), tokens.end(), [&](const line_token& token) {
        return token.kind == token_kind::key_value && token.key.size() > key.size() && token.key.ends_with(key);
    });
}

// The key=value pairs of the selected line from first on whose keys most
// lines have: columns named by their keys, looked for past the pairs and
// words between them that are left out.
void add_key_values(head_plan& plan, const std::vector<line_token>& tokens, std::size_t first,
                    const std::vector<sample_line>& sample, std::size_t line_end)
{
    std::size_t previous = npos;
    for (std::size_t i = first; i < tokens.size(); ++i) {
        if (tokens[i].kind != token_kind::key_value)
            continue;
        std::size_t present = 0;
        for (const sample_line& line : sample)
            present += std::any_of(line.tokens.begin(), line.tokens.end(), [&](const line_token& token) {
                return token.kind == token_kind::key_value && token.key == tokens[i].key;
            });
        if (static_cast<double>(present) < kKeyPresence * static_cast<double>(sample.size()))
            continue;
        planned_column column;
        column.token = i;
        column.gap_end = gap_end_after(tokens, i, line_end);
        // Pairs are found by their keys, past pairs and words left out.
        column.may_skip = i != first;
        column.space_before = column.may_skip && ends_another_key(tokens, tokens[i].key);
        plan.columns.push_back(column);
        previous = i;
    }
    if (previous != npos && previous + 1 < tokens.size())
        plan.message = tokens[previous + 1].begin;
    else if (previous == npos && first < tokens.size())
        plan.message = tokens[first].begin;
}

// A Java or Python logger's name: letters, digits, '_' and '$' in at least
// two parts joined by dots, beginning with a letter.
bool is_dotted_logger(std::u16string_view text)
{
    std::size_t dots = 0;
    if (text.empty() || !((text[0] >= u'a' && text[0] <= u'z') || (text[0] >= u'A' && text[0] <= u'Z')))
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'.') {
            if (i + 1 == text.size() || text[i + 1] == u'.')
                return false;
            ++dots;
        } else if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_'
                     || c == u'$')) {
            return false;
        }
    }
    return dots >= 1;
}

// The head of the selected line: which of its tokens are columns and where
// its free text begins.
head_plan plan_head(const sample_line& selected, const std::vector<sample_line>& sample)
{
    const std::vector<line_token>& tokens = selected.tokens;
    const std::size_t line_end = selected.text.size();
    head_plan plan;
    std::size_t i = 0;
    while (i < tokens.size()) {
        const line_token& token = tokens[i];
        if (acts_as_separator(tokens, i) && !plan.columns.empty()) {
            ++i; // already inside the gap of the column before it
            continue;
        }
        if (token.kind == token_kind::key_value) {
            add_key_values(plan, tokens, i, sample, line_end);
            return plan;
        }
        planned_column column;
        column.token = i;
        column.gap_end = gap_end_after(tokens, i, line_end);
        const bool after_level_or_bracket = !plan.columns.empty()
                                            && (tokens[plan.columns.back().token].kind == token_kind::level
                                                || tokens[plan.columns.back().token].kind == token_kind::bracket);
        if (token.kind == token_kind::word && after_level_or_bracket
            && is_dotted_logger(selected.text.substr(token.value_begin, token.value_end - token.value_begin))) {
            column.dotted = true; // org.apache.catalina.startup.Catalina.start
        } else if (token.kind == token_kind::word || token.kind == token_kind::separator) {
            std::size_t justified_by = npos;
            if (!word_is_column(tokens, i, justified_by)) {
                plan.message = token.begin;
                break;
            }
            column.needs = justified_by;
        }
        plan.columns.push_back(column);
        ++i;
        if (token.kind == token_kind::label && i < tokens.size() && tokens[i].kind != token_kind::bracket
            && tokens[i].kind != token_kind::key_value && tokens[i].kind != token_kind::level) {
            // After "program:" comes the message.
            plan.message = tokens[i].begin;
            break;
        }
    }
    // needs named token indexes; turn them into column indexes.
    for (planned_column& column : plan.columns) {
        if (column.needs == npos)
            continue;
        std::size_t index = npos;
        for (std::size_t c = 0; c < plan.columns.size(); ++c)
            if (plan.columns[c].token == column.needs)
                index = c;
        column.needs = index == npos ? plan.columns.size() : index;
    }
    return plan;
}

// Short lines of a steady number of words (the package manager's): the words
// after the head are columns too, all but the last few that vary.
void extend_as_table(head_plan& plan, const sample_line& selected, const std::vector<sample_line>& sample)
{
    if (plan.message == npos)
        return;
    const std::vector<line_token>& tokens = selected.tokens;
    std::size_t first = 0;
    while (first < tokens.size() && tokens[first].begin < plan.message)
        ++first;
    std::size_t lines = 0;
    std::size_t fewest = tokens.size();
    std::size_t most = tokens.size();
    for (const sample_line& line : sample) {
        if (!line.record)
            continue;
        ++lines;
        fewest = std::min(fewest, line.tokens.size());
        most = std::max(most, line.tokens.size());
    }
    if (lines < kMinTableLines || most - fewest > 1 || tokens.size() - first > kMaxTableWords || fewest < first + 2
        || tokens.size() >= kMaxLineTokens)
        return;
    for (std::size_t i = first; i + 1 < fewest; ++i) {
        if (tokens[i].kind == token_kind::key_value || tokens[i].kind == token_kind::quoted)
            return;
    }
    for (std::size_t i = first; i + 1 < fewest; ++i) {
        planned_column column;
        column.token = i;
        column.gap_end = tokens[i + 1].begin;
        plan.columns.push_back(column);
    }
    plan.message = tokens[fewest - 1].begin;
}

// Blank runs shortened to their first blank, so that one space also matches
// where another line has two.
std::u16string collapse_blanks(std::u16string_view text)
{
    std::u16string out;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!is_gap_blank(text[i]) || i == 0 || !is_gap_blank(text[i - 1]))
            out += text[i];
    return out;
}

tagDATA_FORMAT column_format(const line_token& token)
{
    const token_kind kind = token.content;
    tagDATA_FORMAT format;
    if (kind == token_kind::datetime || kind == token_kind::number || kind == token_kind::epoch)
        format = token.format;
    else if (kind == token_kind::ipv4)
        format.data_type = DATA_TYPE_IPV4;
    return format;
}

// A parser to try: the first count columns of the head and, from where the
// next would have begun, the rest as Message (when there is a rest).
struct candidate {
    log_pattern_list parser;
    std::vector<const planned_column*> columns; // one per item but the Message
    bool message = false;
};

// How a candidate ends: with a Message column, or with its last column
// ending at its closing text, or taking the rest of the line.
enum class ending { message, close, rest };

bool build_candidate(candidate& out, const head_plan& plan, std::size_t count, ending how, const sample_line& selected)
{
    const std::vector<line_token>& tokens = selected.tokens;
    const std::u16string_view text = selected.text;
    std::size_t message_at = plan.message;
    if (count < plan.columns.size())
        message_at = plan.columns[count].may_skip && count > 0 ? plan.columns[count - 1].gap_end
                                                               : tokens[plan.columns[count].token].begin;
    const bool message = how == ending::message && message_at != npos && message_at < text.size();
    if (how == ending::message && !message)
        return false;
    // Taking the rest only for a closed last field that ends the selected
    // line (a quoted message before pairs that other lines have).
    if (how == ending::rest
        && (count == 0 || count < plan.columns.size() || plan.message != npos
            || tokens[plan.columns[count - 1].token].close.empty()))
        return false;
    if (count == 0 && !message)
        return false;
    for (std::size_t c = 0; c < count; ++c) {
        const planned_column& column = plan.columns[c];
        if (column.needs != npos && column.needs >= count)
            return false;
        const line_token& token = tokens[column.token];
        log_pattern item;
        item.start =
            token.kind == token_kind::bracket || token.kind == token_kind::quoted || token.kind == token_kind::key_value
                ? token.open
                : u"";
        if (column.space_before)
            item.start = std::u16string(u" ") + item.start;
        const bool last = c + 1 == count;
        const bool next_has_start =
            !last && !plan.columns[c + 1].space_before && !tokens[plan.columns[c + 1].token].open.empty();
        const std::size_t gap_end = last && message ? message_at : column.gap_end;
        const std::u16string gap = collapse_blanks(text.substr(token.end, gap_end - token.end));
        if (last && !message)
            item.end = how == ending::rest ? u"" : token.close;
        else if (next_has_start && !token.close.empty())
            item.end = token.close;
        else
            item.end = token.close + gap;
        if (!(last && !message) && item.end.empty())
            return false;
        item.data_format = column_format(token);
        const std::u16string_view value = text.substr(token.value_begin, token.value_end - token.value_begin);
        item.end_after_datetime =
            item.data_format.data_type == DATA_TYPE_DATETIME && !item.end.empty() && value.find(item.end) != npos;
        out.parser.push_back(std::move(item));
        out.columns.push_back(&column);
    }
    if (message)
        out.parser.emplace_back();
    out.message = message;
    return true;
}

struct evaluation {
    std::size_t record_fits = 0;
    std::size_t records = 0;
    std::size_t split = 0;          // every line: complete, typed values valid
    std::vector<std::size_t> valid; // per column: typed values read among lines otherwise fitting
    std::size_t otherwise_fitting = 0;
    std::size_t trailing = 0; // lines with text after the last column's end
};

std::u16string_view trim_front(std::u16string_view text)
{
    while (!text.empty() && is_gap_blank(text.front()))
        text.remove_prefix(1);
    return text;
}

// A severity a server writes in the level's place: DETAIL, STATEMENT, NOTE.
bool is_upper_word(std::u16string_view text)
{
    text = trim_front(text);
    return text.size() >= 2 && text.size() <= 10
           && std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'A' && c <= u'Z'; });
}

bool has_blank(std::u16string_view text)
{
    while (!text.empty() && is_gap_blank(text.front()))
        text.remove_prefix(1);
    return std::any_of(text.begin(), text.end(), is_gap_blank);
}

// Whether the columns of a complete split sit where the selected line's did:
// each start text found right where the scan stood (past blanks), bare
// levels being levels, bare words being single words.
bool sits_like_the_selected_line(const log_line& line, const candidate& c)
{
    std::size_t pos = 0;
    std::size_t index = 0;
    for (const log_pattern& item : c.parser) {
        const log_column& column = line.columns()[index];
        const std::size_t value_begin = column.offset;
        const std::u16string_view text(line.text().data(), line.text().size());
        if (index < c.columns.size()) {
            const planned_column& planned = *c.columns[index];
            if (!item.start.empty()) {
                if (value_begin < item.start.size()
                    || text.substr(value_begin - item.start.size(), item.start.size()) != item.start)
                    return false;
                if (!planned.may_skip) {
                    for (std::size_t i = pos; i + item.start.size() < value_begin; ++i)
                        if (!is_gap_blank(text[i]))
                            return false;
                }
            }
        }
        pos = value_begin + column.length + item.end.size();
        ++index;
    }
    return true;
}

bool bare_values_fit(const log_line& line, const candidate& c, const std::vector<line_token>& tokens)
{
    for (std::size_t index = 0; index < c.columns.size(); ++index) {
        const line_token& token = tokens[c.columns[index]->token];
        const log_column& column = line.columns()[index];
        const std::u16string_view value(line.text().data() + column.offset, column.length);
        if (token.kind == token_kind::level && !is_level_word(value) && !is_upper_word(value))
            return false;
        if ((token.kind == token_kind::word || token.kind == token_kind::label || token.kind == token_kind::separator)
            && has_blank(value))
            return false;
        if (c.columns[index]->dotted && !is_dotted_logger(trim_front(value)))
            return false;
    }
    return true;
}

evaluation evaluate(const candidate& c, const std::vector<sample_line>& sample, const std::vector<line_token>& tokens)
{
    evaluation result;
    result.valid.assign(c.columns.size(), 0);
    std::vector<const log_pattern*> leaves;
    const auto count = static_cast<std::size_t>(leaf_count(c.parser, &leaves));
    log_line line;
    for (const sample_line& sampled : sample) {
        result.records += sampled.record ? 1 : 0;
        const bool complete = split_line(line, sampled.text.data(), sampled.text.size(), c.parser, true)
                              && line.columns().size() == count;
        if (!complete)
            continue;
        bool typed_valid = true;
        for (std::size_t i = 0; i < count; ++i)
            typed_valid =
                typed_valid && (leaves[i]->data_format.data_type == DATA_TYPE_TEXT || line.columns()[i].value().valid);
        result.split += typed_valid ? 1 : 0;
        if (!sampled.record || !sits_like_the_selected_line(line, c) || !bare_values_fit(line, c, tokens))
            continue;
        ++result.otherwise_fitting;
        const log_column& last = line.columns().back();
        if (last.offset + last.length + c.parser.back().end.size() < line.text().size())
            ++result.trailing;
        for (std::size_t i = 0; i < c.columns.size(); ++i)
            result.valid[i] += line.columns()[i].value().valid ? 1 : 0;
        result.record_fits += typed_valid ? 1 : 0;
    }
    return result;
}

// Evaluates c, turns typed columns that read too seldom into text and
// evaluates again.  False when a typed column of the selected line reads so
// seldom that it is no column of this format at all.
bool settle_types(candidate& c, evaluation& result, const std::vector<sample_line>& sample,
                  const std::vector<line_token>& tokens)
{
    result = evaluate(c, sample, tokens);
    bool changed = false;
    auto item = c.parser.begin();
    for (std::size_t i = 0; i < c.columns.size(); ++i, ++item) {
        if (item->data_format.data_type == DATA_TYPE_TEXT)
            continue;
        const auto fitting = static_cast<double>(result.otherwise_fitting);
        const auto valid = static_cast<double>(result.valid[i]);
        if (valid < kSpuriousShare * fitting)
            return false;
        if (valid < kTypeShare * fitting) {
            item->data_format = tagDATA_FORMAT();
            item->end_after_datetime = false;
            changed = true;
        }
    }
    if (changed)
        result = evaluate(c, sample, tokens);
    return true;
}

// The most decimals and whether thousands separators occur among the values
// of each numeric column, over the lines it splits.
void widen_numbers(candidate& c, const std::vector<sample_line>& sample)
{
    log_line line;
    const auto count = static_cast<std::size_t>(leaf_count(c.parser));
    std::vector<tagDATA_FORMAT*> formats;
    for (log_pattern& item : c.parser)
        formats.push_back(&item.data_format);
    for (const sample_line& sampled : sample) {
        if (!split_line(line, sampled.text.data(), sampled.text.size(), c.parser, true)
            || line.columns().size() != count)
            continue;
        for (std::size_t i = 0; i < count; ++i) {
            tagDATA_FORMAT& format = *formats[i];
            if (format.data_type != DATA_TYPE_NUMERIC || !line.columns()[i].value().valid)
                continue;
            const std::u16string_view value(line.text().data() + line.columns()[i].offset, line.columns()[i].length);
            const std::size_t dot = value.find(u'.');
            if (dot != npos)
                format.digit_count = static_cast<uint8_t>(
                    std::clamp<std::size_t>(value.size() - dot - 1, format.digit_count, MAX_DIGIT_COUNT));
            format.separator_1000 = format.separator_1000 || value.find(u',') != npos;
        }
    }
}

// The selected line's token and value of each column but the Message, and
// its values on the lines the parser splits.
std::vector<column_facts> gather_facts(const candidate& c, const std::vector<sample_line>& sample,
                                       const sample_line& head_line)
{
    std::vector<column_facts> facts(c.columns.size());
    for (std::size_t i = 0; i < c.columns.size(); ++i) {
        const line_token& token = head_line.tokens[c.columns[i]->token];
        facts[i].token = &token;
        facts[i].value = std::u16string(head_line.text.substr(token.value_begin, token.value_end - token.value_begin));
    }
    const auto count = static_cast<std::size_t>(leaf_count(c.parser));
    log_line line;
    for (const sample_line& sampled : sample) {
        if (!split_line(line, sampled.text.data(), sampled.text.size(), c.parser, true)
            || line.columns().size() != count)
            continue;
        for (std::size_t i = 0; i < c.columns.size(); ++i)
            facts[i].values.emplace_back(line.text().data() + line.columns()[i].offset, line.columns()[i].length);
    }
    return facts;
}

std::vector<sample_line> read_sample(std::u16string_view selected, const std::vector<std::u16string_view>& others)
{
    std::vector<sample_line> sample;
    const auto take = [&](std::u16string_view text) {
        if (!text.empty() && sample.size() < kMaxSuggestionSample)
            sample.push_back({text, tokenize_line(text), false});
    };
    take(selected);
    for (const std::u16string_view text : others)
        take(text);
    if (sample.empty())
        return sample;
    // Lines that begin like the selected one are the records a parser must
    // fit; others (continuations, stack traces) only count in the share.
    const std::vector<line_token>& head = sample.front().tokens;
    for (sample_line& line : sample) {
        if (head.empty() || line.tokens.empty()) {
            line.record = head.empty() == line.tokens.empty();
            continue;
        }
        const line_token& a = head.front();
        const line_token& b = line.tokens.front();
        line.record = a.kind == b.kind && a.open == b.open && a.content == b.content
                      && (a.content != token_kind::datetime || a.format.format == b.format.format);
    }
    return sample;
}

} // namespace

parser_suggestion suggest_parser(std::u16string_view selected, const std::vector<std::u16string_view>& others)
{
    parser_suggestion suggestion;
    const std::vector<sample_line> sample = read_sample(selected, others);
    suggestion.sampled = sample.size();
    if (sample.empty())
        return suggestion;
    const sample_line& head_line = sample.front();

    head_plan plan = plan_head(head_line, sample);
    extend_as_table(plan, head_line, sample);

    // From the whole head down to the message alone, the first candidate that
    // fits the records is taken: the most columns that the lines bear out.
    for (std::size_t count = plan.columns.size() + 1; count-- > 0;) {
        for (const ending how : {ending::message, ending::close, ending::rest}) {
            candidate c;
            if (!build_candidate(c, plan, count, how, head_line))
                continue;
            evaluation result;
            if (!settle_types(c, result, sample, head_line.tokens))
                continue;
            if (count > 0 && static_cast<double>(result.record_fits) < kKeepShare * static_cast<double>(result.records))
                continue;
            // Text after the last column would be shown nowhere.
            if (how == ending::close && result.trailing > 0)
                continue;
            widen_numbers(c, sample);
            name_columns(c.parser, gather_facts(c, sample, head_line), c.message);
            suggestion.split = evaluate(c, sample, head_line.tokens).split;
            suggestion.parser = std::move(c.parser);
            return suggestion;
        }
    }
    return suggestion;
}
