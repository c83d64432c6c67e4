// Opening a page or a document with the desktop's program for it (the
// help pages).  Tests replace the opener, for instance by one that finds no
// program, as on a machine without a web browser.
//
// Thread-safety: interface thread only.
#pragma once

#include <QUrl>

#include <functional>

// True when a program took url.
using document_opener = std::function<bool(const QUrl& url)>;

// Replaces the opener (null: the desktop's again); returns the one replaced.
document_opener SetDocumentOpener(document_opener opener);

// Opens url with the opener in force.
bool OpenDocument(const QUrl& url);
