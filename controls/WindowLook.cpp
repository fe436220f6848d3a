#include "controls/WindowLook.h"

#include <QFont>
#include <QPalette>
#include <QScreen>
#include <QWidget>

void applyWindowLook(QWidget& window) {
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, QColor(0xF8, 0xF7, 0xED));
    // Disabled controls keep the style's greyed text.
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, QColor(0x33, 0x33, 0x33));
        palette.setColor(group, QPalette::ButtonText, QColor(0x33, 0x33, 0x33));
    }
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    QFont font(QStringLiteral("Verdana"));
    font.setPixelSize(11);
    window.setFont(font);
}

void setOuterSize(QWidget& window, int width, int height) {
    const QSize frame = window.frameGeometry().size() - window.size();
    window.setFixedSize(width - frame.width(), height - frame.height());
}

void centreOnScreen(QWidget& window) {
    if (const QScreen* screen = window.screen()) {
        const QRect area = screen->availableGeometry();
        window.move(area.center() - QPoint(window.frameGeometry().width() / 2,
                                           window.frameGeometry().height() / 2));
    }
}
