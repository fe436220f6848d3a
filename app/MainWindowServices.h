#pragma once

// What the dialogs ask of the main window, each handed over once when the
// dialog is built, so that no dialog reaches for the main window itself.

// The recomputing of the document paths after the project folder changed,
// for New project.
class ProjectPathsKeeper {
  public:
    virtual ~ProjectPathsKeeper() = default;
    virtual void SetProjectPaths() = 0;
};
