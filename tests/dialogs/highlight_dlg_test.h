#pragma once

#include <QObject>

// The highlight dialog, driven by keys and clicks: in-place editing of the
// selected rule, wildcard and regular expression excluding each other, the
// move buttons by position, grey rows whose example cell keeps the rule's
// colours (read from the painted list), the '&' column refusal, the recent
// rules and the favourites.
class highlight_dlg_test : public QObject {
    Q_OBJECT
private slots:
    void InPlaceEditing_WritesTheSelectedRow();
    void Wildcard_ClearsRegexpAndTheVerbFollows();
    void MoveButtons_EnabledByPosition();
    void MissingColumn_GreyButTheExampleKeepsItsColours();
    void Apply_ColumnWithAmpersandKeepsTheDialogOpenOnThatRow();
    void Recent_ReaddedInTheColoursOfANewRule();
    void Favorites_SavedChosenAndDeleted();
};
