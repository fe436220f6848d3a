#include "update/UBootSer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

#include "common/ActionGuard.h"
#include "common/Messages.h"
#include "controls/FlatButton.h"
#include "controls/PaintedIcons.h"
#include "controls/WindowLook.h"
#include "platform/SerialNames.h"
#include "project/Workspace.h"
#include "update/ComPortDiscovery.h"
#include "update/MainThreadHandOver.h"
#include "update/PortConnection.h"
#include "update/PortDescription.h"
#include "update/UpdaterCommandLine.h"
#include "update/UpdaterLauncher.h"

namespace {

QLabel* addLabel(QWidget* parent, const char* text, int left, int top) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->move(left, top);
    return label;
}

QCheckBox* addCheckBox(QWidget* parent, const char* text, QRect geometry) {
    auto* box = new QCheckBox(QString::fromUtf8(text), parent);
    box->setGeometry(geometry);
    box->setChecked(true);
    return box;
}

}  // namespace

TFBootSer::TFBootSer(std::shared_ptr<platform::SerialApi> api, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint),
      Comm1(api, mainThreadHandOver()),
      api_(std::move(api)) {
    setObjectName(QStringLiteral("FBootSer"));
    setWindowTitle(QStringLiteral("Update Firmware from Serial (RS232)"));
    applyWindowLook(*this);
    setFixedSize(358, 210);
    Comm1.SetMonitorEvents(allCommEvents());

    Label1 = addLabel(this, "Follow these steps to update the HD40917 from RS232:", 8, 8);
    Label2 = addLabel(this, "1 - Turn OFF the Device", 24, 32);
    Label3 = addLabel(this, "2 - Connect the RS232 cable", 24, 56);
    Label4 = addLabel(this, "3 - Select the  COM port and press the connect button", 24, 80);
    CB_Com = new QComboBox(this);
    CB_Com->setGeometry(44, 96, 101, 21);
    Label4->setBuddy(CB_Com);  // a screen reader names the list by this step
    for (int n = 1; n <= 10; ++n) CB_Com->addItem(QStringLiteral("COM%1").arg(n));
    LbButton5 = new FlatButton(QString(), this);
    LbButton5->setGeometry(152, 96, 23, 22);
    LbButton5->setIcon(paintedIcon(Picture::Refresh));
    LbButton5->setToolTip(QStringLiteral("Update COM Port List"));
    LbButton5->setAccessibleName(QStringLiteral("Update COM Port List"));
    LbButton1 = new FlatButton(QStringLiteral("Connect"), this);
    LbButton1->setGeometry(184, 96, 81, 21);
    Label5 = addLabel(this, "4 - Turn ON the Device", 24, 128);
    Label6 = addLabel(this, "5 - Check the BOOT led. It must blink quickly", 24, 152);
    LbButton3 = new FlatButton(QStringLiteral("Cancel"), this);
    LbButton3->setGeometry(24, 176, 100, 23);
    LbButton3->setIcon(paintedIcon(Picture::Cancel));
    LbButton2 = new FlatButton(QStringLiteral("Next"), this);
    LbButton2->setGeometry(128, 176, 100, 23);
    LbButton2->setIcon(paintedIcon(Picture::Next));
    LbButton2->setLayoutDirection(Qt::RightToLeft);  // the icon stands right of the text
    setTabOrder(CB_Com, LbButton5);

    Panel1 = new QWidget(this);
    Panel1->setAutoFillBackground(true);
    Panel1->resize(353, 209);
    Panel1->hide();
    Label7 = addLabel(Panel1, "Update Device Options", 8, 8);
    CB_Firm = addCheckBox(Panel1, "Firmware", {16, 32, 137, 17});
    CB_RFirm = addCheckBox(Panel1, "Read Firmware when finish", {64, 56, 185, 19});
    CB_Proj = addCheckBox(Panel1, "Project", {16, 88, 137, 17});
    CB_RProj = addCheckBox(Panel1, "Read Project when finish", {64, 112, 185, 19});
    LbButton4 = new FlatButton(QStringLiteral("Execute update firmware"), Panel1,
                               QColor(0x87, 0xCE, 0xEB), QColor(0xFF, 0xA5, 0x00));
    LbButton4->setGeometry(8, 174, 169, 23);
    // What the last updater run did: it runs for minutes, and its end matters.
    LabelStatus = addLabel(Panel1, "", 8, 150);
    LabelStatus->resize(337, 16);

    const auto bind = [this](FlatButton* button, void (TFBootSer::*handler)()) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { runGuarded([&] { (this->*handler)(); }); });
    };
    bind(LbButton1, &TFBootSer::LbButton1Click);
    bind(LbButton2, &TFBootSer::LbButton2Click);
    bind(LbButton4, &TFBootSer::LbButton4Click);
    bind(LbButton5, &TFBootSer::LbButton5Click);
    connect(LbButton3, &QPushButton::clicked, this, &QDialog::reject);
}

