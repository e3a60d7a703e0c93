#pragma once
// The window's type faces. The captions name faces that Linux desktops rarely have, so each
// family list ends in a face that carries Hangul.
#include <QFont>

namespace r7730 {

// Malgun Gothic-like face for captions, values and titles, at a pixel size.
QFont UiFont(int pixelSize, bool bold);
// Gulim-like default face of the window.
QFont DefaultFont(int pixelSize);
// Fixed-pitch face of the log view.
QFont LogFont(int pixelSize);

} // namespace r7730
