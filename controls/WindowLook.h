#pragma once

class QWidget;

// The look the windows share: background RGB(248, 247, 237), Verdana 11 pixels,
// text RGB(51, 51, 51).
void applyWindowLook(QWidget& window);

// Gives the window this outer size (frame included) and fixes it.
void setOuterSize(QWidget& window, int width, int height);

// Places the window in the middle of its screen.
void centreOnScreen(QWidget& window);
