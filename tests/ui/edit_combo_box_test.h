#pragma once

#include <QObject>

// The editable drop-down: what it reports, that it never completes by
// itself, and that its caret and selection survive focus changes.
class edit_combo_box_test : public QObject {
    Q_OBJECT
private slots:
    void EditChange_ReportsEveryUserChangeOnly();
    void Typing_IsNeverCompletedFromTheList();
    void Selection_KeptAcrossFocusChanges();
    void Selection_LeftwardsKeepsTheCaretAtItsStart();
};
