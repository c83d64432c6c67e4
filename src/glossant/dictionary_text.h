// The one way the rest of the system reads a localised text.
#pragma once

#include <string>
#include <string_view>

// The dictionary text of key in the section "dict"; empty when the key is
// unknown or no dictionary is loaded (a missing text counts
// as an empty text).  Safe on any thread.
std::u16string DictionaryText(std::u16string_view key);
