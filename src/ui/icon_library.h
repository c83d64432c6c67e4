// The application's icons, found by resource id in the installation's icons
// folder: a file named "<id>-<name>.svg" (or .png) is icon <id>.
//
// Thread-safety: interface thread only.
#pragma once

#include <QHash>
#include <QIcon>
#include <QString>

class icon_library {
public:
    explicit icon_library(const QString& folder);

    // The path of icon id; empty when the folder has no such file.
    QString Path(int id) const;
    // The icon of id; a null icon when it is missing.
    QIcon Icon(int id) const;
    // A two-state icon for check buttons: off_id normally, on_id when checked.
    QIcon CheckIcon(int off_id, int on_id) const;

private:
    QHash<int, QString> m_paths;
    mutable QHash<int, QIcon> m_cache;
};
