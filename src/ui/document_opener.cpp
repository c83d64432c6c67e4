#include "ui/document_opener.h"

#include <QDesktopServices>

namespace {

bool OpenWithDesktop(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

document_opener& Opener()
{
    static document_opener opener = OpenWithDesktop;
    return opener;
}

} // namespace

document_opener SetDocumentOpener(document_opener opener)
{
    document_opener old = Opener();
    Opener() = opener ? std::move(opener) : document_opener(OpenWithDesktop);
    return old;
}

bool OpenDocument(const QUrl& url)
{
    return Opener()(url);
}
