#include "xml/xml_file.h"

#include "platform/files.h"
#include "platform/strings.h"

#include <climits>
#include <cstdio>
#include <mutex>

void InitXmlServices()
{
    static std::once_flag once;
    std::call_once(once, [] { TiXmlBase::SetCondenseWhiteSpace(false); });
}

std::unique_ptr<TiXmlElement> LoadXmlFile(std::u16string_view path)
{
    InitXmlServices();
    if (path.empty())
        return nullptr;
    if (!IsReadableFile(path))
        return nullptr;
    FILE* file = std::fopen(NativePath(path).c_str(), "rb");
    if (!file)
        return nullptr;
    TiXmlDocument document;
    const bool loaded = document.LoadFile(file);
    std::fclose(file);
    if (!loaded)
        return nullptr;
    const TiXmlElement* root = document.RootElement();
    if (!root)
        return nullptr;
    return std::unique_ptr<TiXmlElement>(static_cast<TiXmlElement*>(root->Clone()));
}

std::string XmlDocumentText(const TiXmlElement& element)
{
    TiXmlDocument document;
    document.LinkEndChild(new TiXmlDeclaration("1.0", "UTF-8", ""));
    document.InsertEndChild(element);
    TiXmlPrinter printer;
    printer.SetIndent("    ");
    printer.SetLineBreak("\n");
    document.Accept(&printer);
    return printer.Str();
}

bool SaveXmlFile(const TiXmlElement* element, std::u16string_view path)
{
    InitXmlServices();
    if (!element || element->ValueStr().empty() || path.empty())
        return false;
    return WriteFileAtomically(path, XmlDocumentText(*element));
}

bool ReadXmlChildText(const TiXmlElement* parent, const char* name, std::u16string& text)
{
    if (!parent)
        return false;
    const TiXmlElement* child = parent->FirstChildElement(name);
    if (!child)
        return false;
    const char* value = child->GetText();
    if (!value)
        return false;
    text = FromUtf8(value);
    return true;
}

bool ReadXmlChildInteger(const TiXmlElement* parent, const char* name, long long& value)
{
    std::u16string text;
    if (!ReadXmlChildText(parent, name, text))
        return false;
    std::size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    long long magnitude = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        magnitude = magnitude > (LLONG_MAX - 9) / 10 ? LLONG_MAX : magnitude * 10 + (text[i] - u'0');
    value = negative ? -magnitude : magnitude;
    return true;
}

void AddXmlTextChild(TiXmlElement* parent, const char* name, std::u16string_view text)
{
    auto* child = new TiXmlElement(name);
    auto* node = new TiXmlText(ToUtf8(text));
    // The XML reader drops a text made only of white space (even with
    // condensing off), so a separator such as a tab or a blank is stored as a
    // character-data section, which it keeps.
    bool blank = !text.empty();
    for (char16_t c : text)
        if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\r')
            blank = false;
    node->SetCDATA(blank);
    child->LinkEndChild(node);
    parent->LinkEndChild(child);
}
