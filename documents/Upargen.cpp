#include "documents/Upargen.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "common/ActionGuard.h"
#include "common/AppError.h"
#include "common/Messages.h"
#include "controls/CurrentProjectLock.h"
#include "controls/FlatButton.h"
#include "controls/RadioGroup.h"
#include "controls/WindowLook.h"
#include "platform/FileSystem.h"
#include "project/ProjectLock.h"
#include "project/Workspace.h"

namespace {

QStringList toStringList(const std::vector<std::string>& items) {
    QStringList list;
    for (const std::string& item : items) list << QString::fromStdString(item);
    return list;
}

QComboBox* addList(QWidget* group, const QString& caption, const std::vector<std::string>& items,
                   int top) {
    auto* label = new QLabel(caption, group);
    label->move(12, top + 3);
    auto* list = new QComboBox(group);
    list->addItems(toStringList(items));
    list->setGeometry(104, top, 101, 21);
    label->setBuddy(list);  // a screen reader names the list by its label
    return list;
}

void selectPosition(QComboBox* list, int position) {
    list->setCurrentIndex(position >= 0 && position < list->count() ? position : -1);
}

}  // namespace

TFpargen::TFpargen(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("Fpargen"));
    setWindowTitle(QStringLiteral("General Parameter"));
    applyWindowLook(*this);
    setFixedSize(457, 298);

    RG_Mode = new RadioGroup(QStringLiteral(" Operation Mode "), toStringList(kModeItems), this);
    RG_Mode->setGeometry(8, 8, 441, 57);
    RG_Mode->onClick = [this] { RG_ModeClick(); };

    const auto makeSide = [this](const QString& caption, int left, QGroupBox*& group,
                                 QRadioButton*& rs232, QRadioButton*& rs485, QComboBox*& baud,
                                 QComboBox*& parity, QComboBox*& dataBits, QComboBox*& stopBits,
                                 QLabel*& timeoutLabel, QLineEdit*& timeout) {
        group = new QGroupBox(caption, this);
        group->setGeometry(left, 74, 217, 175);
        rs232 = new QRadioButton(QStringLiteral("RS232"), group);
        rs232->move(16, 20);
        rs485 = new QRadioButton(QStringLiteral("RS485"), group);
        rs485->move(112, 20);
        baud = addList(group, QStringLiteral("Baud rate"), kBaudRateItems, 44);
        parity = addList(group, QStringLiteral("Parity"), kParityItems, 70);
        dataBits = addList(group, QStringLiteral("Data Bits"), kDataBitsItems, 96);
        stopBits = addList(group, QStringLiteral("Stop Bits"), kStopBitsItems, 122);
        timeoutLabel = new QLabel(QStringLiteral("Timeout (ms)"), group);
        timeoutLabel->move(12, 151);
        timeout = new QLineEdit(group);
        timeout->setGeometry(104, 148, 101, 21);
        timeoutLabel->setBuddy(timeout);
        timeout->setAccessibleName(timeoutLabel->text());
        for (QRadioButton* button : {rs232, rs485}) {
            connect(button, &QRadioButton::toggled, this, [this, button](bool checked) {
                if (checked)
                    runGuarded([&] { RB_232_RTUClick(button); });
            });
        }
    };
    makeSide(QStringLiteral(" Modbus RTU "), 8, GroupBox3, RB_232_RTU, RB_485_RTU, CB_Baud_RTU,
             CB_Par_RTU, CB_DataBits_RTU, CB_StopBits_RTU, Label20, E_TO_RTU);
    makeSide(QStringLiteral(" Modbus ASCII "), 232, GroupBox2, RB_232_ASCII, RB_485_ASCII,
             CB_Baud_ASCII, CB_Par_ASCII, CB_DataBits_ASCII, CB_StopBits_ASCII, Label5, E_TO_ASCII);

    bitbtn1 = new FlatButton(QStringLiteral("OK"), this);
    bitbtn1->setGeometry(292, 259, 69, 23);
    connect(bitbtn1, &QPushButton::clicked, this,
            [this] { runGuarded([this] { BitBtn1Click(); }); });
    bitbtn2 = new FlatButton(QStringLiteral("Cancel"), this);
    bitbtn2->setGeometry(372, 259, 69, 23);
    connect(bitbtn2, &QPushButton::clicked, this, &QDialog::reject);
}

TFpargen::SideControls TFpargen::rtuControls() const {
    return {RB_232_RTU,      RB_485_RTU,      CB_Baud_RTU, CB_Par_RTU,
            CB_DataBits_RTU, CB_StopBits_RTU, E_TO_RTU};
}

