#pragma once

#include <QPointer>
#include <QTemporaryFile>
#include <QWidget>
#include <string>

#include "update/OutputFollower.h"

class QPlainTextEdit;

// The updater's own messages, in a plain window captioned with its file name:
// on Linux the counterpart of the console window that Windows gives a console
// updater. Read-only; after the run it can be scrolled, copied from and closed.
class UpdaterOutputWindow : public QWidget {
  public:
    UpdaterOutputWindow(const QString& caption, QWidget* parent);
    void append(const QString& text);
    QString text() const;

  private:
    QPlainTextEdit* text_;
};

// An updater's standard output and error, sent to a temporary file (never a
// pipe, so that it may outlive the program) and read when the wait looks at
// the updater. The window opens with the first byte, as a child window of the
// modal window in front (the wizard), which would otherwise block it; an
// updater that writes nothing gets none. The window stays after the run.
class UpdaterOutputCapture {
  public:
    explicit UpdaterOutputCapture(const std::string& program);

    // Where the updater's output goes; empty when no file could be made.
    std::string path() const;
    // Shows what came since the last look.
    void look();
    UpdaterOutputWindow* window() const { return window_; }

  private:
    QTemporaryFile file_;
    std::unique_ptr<OutputFollower> follower_;
    QString caption_;
    QPointer<UpdaterOutputWindow> window_;
};
