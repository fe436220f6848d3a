#include "controls/FlatButton.h"

#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace {

const QColor kBorder(0xB8, 0xB4, 0xA8);

}  // namespace

FlatButton::FlatButton(const QString& caption, QWidget* parent, QColor hover, QColor pressed)
    : QPushButton(caption, parent), hover_(hover), pressed_(pressed) {
    setAutoDefault(false);
    setDefault(false);
    setFlat(true);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);  // repainted as the mouse comes and goes
}

void FlatButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    if (isDown())
        painter.fillRect(rect(), pressed_);
    else if (underMouse() && isEnabled())
        painter.fillRect(rect(), hover_);
    painter.setPen(kBorder);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));

    QStyleOptionButton label;
    initStyleOption(&label);
    painter.drawControl(QStyle::CE_PushButtonLabel, label);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(2, 2, -2, -2);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}
