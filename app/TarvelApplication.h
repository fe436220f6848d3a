#pragma once

#include <QApplication>

// The application object; what no handler caught ends in the general error
// report instead of ending the program.
class TarvelApplication : public QApplication {
  public:
    TarvelApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
