#pragma once

#include <QDialog>

#include "documents/FileSnapshot.h"

#include "documents/GeneralParameters.h"
#include "documents/XmlDocument.h"

class FlatButton;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class RadioGroup;

// The General Parameter dialog: edits the current project's pargen.xml. Its
// routines SetDefaults and BitBtn1Click also run while it is hidden.
class TFpargen : public QDialog {
  public:
    explicit TFpargen(QWidget* parent = nullptr);

    RadioGroup* RG_Mode;
    QGroupBox* GroupBox3;
    QRadioButton* RB_232_RTU;
    QRadioButton* RB_485_RTU;
    QComboBox* CB_Baud_RTU;
    QComboBox* CB_Par_RTU;
    QComboBox* CB_DataBits_RTU;
    QComboBox* CB_StopBits_RTU;
    QLabel* Label20;
    QLineEdit* E_TO_RTU;
    QGroupBox* GroupBox2;
    QRadioButton* RB_232_ASCII;
    QRadioButton* RB_485_ASCII;
    QComboBox* CB_Baud_ASCII;
    QComboBox* CB_Par_ASCII;
    QComboBox* CB_DataBits_ASCII;
    QComboBox* CB_StopBits_ASCII;
    QLabel* Label5;
    QLineEdit* E_TO_ASCII;
    FlatButton* bitbtn1;
    FlatButton* bitbtn2;
    XmlDocument XML2;

    void SetDefaults();
    // Who runs the OK routine: the operator's button, which takes the
    // project's lock and never reverts another program's change; or New
    // project, unseen, writing into the folder it is building, which nobody
    // else knows yet.
    enum class OkFor { Operator, NewProject };
    // OK: validates the master side's time-out and writes the whole document.
    void BitBtn1Click(OkFor caller = OkFor::Operator);
    void RG_ModeClick();
    // The RS232 rule; a null sender runs only the enablement step.
    void RB_232_RTUClick(QObject* sender);
    void FormShow();

    // What the controls hold now, as the document stores it.
    GeneralParameters currentParameters() const;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    // What the document held when the dialog was shown.
    FileSnapshot shownDocument_;
    struct SideControls {
        QRadioButton* rs232;
        QRadioButton* rs485;
        QComboBox* baudRate;
        QComboBox* parity;
        QComboBox* dataBits;
        QComboBox* stopBits;
        QLineEdit* timeout;
    };
    SideControls rtuControls() const;
    SideControls asciiControls() const;
    void applyParameters(const GeneralParameters& parameters);
    void ShowTimeoutForMode();
    bool CheckTimeout();
};
