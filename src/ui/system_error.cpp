#include "ui/system_error.h"

#include "glossant/dictionary_text.h"
#include "platform/strings.h"

#include <cstring>
#include <string>

namespace {

constexpr std::size_t kMaxErrorTextLength = 1024;

// strerror_r in either of its two C library forms.
[[maybe_unused]] const char* ErrorString(int result, const char* buffer)
{
    return result == 0 ? buffer : nullptr;
}
[[maybe_unused]] const char* ErrorString(const char* result, const char*)
{
    return result;
}

} // namespace

std::u16string SystemErrorText(int code)
{
    if (code > 0) {
        char buffer[kMaxErrorTextLength + 1] = {};
        const char* text = ErrorString(strerror_r(code, buffer, sizeof buffer), buffer);
        // The C library invents "Unknown error N" for codes it does not know.
        if (text && *text && std::strncmp(text, "Unknown error", 13) != 0) {
            std::u16string wide = FromUtf8(text);
            if (wide.size() > kMaxErrorTextLength)
                wide.resize(kMaxErrorTextLength);
            return wide;
        }
    }
    return DictionaryText(u"IDS_MSG_UNKNOWN_ERROR");
}
