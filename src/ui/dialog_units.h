// Dialog units: the font-relative measure that dialog layouts are given in.
// A horizontal unit is a quarter of the font's average character width (the
// mean advance of the 52 ASCII letters), a vertical unit an eighth of its
// height.
#pragma once

class QFontMetrics;

// Pixels of units horizontal dialog units of the font; at least 1 when units > 0, 0 otherwise.
int DialogUnitsX(const QFontMetrics& metrics, int units);
// Pixels of units vertical dialog units of the font; at least 1 when units > 0, 0 otherwise.
int DialogUnitsY(const QFontMetrics& metrics, int units);
