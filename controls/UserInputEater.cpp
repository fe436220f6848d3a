#include "controls/UserInputEater.h"

#include <QCoreApplication>
#include <QEvent>

UserInputEater::UserInputEater() {
    QCoreApplication::instance()->installEventFilter(this);
}

UserInputEater::~UserInputEater() {
    QCoreApplication::instance()->removeEventFilter(this);
}

bool UserInputEater::eventFilter(QObject*, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::Close:
            return true;
        default:
            return false;
    }
}
