#include "glossant/dictionary_text.h"

#include "glossant/glossant.h"

std::u16string DictionaryText(std::u16string_view key)
{
    const char16_t* text = Glossant::GetDictionaryItem("dict", key);
    return text ? std::u16string(text) : std::u16string();
}
