// Small helpers at the edge between the engine's UTF-16 strings and Qt.
#pragma once

#include <QString>

#include <string>
#include <string_view>
#include <vector>

// UTF-16 text to and from QString (the same representation).
inline QString ToQString(std::u16string_view text)
{
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}
inline std::u16string FromQString(const QString& text)
{
    return text.toStdU16String();
}

// The dictionary text of key (empty when the key is unknown).
QString Text(std::u16string_view key);

// A text shown literally in a menu or on a button: "&" is not a mnemonic.
QString Literal(QString text);

// The objectName of a widget or action with a control or command id: "id_<id>".
QString IdObjectName(int id);
// The id of such an objectName; 0 when name does not follow the scheme.
int IdFromObjectName(const QString& name);

class QComboBox;

// Replaces the items of an expression box's drop-down list with history, in
// order (newest first); the box's edit text is left as it is.
void FillHistoryCombo(QComboBox& combo, const std::vector<std::u16string>& history);
