#include "app/Unewp.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include "app/Forms.h"
#include "common/ActionGuard.h"
#include "common/AppError.h"
#include "common/Messages.h"
#include "controls/FlatButton.h"
#include "controls/PaintedIcons.h"
#include "controls/WindowLook.h"
#include "documents/USetVar.h"
#include "documents/Upargen.h"
#include "platform/FileSystem.h"
#include "project/FolderUtils.h"
#include "project/NewProject.h"
#include "project/Workspace.h"

TFsaveproj::TFsaveproj(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("Fsaveproj"));
    applyWindowLook(*this);
    setFixedSize(319, 91);

    Label1 = new QLabel(QStringLiteral("Project name"), this);
    Label1->move(16, 2);
    Edit1 = new QLineEdit(this);
    Edit1->setFrame(false);
    Edit1->setGeometry(16, 16, 297, 21);
    Label1->setBuddy(Edit1);  // a screen reader names the field by its label
    Edit1->setAccessibleName(Label1->text());
    bitbtn1 = new FlatButton(QStringLiteral("OK"), this);
    bitbtn1->setGeometry(92, 59, 69, 23);
    bitbtn1->setIcon(paintedIcon(Picture::Ok));
    bitbtn2 = new FlatButton(QStringLiteral("Cancel"), this);
    bitbtn2->setGeometry(164, 59, 69, 23);
    bitbtn2->setIcon(paintedIcon(Picture::Cancel));
    setTabOrder(Edit1, bitbtn1);
    setTabOrder(bitbtn1, bitbtn2);

    // Each button runs its handler, then asks to close with its result.
    connect(bitbtn1, &QPushButton::clicked, this, [this] {
        runGuarded([this] { BitBtn1Click(); });
        if (FormCloseQuery())
            done(QDialog::Accepted);
    });
    connect(bitbtn2, &QPushButton::clicked, this, [this] {
        BitBtn2Click();
        if (FormCloseQuery())
            done(QDialog::Rejected);
    });
    FormCreate();
}

void TFsaveproj::FormCreate() {
    newProjectName.clear();
    destinationFolder.clear();
}

void TFsaveproj::FormShow() {
    setWindowTitle(QStringLiteral("New project"));
    Edit1->clear();
    newProjectName.clear();
    Edit1->setFocus();
}

void TFsaveproj::showEvent(QShowEvent* event) {
    FormShow();
    centreOnScreen(*this);
    QDialog::showEvent(event);
}

void TFsaveproj::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery())
        event->ignore();
}

void TFsaveproj::keyPressEvent(QKeyEvent* event) {
    // Neither Enter nor Escape closes this dialog; only its two buttons do.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFsaveproj::BitBtn2Click() {
    closeAllowed = true;
}

void TFsaveproj::BitBtn1Click() {
    newProjectName = Edit1->text().toStdString();
    const std::vector<std::string> refusals = newProjectRefusals(destinationFolder, newProjectName);
    for (const std::string& message : refusals) messages::showPlain(message);
    closeAllowed = refusals.empty();
    if (!closeAllowed)
        return;
    Workspace& state = workspace();
    const Workspace before = state;
    bool created = false;
    try {
        created = createProjectFolder(
            destinationFolder, newProjectName, [this, &state](const std::string& folder) {
                // The routines write where the workspace points: into the
                // folder being built, which becomes the project only when
                // whole.
                state.projectFolder = folder;
                projectPaths->SetProjectPaths();
                generalParameterDialog().SetDefaults();
                generalParameterDialog().BitBtn1Click(TFpargen::OkFor::NewProject);
                translateTable().bitbtn1Click();
            });
    } catch (const AppError& e) {
        state = before;
        messages::showError(e.what());
        closeAllowed = false;
        return;
    }
    if (!created) {
        state = before;
        messages::showPlain(kProjectExistsMessage);
        closeAllowed = false;
        return;
    }
    state.projectName = newProjectName;
    state.projectFolder = projectFolderFor(destinationFolder, newProjectName);
    projectPaths->SetProjectPaths();
}
