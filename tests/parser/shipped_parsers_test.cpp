// The parsers shipped in resources/parser, split against real-looking lines
// of their formats and compared with golden text.
#include "parser/parser_test_support.h"
#include "parser/pattern_xml.h"
#include "parser/split_line.h"
#include "platform/files.h"
#include "xml/xml_file.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace {

const std::filesystem::path kGolden = VARNOTH_PARSER_GOLDEN;
const std::filesystem::path kShipped = std::filesystem::path(VARNOTH_SOURCE_RESOURCES) / "parser";

std::string ReadText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

log_pattern_list LoadShipped(const std::string& name)
{
    log_pattern_list parser;
    EXPECT_TRUE(LoadPatternFile(parser, (kShipped / (name + ".xml")).u16string())) << name;
    return parser;
}

// Every line of the sample: "> text", then "ok" or "failed at 'name'", then
// its columns (see RenderColumns).
std::string RenderSample(const log_pattern_list& parser, const std::string& sample)
{
    std::istringstream in(sample);
    std::string out;
    for (std::string line; std::getline(in, line);) {
        const std::u16string text = FromUtf8(line);
        log_line split;
        std::u16string failed;
        const bool ok = split_line(split, text.data(), text.size(), parser, true, &failed);
        out += "> " + line + "\n";
        out += ok ? std::string("ok\n") : "failed at '" + ToUtf8(failed) + "'\n";
        out += RenderColumns(split, parser);
    }
    return out;
}

struct golden_case {
    const char* parser;
    const char* sample; // in tests/parser/golden, with <sample>.golden beside it
};

TEST(parser_ShippedParsers, SplitTheirFormatsAsTheGoldenTextSays)
{
    const golden_case cases[] = {
        {"Web server combined access", "combined_access"},
        {"Web server access", "access"},
        {"Syslog", "syslog"},
        {"Syslog, space-padded day", "syslog_padded"},
        {"ISO 8601 log", "iso8601"},
        {"Java log", "java"},
        {"Application log", "application"},
        {"Package manager log", "package_manager"},
    };
    for (const golden_case& c : cases) {
        const log_pattern_list parser = LoadShipped(c.parser);
        ASSERT_FALSE(parser.empty()) << c.parser;
        const std::string sample = ReadText(kGolden / (std::string(c.sample) + ".log"));
        ASSERT_FALSE(sample.empty()) << c.sample;
        const std::string actual = RenderSample(parser, sample);
        // To review a change, VARNOTH_GOLDEN_OUT names a folder that receives
        // what the parsers make of the samples now.
        if (const char* out = std::getenv("VARNOTH_GOLDEN_OUT"))
            std::ofstream(std::filesystem::path(out) / (std::string(c.sample) + ".golden"), std::ios::binary) << actual;
        EXPECT_EQ(actual, ReadText(kGolden / (std::string(c.sample) + ".golden"))) << c.parser;
    }
}

TEST(parser_ShippedParsers, EveryShippedFileLoadsAndRoundTrips)
{
    const std::vector<std::u16string> files = ListFiles(kShipped.u16string(), u".xml");
    EXPECT_GE(files.size(), 8u);
    for (const std::u16string& file : files) {
        log_pattern_list parser;
        ASSERT_TRUE(LoadPatternFile(parser, JoinPath(kShipped.u16string(), file))) << ToUtf8(file);
        EXPECT_GE(leaf_count(parser), 4) << ToUtf8(file);
        const std::unique_ptr<TiXmlElement> element(PatternListToXml(parser));
        log_pattern_list again;
        ASSERT_TRUE(PatternListFromXml(again, element.get()));
        EXPECT_TRUE(again == parser) << ToUtf8(file);
    }
}

TEST(parser_ShippedParsers, TheBundledSamplesStillFitTheirParsers)
{
    const struct {
        const char* parser;
        const char* sample;
    } cases[] = {{"Application log", "sample.log"}, {"Web server access", "access.log"}};
    for (const auto& c : cases) {
        const log_pattern_list parser = LoadShipped(c.parser);
        const std::string sample = ReadText(std::filesystem::path(VARNOTH_SOURCE_RESOURCES) / "samples" / c.sample);
        std::istringstream in(sample);
        int lines = 0;
        for (std::string line; std::getline(in, line); ++lines) {
            const std::u16string text = FromUtf8(line);
            log_line split;
            ASSERT_TRUE(split_line(split, text.data(), text.size(), parser, true)) << c.sample << ": " << line;
            for (std::size_t i = 0; i < split.columns().size(); ++i) {
                std::vector<const log_pattern*> leaves;
                leaf_count(parser, &leaves);
                if (leaves[i]->data_format.data_type != DATA_TYPE_TEXT) {
                    EXPECT_TRUE(split.columns()[i].value().valid)
                        << c.sample << ": " << line << " column " << ToUtf8(leaves[i]->name);
                }
            }
        }
        EXPECT_GT(lines, 1000) << c.sample;
    }
}

// The help page on parser files shows a whole parser file: it must load as
// the shipped parser it names, so that the page stays true.
TEST(parser_ShippedParsers, TheHelpPagesExampleIsTheShippedFile)
{
    std::string page = ReadText(std::filesystem::path(VARNOTH_SOURCE_RESOURCES) / "help" / "parser_files.html");
    const std::size_t open = page.find("<pre><code>");
    const std::size_t close = page.find("</code></pre>");
    ASSERT_NE(open, std::string::npos);
    ASSERT_NE(close, std::string::npos);
    std::string example = page.substr(open + 11, close - open - 11);
    for (const auto& [entity, text] :
         {std::pair<std::string, std::string>{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}}) {
        for (std::size_t at = example.find(entity); at != std::string::npos; at = example.find(entity, at + 1))
            example.replace(at, entity.size(), text);
    }
    EXPECT_NE(page.find("Package manager log.xml"), std::string::npos);
    InitXmlServices();
    TiXmlDocument document;
    document.Parse(example.c_str());
    ASSERT_FALSE(document.Error()) << example;
    log_pattern_list parser;
    ASSERT_TRUE(PatternListFromXml(parser, document.RootElement()));
    EXPECT_TRUE(parser == LoadShipped("Package manager log"));
    EXPECT_EQ(template_text(parser), u"<Time> <Action> <Package> <Details>");
    EXPECT_NE(page.find("&lt;Time&gt; &lt;Action&gt; &lt;Package&gt; &lt;Details&gt;"), std::string::npos);
}

} // namespace
