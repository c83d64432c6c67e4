#include "ui_test_environment.h"

#include "ui/ui_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// Copies every file of from (not recursing) into to; false when from has none.
bool CopyFolder(const QString& from, const QString& to)
{
    const QDir source(from);
    const QStringList names = source.entryList(QDir::Files);
    if (names.isEmpty())
        return false;
    QDir().mkpath(to);
    for (const QString& name : names)
        QFile::copy(source.filePath(name), QDir(to).filePath(name));
    return true;
}

void CopyResource(const QString& sub, const QString& install)
{
    if (!CopyFolder(QStringLiteral(VARNOTH_BIN_DIR "/") + sub, install + QLatin1Char('/') + sub))
        CopyFolder(QStringLiteral(VARNOTH_SOURCE_RESOURCES "/") + sub, install + QLatin1Char('/') + sub);
}

} // namespace

ui_test_environment::ui_test_environment()
{
    if (!root_.isValid()) {
        error_ = QStringLiteral("no temporary folder");
        return;
    }
    const QString install = root_.filePath(QStringLiteral("install"));
    QDir().mkpath(install);
    QDir().mkpath(ScratchFolder());
    CopyResource(QStringLiteral("dict"), install);
    CopyResource(QStringLiteral("icons"), install);

    app_environment environment;
    environment.module_path = FromQString(install + QStringLiteral("/varnoth"));
    environment.common_data_folder = FromQString(root_.filePath(QStringLiteral("common")));
    app_ = std::make_unique<CVarnothApp>(environment);
    if (!app_->InitializeDictionary()) {
        error_ = QStringLiteral("the dictionary library did not initialise");
        return;
    }
    if (!app_->LoadDictionary()) {
        error_ = QStringLiteral("the dictionary did not load from ") + install + QStringLiteral("/dict");
        return;
    }
    app_->BuildTitle();
    // Start from a known placement: not maximised, no rectangle.
    app_->settings.main_wnd_maximized = false;
    app_->settings.main_wnd_rect = window_rect{};
    ready_ = true;
}

ui_test_environment::~ui_test_environment()
{
    if (app_)
        app_->ExitInstance();
}

QString ui_test_environment::ScratchFolder() const
{
    return root_.filePath(QStringLiteral("scratch"));
}
