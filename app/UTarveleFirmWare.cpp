#include "app/UTarveleFirmWare.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <optional>

#include "app/FolderPicker.h"
#include "app/Forms.h"
#include "app/UAbout2.h"
#include "app/Unewp.h"
#include "app/WebAddress.h"
#include "common/ActionGuard.h"
#include "common/Messages.h"
#include "controls/ClickableLabel.h"
#include "controls/CurrentProjectLock.h"
#include "controls/FlatButton.h"
#include "controls/PaintedIcons.h"
#include "controls/UserInputEater.h"
#include "controls/WindowLook.h"
#include "documents/Upargen.h"
#include "image/ParameterImage.h"
#include "platform/EventLoopWait.h"
#include "platform/Shell.h"
#include "project/FolderUtils.h"
#include "project/ProjectImage.h"
#include "project/Workspace.h"
#include "update/UBootSer.h"
#include "update/UpdaterOutputWindow.h"

namespace {

void makeGreyBold(QLabel& label) {
    QFont font = label.font();
    font.setBold(true);
    label.setFont(font);
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    label.setPalette(palette);
}

QLabel* makeGreyBoldLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    makeGreyBold(*label);
    return label;
}

}  // namespace

TFTarveleFirmWare::TFTarveleFirmWare(const std::string& workspaceRoot)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("FTarveleFirmWare"));
    applyWindowLook(*this);

    const auto button = [this](FlatButton*& member, const char* name, const QString& caption,
                               void (TFTarveleFirmWare::*handler)()) {
        member = new FlatButton(caption, this);
        member->setObjectName(QString::fromLatin1(name));
        connect(member, &QPushButton::clicked, this,
                [this, handler] { runGuarded([&] { (this->*handler)(); }); });
    };
    button(New, "New", QStringLiteral("New project"), &TFTarveleFirmWare::NewaClick);
    button(open, "open", QStringLiteral("Open project"), &TFTarveleFirmWare::OpenaClick);
    button(btn_Prm_Gen, "btn_Prm_Gen", QStringLiteral("General Parameter"),
           &TFTarveleFirmWare::btn_str_lng1aClick);
    button(CreateBin2, "CreateBin2", QStringLiteral("Update Device"),
           &TFTarveleFirmWare::CreateBinaClick);
    button(about, "about", QString(), &TFTarveleFirmWare::AboutClick);
    about->setIcon(paintedIcon(Picture::About));
    about->setToolTip(QStringLiteral("About"));
    about->setAccessibleName(QStringLiteral("About"));
    button(LbButton1, "LbButton1", QStringLiteral("X"), &TFTarveleFirmWare::LbButton1Click);
    LbButton1->setToolTip(QStringLiteral("Close"));
    LbButton1->setAccessibleName(QStringLiteral("Close"));

    New->setIcon(paintedIcon(Picture::NewFile));
    open->setIcon(paintedIcon(Picture::OpenFolder));
    btn_Prm_Gen->setIcon(paintedIcon(Picture::Parameters));
    CreateBin2->setIcon(paintedIcon(Picture::Upload));

    Label1 = makeGreyBoldLabel(QStringLiteral("Step 1"), this);
    Label2 = makeGreyBoldLabel(QStringLiteral("Step 2"), this);
    Label3 = makeGreyBoldLabel(QStringLiteral("Step 3"), this);
    Label4 = makeGreyBoldLabel(QStringLiteral("Step 4"), this);
    Label6 = new ClickableLabel(this);
    makeGreyBold(*Label6);
    Label6->setObjectName(QStringLiteral("Label6"));
    Label6->setCursor(Qt::PointingHandCursor);
    Label6->onClick = [this] { runGuarded([this] { Label6Click(); }); };

    FormCreate(workspaceRoot);
}

void TFTarveleFirmWare::FormCreate(const std::string& workspaceRoot) {
    Label6->setText(QString::fromLatin1(kMakerWebAddressText));
    setWindowTitle(QString::fromStdString(setUpWorkspace(workspace(), workspaceRoot)));
}

