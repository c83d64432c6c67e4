// Reading and writing the XML data files (settings, parsers, favourites,
// histories, date-time languages).  Element text is UTF-8 in the files and
// UTF-16 in the engine; these helpers convert at every read and write.
#pragma once

#include <tinyxml.h>

#include <memory>
#include <string>
#include <string_view>

// Turns off the XML library's white-space condensing, which would turn a tab
// or a run of blanks stored in an element into something else.  Safe to call
// more than once; LoadXmlFile calls it too.
void InitXmlServices();

// A copy of the document's first element, or null when the path is empty or
// the file does not load.
std::unique_ptr<TiXmlElement> LoadXmlFile(std::u16string_view path);

// Writes a document made of the declaration (version "1.0", encoding "UTF-8")
// and a copy of element, indented, without a byte-order mark.  False, and
// nothing written, when element is null or unnamed or path is empty.  The
// file is written completely under a temporary name and renamed into place,
// so a failed write leaves the previous file as it was.
bool SaveXmlFile(const TiXmlElement* element, std::u16string_view path);

// The document text SaveXmlFile writes for element.
std::string XmlDocumentText(const TiXmlElement& element);

// The text of the first child element called name, converted from UTF-8.
// False (text untouched) when the child is missing or has no text.
bool ReadXmlChildText(const TiXmlElement* parent, const char* name, std::u16string& text);

// The text of the first child element called name read as the C library
// reads a decimal integer: optional leading white space and sign, then digits
// up to the first other character; 0 when no digit comes first; saturating.
// False (value untouched) when the child is missing or has no text.
bool ReadXmlChildInteger(const TiXmlElement* parent, const char* name, long long& value);

// Appends <name>text</name> to parent.
void AddXmlTextChild(TiXmlElement* parent, const char* name, std::u16string_view text);
