#pragma once

#include <QObject>

// The date-time language list and editor: every check of the editor in its
// order with its message and focus, the field limits, and the list's add,
// edit, rename and remove on the language table (changed only through OK).
class language_dlg_test : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void Editor_ChecksInOrderWithTheirMessagesAndFocus();
    void Editor_LimitsTypingButKeepsLongerNamesItWasGiven();
    void List_AddsEditsRenamesAndRemovesThroughTheTable();
    void List_StartsUsableWhenTheLanguageFileDidNotLoad();
};
