#include "shell/web_links.h"

#include "platform/message_box.h"
#include "ui/system_error.h"
#include "ui/ui_text.h"
#include "varnoth_version.h"

#include <QDesktopServices>

namespace {

url_opener& Opener()
{
    static url_opener opener;
    return opener;
}

// Query values travel percent-encoded, so that a target or version with
// "&" or "=" cannot change the query's keys.
std::u16string QueryValue(std::u16string_view text)
{
    return FromQString(QString::fromLatin1(QUrl::toPercentEncoding(ToQString(text))));
}

bool OpenOrReport(const std::u16string& address)
{
    if (OpenAddress(QUrl(ToQString(address))))
        return true;
    // The desktop gives no reason; say what could not be opened.
    ShowMessage(SystemErrorText(0) + u"\n" + address, MB_OK | MB_ICONERROR);
    return false;
}

} // namespace

std::u16string VisitAddress(std::u16string_view site, std::u16string_view target, std::u16string_view version)
{
    return std::u16string(site) + u"/script/product_visit.php?" + u"p=" + std::u16string(kWebProductKey) + u"&v="
           + QueryValue(version) + u"&target=" + QueryValue(target);
}

std::u16string VersionCheckAddress(std::u16string_view site)
{
    return std::u16string(site) + u"/script/version_check.php" + u"?p=" + std::u16string(kWebProductKey);
}

uint32_t ReadHexNumber(std::string_view bytes)
{
    std::size_t i = 0;
    while (i < bytes.size() && (bytes[i] == ' ' || (bytes[i] >= '\t' && bytes[i] <= '\r')))
        ++i;
    uint64_t value = 0;
    for (; i < bytes.size(); ++i) {
        const char c = bytes[i];
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            break;
        value = value * 16 + static_cast<uint64_t>(digit);
        if (value > 0xFFFFFFFFu)
            value = 0xFFFFFFFFu + uint64_t{1}; // stays past the limit from here on
    }
    return value > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(value);
}

url_opener SetUrlOpener(url_opener opener)
{
    url_opener previous = std::move(Opener());
    Opener() = std::move(opener);
    return previous;
}

bool OpenAddress(const QUrl& address)
{
    if (const url_opener& opener = Opener())
        return opener(address);
    return QDesktopServices::openUrl(address);
}

bool OpenWebPage(std::u16string_view site, std::u16string_view target)
{
    const std::u16string version = FromQString(QString::fromLatin1(kVarnothVersion));
    return OpenOrReport(VisitAddress(site, target, version));
}

bool OpenMailTo(std::u16string_view address)
{
    if (address.empty())
        return false;
    return OpenOrReport(u"mailto:" + std::u16string(address));
}
