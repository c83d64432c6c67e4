#include "format_test_support.h"

#include "xml/xml_file.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

std::string ElementText(const tagDATA_FORMAT& format)
{
    std::unique_ptr<TiXmlElement> element(DataFormatToXml(format));
    if (!element)
        return "<none>";
    TiXmlPrinter printer;
    printer.SetStreamPrinting();
    element->Accept(&printer);
    return printer.Str();
}

std::unique_ptr<TiXmlElement> ParseElement(const std::string& xml)
{
    InitXmlServices();
    TiXmlDocument document;
    document.Parse(xml.c_str(), nullptr, TIXML_ENCODING_UTF8);
    if (document.Error() || !document.RootElement())
        return nullptr;
    return std::unique_ptr<TiXmlElement>(static_cast<TiXmlElement*>(document.RootElement()->Clone()));
}

TEST(DataFormatToXml, WritesExactlyTheChildrenOfTheDataType)
{
    tagDATA_FORMAT text;
    tagDATA_FORMAT numeric = NumericFormat(3, true);
    tagDATA_FORMAT datetime = DateTimeFormat(u"Y-m-d H:M:S.s", u"Deutsch");
    tagDATA_FORMAT empty_language = DateTimeFormat(u"d/b/Y");
    tagDATA_FORMAT unknown;
    unknown.data_type = 4;
    tagDATA_FORMAT negative;
    negative.data_type = -1;

    const std::pair<tagDATA_FORMAT, std::string> cases[] = {
        {text, "<data_format><data_type>text</data_type></data_format>"},
        {numeric, "<data_format><data_type>numeric</data_type><separator_1000>1</separator_1000>"
                  "<digit_count>3</digit_count></data_format>"},
        {Ipv4Format(), "<data_format><data_type>ipv4</data_type></data_format>"},
        {datetime, "<data_format><data_type>datetime</data_type><format>Y-m-d H:M:S.s</format>"
                   "<language>Deutsch</language></data_format>"},
        {empty_language, "<data_format><data_type>datetime</data_type><format>d/b/Y</format>"
                         "<language></language></data_format>"},
        {unknown, "<none>"},
        {negative, "<none>"},
    };
    for (const auto& [format, expected] : cases)
        EXPECT_EQ(ElementText(format), expected);
}

struct from_xml_case {
    const char* name;
    std::string xml;
    bool ok;
    int32_t data_type;
    bool separator;
    uint8_t digit_count;
    std::u16string format;
    std::u16string language;
};

TEST(DataFormatFromXml, ReadsEachTypeAndRefusesWhatIsMissing)
{
    const std::u16string def = u"d/b/Y H:M:S";
    const from_xml_case cases[] = {
        {"text", "<data_format><data_type>text</data_type></data_format>", true, 0, false, 0, def, u""},
        {"numeric",
         "<data_format><data_type>numeric</data_type><separator_1000>1</separator_1000>"
         "<digit_count>4</digit_count></data_format>",
         true, 1, true, 4, def, u""},
        {"digit count capped",
         "<data_format><data_type>numeric</data_type><separator_1000>0</separator_1000>"
         "<digit_count>20</digit_count></data_format>",
         true, 1, false, 15, def, u""},
        {"digit count 15",
         "<data_format><data_type>numeric</data_type><separator_1000>7</separator_1000>"
         "<digit_count>15</digit_count></data_format>",
         true, 1, true, 15, def, u""},
        {"negative digit count",
         "<data_format><data_type>numeric</data_type><separator_1000>0</separator_1000>"
         "<digit_count>-3</digit_count></data_format>",
         true, 1, false, 0, def, u""},
        {"huge digit count",
         "<data_format><data_type>numeric</data_type><separator_1000>0</separator_1000>"
         "<digit_count>99999999999999999999</digit_count></data_format>",
         true, 1, false, 15, def, u""},
        {"empty children keep fields",
         "<data_format><data_type>numeric</data_type><separator_1000></separator_1000>"
         "<digit_count/></data_format>",
         true, 1, false, 0, def, u""},
        {"no separator", "<data_format><data_type>numeric</data_type><digit_count>2</digit_count></data_format>", false,
         1, false, 0, def, u""},
        {"no digit count",
         "<data_format><data_type>numeric</data_type><separator_1000>1</separator_1000>"
         "</data_format>",
         false, 1, false, 0, def, u""},
        {"ipv4", "<data_format><data_type>ipv4</data_type></data_format>", true, 2, false, 0, def, u""},
        {"datetime",
         "<data_format><data_type>datetime</data_type><format>H:M</format>"
         "<language>Fran\xC3\xA7"
         "ais</language></data_format>",
         true, 3, false, 0, u"H:M", u"Fran\u00E7ais"},
        {"datetime empty language",
         "<data_format><data_type>datetime</data_type><format>Y</format>"
         "<language></language></data_format>",
         true, 3, false, 0, u"Y", u""},
        {"datetime no language", "<data_format><data_type>datetime</data_type><format>Y</format></data_format>", false,
         3, false, 0, def, u""},
        {"datetime no format", "<data_format><data_type>datetime</data_type><language>x</language></data_format>",
         false, 3, false, 0, def, u""},
        {"capital N",
         "<data_format><data_type>Numeric</data_type><separator_1000>1</separator_1000>"
         "<digit_count>2</digit_count></data_format>",
         false, 0, false, 0, def, u""},
        {"unknown type", "<data_format><data_type>hex</data_type></data_format>", false, 0, false, 0, def, u""},
        {"empty type", "<data_format><data_type></data_type></data_format>", false, 0, false, 0, def, u""},
        {"no type", "<data_format></data_format>", false, 0, false, 0, def, u""},
        {"wrong element", "<dataformat><data_type>text</data_type></dataformat>", false, 0, false, 0, def, u""},
    };
    for (const auto& c : cases) {
        const auto element = ParseElement(c.xml);
        ASSERT_TRUE(element) << c.name;
        tagDATA_FORMAT format;
        EXPECT_EQ(DataFormatFromXml(format, element.get()), c.ok) << c.name;
        EXPECT_EQ(format.data_type, c.data_type) << c.name;
        EXPECT_EQ(format.separator_1000, c.separator) << c.name;
        EXPECT_EQ(format.digit_count, c.digit_count) << c.name;
        EXPECT_TRUE(format.format == c.format) << c.name;
        EXPECT_TRUE(format.language == c.language) << c.name;
    }
    tagDATA_FORMAT format;
    EXPECT_FALSE(DataFormatFromXml(format, nullptr));
}

TEST(DataFormatXml, WriteThenReadGivesTheSameFormat)
{
    tagDATA_FORMAT spaced = DateTimeFormat(u" d b Y ", u"  ");
    tagDATA_FORMAT special = DateTimeFormat(u"<Y>&\"m\"'d'\tH", u"\u65E5\u672C\u8A9E");
    const tagDATA_FORMAT formats[] = {
        tagDATA_FORMAT{}, NumericFormat(0), NumericFormat(15, true), Ipv4Format(), DateTimeFormat(u"d/b/Y H:M:S"),
        spaced,           special};
    for (const auto& original : formats) {
        std::unique_ptr<TiXmlElement> written(DataFormatToXml(original));
        ASSERT_TRUE(written);
        // Through the document text, as a parser file stores it.
        const auto element = ParseElement(XmlDocumentText(*written));
        ASSERT_TRUE(element);
        tagDATA_FORMAT read;
        ASSERT_TRUE(DataFormatFromXml(read, element.get()));
        EXPECT_TRUE(read == original) << Narrow(original.format);
    }
}

} // namespace
