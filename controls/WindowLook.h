#pragma once

class QWidget;

// The look the windows share: background RGB(248, 247, 237), Verdana 11 pixels,
// text RGB(51, 51, 51).
void applyWindowLook(QWidget& window);

class QFont;
// Verdana at 11 pixels, or where it is missing the face that stands in for it.
const QFont& windowFont();

#include <QMargins>
#include <QSize>

// Gives the window this outer size (frame included) and fixes it. A window
// manager puts its frame on only once the window is mapped, so the size is
// applied again whenever the frame becomes known or changes.
void setOuterSize(QWidget& window, int width, int height);

// The inner size that gives the outer size with this frame around it.
QSize innerSizeFor(QSize outer, QMargins frame);

// Places the window in the middle of its screen.
void centreOnScreen(QWidget& window);
