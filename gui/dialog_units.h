// Dialog units: the font-relative measure of classic dialog templates. One horizontal
// unit is a quarter of the font's average character width, one vertical unit an eighth
// of its height, so a window sized in them keeps its proportions at any font.
#pragma once

#include <QFont>
#include <QSize>

namespace klova {

// The size in pixels of width x height dialog units at font.
QSize DialogUnitsToPixels(const QFont& font, int width, int height);

}  // namespace klova
