#pragma once

#include <QColor>
#include <QPushButton>

// Flat push button with a thin border that changes colour under the mouse and
// while pressed. It paints itself (no style sheet) and never acts as a
// default button, so Enter does not press it.
class FlatButton : public QPushButton {
  public:
    FlatButton(const QString& caption, QWidget* parent, QColor hover = QColor(0xFF, 0xE0, 0x80),
               QColor pressed = QColor(0xFF, 0xC8, 0x40));

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor hover_;
    QColor pressed_;
};