std::array<QWidget*, 11> TFBootSer::stepsPageControls() const {
    return {Label1,    Label2, Label3,    Label4,    Label5,   Label6,
            LbButton5, CB_Com, LbButton1, LbButton3, LbButton2};
}

void TFBootSer::FormShow() {
    Panel1->hide();
    LabelStatus->clear();
    connected_ = false;
    Label1->setText(QStringLiteral("Follow these steps to update the HD40917 from RS232:"));
    for (QWidget* control : stepsPageControls()) control->setVisible(true);
    RefillPortList();
    // Said over the shown wizard, before the device is powered into its boot
    // loader, not after Execute when it is too late.
    QMetaObject::invokeMethod(
        this, [this] { runGuarded([this] { ReportMissingUpdaterFiles(); }); },
        Qt::QueuedConnection);
}

void TFBootSer::ReportMissingUpdaterFiles() {
    if (!isVisible())
        return;
    for (const std::string& message : missingUpdaterFiles(workspace().root))
        messages::showPlain(message);
}

void TFBootSer::showEvent(QShowEvent* event) {
    FormShow();
    centreOnScreen(*this);
    QDialog::showEvent(event);
}

void TFBootSer::RefillPortList() {
    const std::vector<std::string> ports = discoverComPorts(*api_);
    CB_Com->clear();
    for (const std::string& port : ports) {
        // The text is what the updater gets; the tooltip says which device it is.
        const std::string name = "COM" + port;
        CB_Com->addItem(QString::fromStdString(name));
        CB_Com->setItemData(
            CB_Com->count() - 1,
            QString::fromStdString(portTooltip(name, platform::serialAdapterFor(name))),
            Qt::ToolTipRole);
    }
    if (CB_Com->count() > 0)
        CB_Com->setCurrentIndex(0);
}

void TFBootSer::closePortQuietly() {
    try {
        Comm1.Close();
    } catch (const std::exception&) {
        // A port that does not close cleanly is no concern of the operator's.
    }
}

void TFBootSer::LbButton1Click() {
    connected_ = false;
    closePortQuietly();
    const std::string port = CB_Com->currentText().toStdString();
    LbButton1->setToolTip(QString());
    try {
        connectPort(Comm1, port);
        connected_ = true;
    } catch (const ECommError& e) {
        messages::showError(kPortCannotBeOpened);
        // Why, beside the box's fixed text: the steps page has no status
        // line, and its layout stays as it is.
        LbButton1->setToolTip(
            QString::fromStdString(portErrorInWords(port, platform::devicePathForName(port), e)));
    } catch (const std::exception&) {
        messages::showError(kPortCannotBeOpened);
    }
}

void TFBootSer::LbButton5Click() {
    RefillPortList();
}

void TFBootSer::LbButton2Click() {
    if (!connected_) {
        messages::showError("Select one port.");
        return;
    }
    Panel1->move(0, 0);
    Panel1->show();
    Panel1->raise();
    // The panel covers the steps page; hidden, its controls are out of reach
    // of the keyboard too (a hidden Connect would lock the updater's port).
    for (QWidget* control : stepsPageControls()) control->setVisible(false);
    LbButton4->setFocus();
    // The updater needs the port free.
    closePortQuietly();
}

void TFBootSer::LbButton4Click() {
    const Workspace& state = workspace();
    const UpdateOptions options{CB_Firm->isChecked(), CB_RFirm->isChecked(), CB_Proj->isChecked(),
                                CB_RProj->isChecked()};
    const platform::ProgramArguments command = updaterCommandLine(
        CB_Com->currentText().toStdString(), options, state.root, state.projectFolder);
    const auto showStatus = [this](const std::string& text, bool failed = false) {
        // An end with another code than 0 is drawn in red, so that it does not
        // look like a success at a glance; it is still only shown.
        LabelStatus->setStyleSheet(failed ? QStringLiteral("color: #C00000") : QString());
        LabelStatus->setText(QString::fromStdString(text));
    };
    // "Updater running" shows only once it has started, with the wait's first
    // look; until then the line says nothing, not an earlier run's end.
    showStatus({});
    const RunOutcome outcome = updaterRunner->RunAndWait(
        updaterProgramPath(state.root), command, false,
        [&showStatus](std::uint32_t elapsedMs) { showStatus(runningText(elapsedMs)); });
    showStatus(outcomeText(outcome),
               outcome.kind == RunOutcome::Kind::Ended && outcome.exitCode != 0);
}

void TFBootSer::FormClose() {
    closePortQuietly();
}

void TFBootSer::done(int result) {
    FormClose();
    QDialog::done(result);
}
