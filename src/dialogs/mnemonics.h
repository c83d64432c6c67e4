// Keyboard letters for the controls of a dialog, chosen from their texts so
// that no two controls of one dialog share a letter, whatever language the
// dictionary is in.
//
// Thread-safety: interface thread only.
#pragma once

#include <QString>

#include <vector>

class QWidget;

// The texts with a "&" before the letter each one takes: the first letter or
// digit of a word whose character (compared without regard to case) no
// earlier text took, else any such letter or digit; when every one is taken,
// earlier texts move to other letters of their own where that frees one; else
// none.  A literal
// "&" in a text is doubled, so it still shows as "&".
std::vector<QString> WithMnemonics(const std::vector<QString>& texts);

// Gives the controls of dialog letters of their own: first the labels with a
// buddy (except those without a letter), then the check boxes and radio
// buttons, then the push buttons, each kind in the order it was created.
// OK, Cancel and Close (ids 1 and 2) get none: Enter and Esc are theirs.
// Call once, after every text is set.
void AssignMnemonics(QWidget* dialog);
