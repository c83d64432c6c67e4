// A throw-away installation for a benchmark that runs the whole viewer:
// the dictionary copied from the build, an empty common data folder and the
// lock files kept inside root.
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <filesystem>

inline void MakeThrowAwayInstall(const std::filesystem::path& root)
{
    namespace fs = std::filesystem;
    fs::create_directories(root / "install" / "dict");
    fs::create_directories(root / "common");
    fs::copy_file(fs::path(VARNOTH_BIN_DIR) / "dict" / "en.lc", root / "install" / "dict" / "en.lc");
    qputenv("VARNOTH_RUNTIME_DIR", QByteArray::fromStdString((root / "run").string()));
}
