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
    if (!m_root.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    const QString install = m_root.filePath(QStringLiteral("install"));
    QDir().mkpath(install);
    QDir().mkpath(ScratchFolder());
    CopyResource(QStringLiteral("dict"), install);
    CopyResource(QStringLiteral("icons"), install);

    app_environment environment;
    environment.module_path = FromQString(install + QStringLiteral("/varnoth"));
    environment.common_data_folder = FromQString(m_root.filePath(QStringLiteral("common")));
    m_app = std::make_unique<CVarnothApp>(environment);
    if (!m_app->InitializeDictionary()) {
        m_error = QStringLiteral("the dictionary library did not initialise");
        return;
    }
    if (!m_app->LoadDictionary()) {
        m_error = QStringLiteral("the dictionary did not load from ") + install + QStringLiteral("/dict");
        return;
    }
    m_app->BuildTitle();
    // Start from a known placement: not maximised, no rectangle.
    m_app->settings.main_wnd_maximized = false;
    m_app->settings.main_wnd_rect = window_rect{};
    m_ready = true;
}

ui_test_environment::~ui_test_environment()
{
    if (m_app)
        m_app->ExitInstance();
}

QString ui_test_environment::ScratchFolder() const
{
    return m_root.filePath(QStringLiteral("scratch"));
}