void TFTarveleFirmWare::FormShow() {
    setOuterSize(*this, 574, 205);
    for (QLabel* label : {Label1, Label2, Label3, Label4}) label->setVisible(true);
    Label1->move(16, 47);
    Label2->move(16, 91);
    Label3->move(16, 135);
    Label4->move(16, 179);
    New->setGeometry(80, 36, 146, 26);
    open->setGeometry(232, 36, 146, 26);
    btn_Prm_Gen->setGeometry(80, 80, 146, 26);
    CreateBin2->setGeometry(80, 124, 146, 26);
    about->setGeometry(493, 21, 21, 19);
    LbButton1->setGeometry(520, 21, 21, 19);
    Label6->move(425, 137);
    for (QLabel* label : std::initializer_list<QLabel*>{Label1, Label2, Label3, Label4, Label6})
        label->adjustSize();
}

void TFTarveleFirmWare::showEvent(QShowEvent* event) {
    FormShow();
    if (!centred_) {
        centreOnScreen(*this);
        centred_ = true;
    }
    QWidget::showEvent(event);
}

void TFTarveleFirmWare::SetProjectPaths() {
    workspace().setProjectPaths();
}

void TFTarveleFirmWare::NewaClick() {
    TFsaveproj& dialog = newProjectDialog();
    dialog.destinationFolder = workspace().projectsFolder;
    dialog.exec();
    setWindowTitle(QString::fromStdString(captionForProject(workspace().projectName)));
}

void TFTarveleFirmWare::OpenaClick() {
    Workspace& state = workspace();
    BrowseFolder("Select directory of project", state.projectsFolder, state.projectFolder);
    state.projectName = projectNameFromFolder(state);
    setWindowTitle(QString::fromStdString(captionForProject(state.projectName)));
    SetProjectPaths();
}

void TFTarveleFirmWare::btn_str_lng1aClick() {
    if (workspace().projectFolder.empty()) {
        messages::showPlain("Project not valid");
        return;
    }
    generalParameterDialog().exec();
}

void TFTarveleFirmWare::CreateBinaClick() {
    const Workspace& state = workspace();
    // No image is ever written outside a project folder.
    if (state.projectFolder.empty() || state.projectFolder == state.projectsFolder) {
        messages::showPlain("Project not valid");
        return;
    }
    QCoreApplication::processEvents();
    {
        // The image is built and written under the lock; the wizard's session,
        // which may last minutes, holds none.
        const auto lock = lockCurrentProject();
        if (!lock)
            return;
        writeProjectImage(*lock, state.projectFolder, XML3);
    }
    serialUpdateWizard().exec();
}

RunOutcome TFTarveleFirmWare::RunAndWait(const std::string& program,
                                         const platform::ProgramArguments& arguments, bool hidden,
                                         const std::function<void(std::uint32_t)>& progress) {
    // Input is thrown away only while the program runs: a box that reports a
    // failed launch must take its keys and clicks.
    std::optional<UserInputEater> eater;
    WaitSettings settings = waitSettings;
    settings.onLaunched = [&eater](platform::LaunchedProgram&) { eater.emplace(); };
    // Windows gives a console updater a console window; elsewhere its output
    // gets a window of ours, read each time the wait looks at the updater.
    std::optional<UpdaterOutputCapture> output;
#ifndef _WIN32
    if (!hidden) {
        output.emplace(program);
        settings.outputFile = output->path();
    }
#endif
    settings.whileWaiting = [&](std::uint32_t elapsedMs) {
        if (output)
            output->look();
        if (progress)
            progress(elapsedMs);
    };
    // Paints, and answers the window manager, so no window looks hung.
    settings.waitForWake = waitInEventLoop;
    const RunOutcome outcome = runAndWait(program, arguments, hidden, settings);
    if (output)
        output->look();  // what it wrote last
    eater.reset();
    if (!outcome.launchError.empty())
        messages::showError(outcome.launchError);
    return outcome;
}

void TFTarveleFirmWare::AboutClick() {
    aboutBox().exec();
}

void TFTarveleFirmWare::LbButton1Click() {
    close();
}

void TFTarveleFirmWare::Label6Click() {
    platform::openWebAddress(kMakerWebAddress);
}

void TFTarveleFirmWare::FormClose() {
    saveLastProject(workspace());
}

void TFTarveleFirmWare::closeEvent(QCloseEvent* event) {
    // A settings file that cannot be written is reported, and the program still ends.
    runGuarded([this] { FormClose(); });
    QWidget::closeEvent(event);
}
