#include "ui/ui_text.h"

#include "glossant/dictionary_text.h"

#include <QComboBox>

QString Text(std::u16string_view key)
{
    return ToQString(DictionaryText(key));
}

QString Literal(QString text)
{
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

QString IdObjectName(int id)
{
    return QLatin1String("id_") + QString::number(id);
}

int IdFromObjectName(const QString& name)
{
    if (!name.startsWith(QLatin1String("id_")))
        return 0;
    bool ok = false;
    const int id = name.mid(3).toInt(&ok);
    return ok && id > 0 ? id : 0;
}

void FillHistoryCombo(QComboBox& combo, const std::vector<std::u16string>& history)
{
    const QString text = combo.currentText();
    combo.clear();
    for (const std::u16string& entry : history)
        combo.addItem(ToQString(entry));
    if (combo.isEditable())
        combo.setEditText(text);
}
