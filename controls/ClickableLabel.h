#pragma once

#include <QLabel>
#include <functional>

// A label (text or picture) that runs an action when clicked, for links.
class ClickableLabel : public QLabel {
  public:
    using QLabel::QLabel;
    std::function<void()> onClick;

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};
