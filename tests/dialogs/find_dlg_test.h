// The find dialog on its own: its controls, what a target change shows, the
// rule that restarts a search, the history, the colour swatch and the
// highlight and cancel buttons.
#pragma once

#include <QObject>

class find_dlg_test : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void Start_HiddenWithItsControlsAndNoTarget();
    void Target_ShowsTheFileSearchAndTheListColumns();
    void Target_GoneWithItsListOrWhenTheListShowsAnotherFile();
    void WildcardAndRegexp_ExcludeEachOther();
    void FindNext_RestartsOnlyWhenWhatIsSearchedChanged();
    void FindNext_EmptyExpressionAsksForOneAndStoresNothing();
    void FindNext_WildcardStaysAsTypedInTheFileAndTheHistory();
    void FindNext_EnterInTheExpressionBoxFindsOnce();
    void ColourButton_WritesTheSettingAtOnceAndCancelChangesNothing();
    void ClearHighlightAndCancel_KeepTheStoredSearch();
};
