#include "controls/FlatButton.h"

FlatButton::FlatButton(const QString& caption, QWidget* parent, QColor hover, QColor pressed)
    : QPushButton(caption, parent) {
    setAutoDefault(false);
    setDefault(false);
    setFlat(true);
    setCursor(Qt::PointingHandCursor);
    setStyleSheet(
        QStringLiteral("QPushButton { border: 1px solid #b8b4a8; background: transparent; }"
                       "QPushButton:hover { background: %1; }"
                       "QPushButton:pressed { background: %2; }")
            .arg(hover.name(), pressed.name()));
}
