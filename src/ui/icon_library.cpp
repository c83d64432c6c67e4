#include "ui/icon_library.h"

#include <QDir>
#include <QFileInfo>

icon_library::icon_library(const QString& folder)
{
    const QFileInfoList files =
        QDir(folder).entryInfoList({QStringLiteral("*.svg"), QStringLiteral("*.png")}, QDir::Files, QDir::Name);
    for (const QFileInfo& file : files) {
        const QString name = file.fileName();
        const qsizetype dash = name.indexOf(QLatin1Char('-'));
        if (dash <= 0)
            continue;
        bool ok = false;
        const int id = name.left(dash).toInt(&ok);
        // An SVG wins over a PNG of the same id (sorted by name, .png before .svg).
        if (ok && (!m_paths.contains(id) || name.endsWith(QLatin1String(".svg"))))
            m_paths.insert(id, file.absoluteFilePath());
    }
}

QString icon_library::Path(int id) const
{
    return m_paths.value(id);
}

QIcon icon_library::Icon(int id) const
{
    if (auto it = m_cache.constFind(id); it != m_cache.constEnd())
        return *it;
    const QString path = Path(id);
    QIcon icon = path.isEmpty() ? QIcon() : QIcon(path);
    m_cache.insert(id, icon);
    return icon;
}

QIcon icon_library::CheckIcon(int off_id, int on_id) const
{
    const QString off = Path(off_id);
    const QString on = Path(on_id);
    QIcon icon;
    if (!off.isEmpty())
        icon.addFile(off, QSize(), QIcon::Normal, QIcon::Off);
    if (!on.isEmpty())
        icon.addFile(on, QSize(), QIcon::Normal, QIcon::On);
    return icon;
}
