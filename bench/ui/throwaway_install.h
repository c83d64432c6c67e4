// A throw-away installation for a benchmark that runs the whole viewer:
// the dictionary copied from the build, an empty common data folder and the
// lock files kept inside root; and message boxes answered OK and printed.
#pragma once

#include "platform/message_box.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <filesystem>
#include <string>

inline void MakeThrowAwayInstall(const std::filesystem::path& root)
{
    namespace fs = std::filesystem;
    fs::create_directories(root / "install" / "dict");
    fs::create_directories(root / "common");
    fs::copy_file(fs::path(VARNOTH_BIN_DIR) / "dict" / "en.lc", root / "install" / "dict" / "en.lc");
    qputenv("VARNOTH_RUNTIME_DIR", QByteArray::fromStdString((root / "run").string()));
}

// Every message box the viewer shows is printed on stderr and answered OK.
inline void PrintMessagesAndAnswerOk()
{
    SetMessagePresenter([](const std::u16string& text, unsigned) {
        std::fprintf(stderr, "message: %s\n", QString::fromStdU16String(text).toUtf8().constData());
        return IDOK;
    });
}
