// The maker's web pages and the version check: the addresses, built from the
// configured site address, and the opening of addresses in the desktop's
// browser or mail program.
//
//   site + "/script/product_visit.php?p=vrnt&v=<version>&target=<target>"
//   site + "/script/version_check.php?p=vrnt"
//
// Thread-safety: interface thread only.
#pragma once

#include <QUrl>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// The words of the four pages the visit address leads to.
inline constexpr std::u16string_view kWebTargetHelp = u"help";
inline constexpr std::u16string_view kWebTargetFeedback = u"feedback";
inline constexpr std::u16string_view kWebTargetDownload = u"download";
inline constexpr std::u16string_view kWebTargetProduct = u"product";

// The product's short name in the query strings.
inline constexpr std::u16string_view kWebProductKey = u"vrnt";

// The visit address of target on site, with version as "v".
std::u16string VisitAddress(std::u16string_view site, std::u16string_view target, std::u16string_view version);
// The address that answers the latest version number.
std::u16string VersionCheckAddress(std::u16string_view site);

// Reads the first bytes of an answer as a hexadecimal number: leading white
// space, then hexadecimal digits up to the first other character.  0 when no
// digit comes first; a number past 32 bits reads as 0xFFFFFFFF.
uint32_t ReadHexNumber(std::string_view bytes);

// Opens address in the desktop's program for it; false when the desktop
// found none.  Tests replace the opener (an empty function restores the
// desktop's); the previous opener is returned.
using url_opener = std::function<bool(const QUrl& address)>;
url_opener SetUrlOpener(url_opener opener);
bool OpenAddress(const QUrl& address);

// Opens the visit address of target on site in the browser; a failure shows
// the system's message with the address (error icon).  False on failure.
bool OpenWebPage(std::u16string_view site, std::u16string_view target);

// Opens a new mail message to address ("mailto:"); nothing happens for an
// empty address.  A failure shows the system's message (error icon).
bool OpenMailTo(std::u16string_view address);
