// The message presenter of the GUI: ShowMessage shows a real message box.
#pragma once

#include <QMessageBox>

#include <string>

// Installs the presenter that shows a QMessageBox (title: the application's
// title) over the active window.  Tests can replace it with their own
// presenter through SetMessagePresenter.
void InstallQtMessagePresenter();

// The pieces of the mapping, for the presenter and its tests.
QMessageBox::Icon MessageBoxIcon(unsigned flags);
QMessageBox::StandardButtons MessageBoxButtons(unsigned flags);
// IDOK 1, IDCANCEL 2, IDYES 6, IDNO 7 for the button pressed.
int MessageBoxResult(QMessageBox::StandardButton button);

// Fills box with text, icon, buttons (texts from the dictionary) and title.
void ConfigureMessageBox(QMessageBox& box, const std::u16string& text, unsigned flags);

// Shows a modal box over the active window and returns IDOK/IDCANCEL/IDYES/IDNO.
int ShowQtMessageBox(const std::u16string& text, unsigned flags);
