#include "ui/system_error.h"

#include "work/output_file.h"

std::u16string SystemErrorText(int code)
{
    // One text for every errno code, whether the export job or a dialog shows it.
    return ErrorCodeText(code);
}
