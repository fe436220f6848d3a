#pragma once

#include <QDialog>
#include <array>
#include <memory>

#include "update/CommInt.h"
#include "update/UpdaterRunner.h"

class FlatButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QWidget;

// The serial update wizard: prepares the device and the COM port, then runs
// the external updater with the chosen options.
class TFBootSer : public QDialog {
  public:
    explicit TFBootSer(std::shared_ptr<platform::SerialApi> api = platform::systemSerialApi(),
                       QWidget* parent = nullptr);

    // Who runs the updater for Execute: the main window.
    UpdaterRunner* updaterRunner = nullptr;

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QComboBox* CB_Com;
    FlatButton* LbButton5;
    FlatButton* LbButton1;
    QLabel* Label5;
    QLabel* Label6;
    FlatButton* LbButton3;
    FlatButton* LbButton2;
    QWidget* Panel1;
    QLabel* Label7;
    QCheckBox* CB_Firm;
    QCheckBox* CB_RFirm;
    QCheckBox* CB_Proj;
    QCheckBox* CB_RProj;
    FlatButton* LbButton4;
    // The state of the updater run: running with its seconds, then its outcome.
    QLabel* LabelStatus;
    TComm Comm1;

    bool connected() const { return connected_; }

    void LbButton1Click();
    void LbButton2Click();
    void LbButton4Click();
    void LbButton5Click();
    // Refills CB_Com with the ports present and selects the first.
    void RefillPortList();

    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FormShow();
    void ReportMissingUpdaterFiles();
    void FormClose();
    void closePortQuietly();
    // Every control of the steps page, which the options page covers.
    std::array<QWidget*, 11> stepsPageControls() const;

    std::shared_ptr<platform::SerialApi> api_;
    bool connected_ = false;
};
