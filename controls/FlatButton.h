#pragma once

#include <QColor>
#include <QPushButton>

// Flat push button that changes colour under the mouse. It never acts as a
// default button, so Enter does not press it.
class FlatButton : public QPushButton {
  public:
    FlatButton(const QString& caption, QWidget* parent, QColor hover = QColor(0xFF, 0xE0, 0x80),
               QColor pressed = QColor(0xFF, 0xC8, 0x40));
};
