// Pieces the settings dialogs share: dictionary texts completed with values,
// the OK and Cancel buttons, field labels, and the moment taken as "now".
//
// Thread-safety: interface thread only.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

class QDialog;
class QDialogButtonBox;
class QLabel;
class QWidget;

// The dictionary text of key with each "%s" and "%d" replaced, in turn, by
// the next of values; "%%" becomes "%"; a placeholder left without a value
// stays as it is.
std::u16string FormatText(std::u16string_view key, std::initializer_list<std::u16string> values);

// The decimal text of number.
std::u16string NumberText(long long number);

// OK (id 1, the default button) and Cancel (id 2) wired to the dialog's
// accept and reject; without_cancel leaves Cancel out.
QDialogButtonBox* OkCancelButtons(QDialog& dialog, bool without_cancel = false);

// A plain-text label of key for buddy, aligned with the field's text.
QLabel* FieldLabel(QWidget* parent, std::u16string_view key, QWidget* buddy);

// The moment the dialogs take as "now", in seconds since the epoch.  Tests
// fix it with SetDialogClock (an empty function restores the system clock);
// the previous clock is returned.
using dialog_clock = std::function<int64_t()>;
dialog_clock SetDialogClock(dialog_clock clock);
int64_t DialogNow();
