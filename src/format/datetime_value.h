// The date-time branch of ParseDataValue and FormatDataValue.
#pragma once

#include "format/data_format.h"

// Parses text[0..length) with format.format and format.language into value
// (which the caller has zeroed).
void ParseDateTimeValue(tagDATA_VALUE& value, const char16_t* text, std::size_t length, const tagDATA_FORMAT& format);

bool FormatDateTimeValue(const tagDATA_VALUE& value, const tagDATA_FORMAT& format, std::u16string& text);