TFpargen::SideControls TFpargen::asciiControls() const {
    return {RB_232_ASCII,      RB_485_ASCII,      CB_Baud_ASCII, CB_Par_ASCII,
            CB_DataBits_ASCII, CB_StopBits_ASCII, E_TO_ASCII};
}

void TFpargen::SetDefaults() {
    applyParameters(GeneralParameters{});
}

void TFpargen::applyParameters(const GeneralParameters& parameters) {
    RG_Mode->setItemIndex(parameters.mode);
    const auto applySide = [](const SideControls& controls, const SideParameters& side) {
        (side.rs232 ? controls.rs232 : controls.rs485)->setChecked(true);
        selectPosition(controls.baudRate, side.baudRate);
        selectPosition(controls.parity, side.parity);
        selectPosition(controls.dataBits, side.dataBits);
        selectPosition(controls.stopBits, side.stopBits);
        controls.timeout->setText(QString::fromStdString(side.timeout));
    };
    applySide(rtuControls(), parameters.rtu);
    applySide(asciiControls(), parameters.ascii);
}

GeneralParameters TFpargen::currentParameters() const {
    const auto readSide = [](const SideControls& controls) {
        SideParameters side;
        side.rs232 = controls.rs232->isChecked();
        side.baudRate = controls.baudRate->currentIndex();
        side.parity = controls.parity->currentIndex();
        side.dataBits = controls.dataBits->currentIndex();
        side.stopBits = controls.stopBits->currentIndex();
        side.timeout = controls.timeout->text().toStdString();
        return side;
    };
    return GeneralParameters{RG_Mode->itemIndex(), readSide(rtuControls()),
                             readSide(asciiControls())};
}

void TFpargen::FormShow() {
    SetDefaults();
    const std::string& path = workspace().generalParameterPath;
    shownDocument_ = takeFileSnapshot(path);
    if (platform::entryExists(path)) {
        try {
            refuseForeignLinks(workspace().projectFolder, workspace().projectName);
            XML2.activate();
            XML2.loadFromFile(path);
            applyParameters(readGeneralParameters(XML2));
        } catch (const AppError& e) {
            // The operator sees why, and the dialog opens on the defaults.
            messages::showErrorReport(e.what());
        }
    }
    ShowTimeoutForMode();
    RB_232_RTUClick(nullptr);
}

void TFpargen::showEvent(QShowEvent* event) {
    FormShow();
    centreOnScreen(*this);
    QDialog::showEvent(event);
}

void TFpargen::RG_ModeClick() {
    ShowTimeoutForMode();
}

void TFpargen::ShowTimeoutForMode() {
    const bool rtuIsMaster = RG_Mode->itemIndex() != 0;
    Label20->setVisible(rtuIsMaster);
    E_TO_RTU->setVisible(rtuIsMaster);
    Label5->setVisible(!rtuIsMaster);
    E_TO_ASCII->setVisible(!rtuIsMaster);
}

void TFpargen::RB_232_RTUClick(QObject* sender) {
    if (sender == RB_232_RTU) {
        if (const auto message = rs232Problem(currentParameters(), Side::Rtu)) {
            messages::showError(*message);
            RB_485_RTU->setChecked(true);
        }
    } else if (sender == RB_232_ASCII) {
        if (const auto message = rs232Problem(currentParameters(), Side::Ascii)) {
            messages::showError(*message);
            RB_485_ASCII->setChecked(true);
        }
    }
    // Over RS232 the frame is fixed, so its data and stop bits are not offered.
    CB_DataBits_RTU->setEnabled(!RB_232_RTU->isChecked());
    CB_StopBits_RTU->setEnabled(!RB_232_RTU->isChecked());
    CB_DataBits_ASCII->setEnabled(!RB_232_ASCII->isChecked());
    CB_StopBits_ASCII->setEnabled(!RB_232_ASCII->isChecked());
}

bool TFpargen::CheckTimeout() {
    const auto message = timeoutProblem(currentParameters());
    if (message)
        messages::showError(*message);
    return !message;
}

void TFpargen::BitBtn1Click(OkFor caller) {
    if (!CheckTimeout())
        return;
    const std::string& path = workspace().generalParameterPath;
    if (caller == OkFor::NewProject) {
        writeGeneralParameters(XML2, currentParameters(), path);
        return;
    }
    const auto lock = lockCurrentProject();
    if (!lock)
        return;
    // Never put back silently what another program wrote meanwhile.
    if (takeFileSnapshot(path) != shownDocument_) {
        messages::showError(path +
                            " was changed by another program since this dialog was opened. "
                            "Press Cancel and open it again.");
        return;
    }
    writeGeneralParameters(XML2, currentParameters(), path);
    accept();
}
