#pragma once

#include <QWidget>
#include <functional>
#include <string>

#include "app/MainWindowServices.h"
#include "documents/XmlDocument.h"
#include "update/UpdaterLauncher.h"
#include "update/UpdaterRunner.h"

class FlatButton;
class ClickableLabel;
class QLabel;

// The main window: the hub of the workflow and host of the workspace state.
class TFTarveleFirmWare : public QWidget, public UpdaterRunner, public ProjectPathsKeeper {
  public:
    explicit TFTarveleFirmWare(const std::string& workspaceRoot);

    void SetProjectPaths() override;
    // The time limit is that of waitSettings.
    RunOutcome RunAndWait(const std::string& program, const platform::ProgramArguments& arguments,
                          bool hidden,
                          const std::function<void(std::uint32_t elapsedMs)>& progress) override;

    // The document the device image is built from.
    XmlDocument XML3;
    WaitSettings waitSettings;

    FlatButton* New;
    FlatButton* open;
    FlatButton* btn_Prm_Gen;
    FlatButton* CreateBin2;
    FlatButton* about;
    FlatButton* LbButton1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    ClickableLabel* Label6;

    void NewaClick();
    void OpenaClick();
    void btn_str_lng1aClick();
    void CreateBinaClick();
    void AboutClick();
    void LbButton1Click();
    void Label6Click();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void FormCreate(const std::string& workspaceRoot);
    void FormShow();
    void FormClose();

    bool centred_ = false;
};
