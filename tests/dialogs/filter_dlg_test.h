#pragma once

#include <QObject>

// The filter dialog, the condition dialog and the text dialog, driven by
// keys and clicks with scripted message boxes: the condition checks in
// their order, Generate by column type, add mode staying open, one row for
// a repeated condition, grey rows, favourites and the recent conditions.
class filter_dlg_test : public QObject {
    Q_OBJECT
private slots:
    void EditDlg_ChecksInTheirOrderWithTheirMessages();
    void EditDlg_GenerateFollowsTheColumnType();
    void FilterDlg_AddModeStaysOpenAndARepeatedConditionLeavesOneSelectedRow();
    void FilterDlg_ConditionOnAMissingColumnIsGrey();
    void FilterDlg_RemoveEditAndButtons();
    void FilterDlg_FavoriteNamesRefusedAndOverwrittenIgnoringCase();
    void FilterDlg_ApplyWithElevenConditionsKeepsTenRecentLastFirst();
    void FilterDlg_RecentMenuAddsACopy();
    void TextInputDlg_OkOnlyWithText();
};
