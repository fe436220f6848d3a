#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

// Ends the program as soon as the window is first exposed, so that a run
// measures the start-up to the first shown window and nothing more.
class QuitAtFirstExposure : public QObject {
  public:
    explicit QuitAtFirstExposure(QWidget& window) {
        window.winId();
        window.windowHandle()->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed())
            QCoreApplication::exit(0);
        return false;
    }
};
