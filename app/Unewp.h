#pragma once

#include <QDialog>
#include <string>

#include "app/MainWindowServices.h"

class FlatButton;
class QLabel;
class QLineEdit;

// The New project dialog: asks for a name, creates the project folder with its
// bin folder and default documents, and makes the project current.
class TFsaveproj : public QDialog {
  public:
    explicit TFsaveproj(QWidget* parent = nullptr);

    // Who recomputes the document paths for the new project: the main window.
    ProjectPathsKeeper* projectPaths = nullptr;

    QLabel* Label1;
    QLineEdit* Edit1;
    FlatButton* bitbtn1;
    FlatButton* bitbtn2;

    // Where the new project folder is made; set by the caller before showing.
    std::string destinationFolder;
    // The name as typed.
    std::string newProjectName;
    // Whether the dialog may close now; set only by the two buttons.
    bool closeAllowed = false;

    void BitBtn1Click();
    void BitBtn2Click();
    bool FormCloseQuery() const { return closeAllowed; }

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void FormCreate();
    void FormShow();
};
