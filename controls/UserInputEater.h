#pragma once

#include <QObject>

// Eats every operator input to every window of the program while it lives:
// during a wait that lets the windows paint (an updater run, a project lock),
// input must neither act at once nor wait in the queue to act afterwards.
class UserInputEater : public QObject {
  public:
    UserInputEater();
    ~UserInputEater() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
