#include <QLineEdit>
#include <QTimer>
#include <QtTest>
#include <filesystem>

#include "app/Forms.h"
#include "app/TarvelApplication.h"
#include "app/UTarveleFirmWare.h"
#include "app/Unewp.h"
#include "common/ShortQuote.h"
#include "controls/FlatButton.h"
#include "controls/RadioGroup.h"
#include "documents/USetVar.h"
#include "documents/Upargen.h"
#include "project/BuildMarker.h"
#include "project/Workspace.h"
#include "support/MessageRecorder.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

using Kind = MessageRecorder::Kind;

std::string golden(const char* name) {
    return readFile(std::string(TARVEL_TEST_DATA) + "/documents/golden/" + name);
}

std::size_t entriesIn(const std::string& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

}  // namespace

class NewProjectTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempFolder> root;
    std::unique_ptr<TFTarveleFirmWare> mainWindow;
    std::unique_ptr<TFsaveproj> dialog;
    std::unique_ptr<TFpargen> pargen;
    std::unique_ptr<TFSetVar> setVar;

    std::string projects() const { return *root / "PROJECTS"; }

    // Opens the dialog as the New project flow does, types name and presses OK.
    void pressOk(const std::string& name) {
        dialog->destinationFolder = projects();
        dialog->show();
        dialog->Edit1->setText(QString::fromStdString(name));
        QTest::mouseClick(dialog->bitbtn1, Qt::LeftButton);
    }

  private slots:
    void init() {
        root = std::make_unique<TempFolder>();
        mainWindow = std::make_unique<TFTarveleFirmWare>(root->path());
        dialog = std::make_unique<TFsaveproj>();
        pargen = std::make_unique<TFpargen>();
        setVar = std::make_unique<TFSetVar>();
        putInSlots();
    }

    // As the program's entry and builders wire them.
    void putInSlots() {
        forms() = Forms{mainWindow.get(), dialog.get(), pargen.get(), setVar.get()};
        dialog->projectPaths = mainWindow.get();
    }

    void cleanup() {
        forms() = Forms{};
        setVar.reset();
        pargen.reset();
        dialog.reset();
        mainWindow.reset();
        root.reset();
    }

    void successMakesTheProjectCurrentWithDefaultDocuments() {
        MessageRecorder recorder;
        pressOk("Demo");
        QVERIFY(recorder.entries.empty());
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(readFile(projects() + "/Demo/pargen.xml"), golden("default_pargen.xml"));
        QCOMPARE(readFile(projects() + "/Demo/var.xml"), golden("empty_var.xml"));
        QVERIFY(fs::is_directory(projects() + "/Demo/bin"));
        QCOMPARE(entriesIn(projects() + "/Demo/bin"), size_t(0));
        QCOMPARE(workspace().projectName, std::string("Demo"));
        QCOMPARE(workspace().projectFolder, projects() + native("/Demo"));
        QCOMPARE(workspace().generalParameterPath, projects() + native("/Demo/pargen.xml"));
    }

    void defaultsEvenAfterTheDialogWasUsedOnAnotherProject() {
        pargen->RG_Mode->setItemIndex(1);
        pargen->E_TO_RTU->setText(QStringLiteral("5"));
        pargen->E_TO_ASCII->setText(QStringLiteral("word"));
        pressOk("Second");
        QCOMPARE(readFile(projects() + "/Second/pargen.xml"), golden("default_pargen.xml"));
    }

    void refusedInputKeepsTheDialogOpenAndCreatesNothing_data() {
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("shown");
        const QString projectsMarker = QStringLiteral("<projects>");
        QTest::newRow("empty name")
            << projectsMarker << "" << QStringList{"Name project not valid"};
        QTest::newRow("both empty")
            << ""
            << "" << QStringList{"directory destination not valid", "Name project not valid"};
        QTest::newRow("existing") << projectsMarker << "Existing"
                                  << QStringList{
                                         "Name project not valid because directory already exists"};
        QTest::newRow("absolute") << projectsMarker << "/tmp/evil"
                                  << QStringList{"Name project not valid"};
        QTest::newRow("parent") << projectsMarker << "../Outside"
                                << QStringList{"Name project not valid"};
        QTest::newRow("inner parent")
            << projectsMarker << "Existing/../../Outside" << QStringList{"Name project not valid"};
        // Names that would not come back from the settings file, or not work on Windows.
        // Names Windows refuses: device names, trailing dots and blanks in any part.
        const char* unportable[] = {
            "Plant\nOther", " Plant",     "Plant ", "Plant\t", "Pl\x01ant",    "Plant\" \"--erase",
            "a<b",          "a>b",        "C:x",    "a|b",     "a?",           "a*",
            "CON",          "com1.txt",   "Lpt9",   "nul.x.y", "Existing/aux", "Plant.",
            "Existing./x",  "Existing /x"};
        for (const char* name : unportable)
            QTest::newRow(name) << projectsMarker << name << QStringList{"Name project not valid"};
#ifndef _WIN32
        QTest::newRow("backslash")
            << projectsMarker << "Existing\\x" << QStringList{"Name project not valid"};
#endif
    }

    void refusedInputKeepsTheDialogOpenAndCreatesNothing() {
        QFETCH(QString, destination);
        QFETCH(QString, name);
        QFETCH(QStringList, shown);
        fs::create_directories(projects() + "/Existing");
        writeFile(projects() + "/Existing/pargen.xml", "mine");
        const Workspace before = workspace();
        MessageRecorder recorder;
        dialog->show();
        dialog->destinationFolder = destination.isEmpty() ? "" : projects();
        dialog->Edit1->setText(name);
        QTest::mouseClick(dialog->bitbtn1, Qt::LeftButton);
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->Edit1->text(), name);
        QCOMPARE(static_cast<int>(recorder.entries.size()), shown.size());
        for (int i = 0; i < shown.size(); ++i) {
            QVERIFY(recorder.entries[i].kind == Kind::Plain);
            QCOMPARE(QString::fromStdString(recorder.entries[i].text), shown[i]);
        }
        QCOMPARE(entriesIn(projects()), size_t(1));
        QCOMPARE(entriesIn(root->path()), size_t(2));  // MASTER and PROJECTS
        QCOMPARE(readFile(projects() + "/Existing/pargen.xml"), std::string("mine"));
        QCOMPARE(workspace().projectFolder, before.projectFolder);
        QCOMPARE(workspace().projectName, before.projectName);

        QTest::mouseClick(dialog->bitbtn2, Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        dialog->show();
        QCOMPARE(dialog->Edit1->text(), QString());
    }

    void nestedNameBelowAnExistingProject() {
        fs::create_directories(projects() + "/Area");
        pressOk("Area/Plant");
        QVERIFY(!dialog->isVisible());
        QVERIFY(fs::is_directory(projects() + "/Area/Plant/bin"));
        QCOMPARE(workspace().projectName, std::string("Area/Plant"));
        QCOMPARE(readFile(projects() + "/Area/Plant/pargen.xml"), golden("default_pargen.xml"));
    }

    // The folder cannot be made, or cannot be filled: an error box says why,
    // the dialog stays open, and nothing is left behind.
    void failuresAreReportedAndLeaveNothing() {
#ifdef _WIN32
        // Windows paths are far shorter, and its reasons other words.
        QSKIP("POSIX only: path lengths and the system's reasons");
#endif
        // A parent path so long that the build folder beside the project and
        // its marker can be made (4095 characters), but no document in it.
        constexpr std::size_t kParentLength = 4095 - 31 - 14;
        std::string chain;
        while (projects().size() + chain.size() + 201 <= kParentLength)
            chain += std::string(200, 'n') + "/";
        if (projects().size() + chain.size() + 1 < kParentLength)
            chain += std::string(kParentLength - projects().size() - chain.size() - 1, 'n') + "/";
        fs::create_directories(projects() + "/" + chain);
        const std::string tooDeep = chain + "p";
        const std::string tooLong(256, 'L');
        struct Case {
            std::string name;
            std::string message;
        };
        const Case cases[] = {
            {"Nope/Deeper", "Cannot create the project folder " + projects() +
                                "/Nope/Deeper: No such file or directory"},
            // A name in a message is cut to 60 characters.
            {tooLong, "Cannot create the project folder " + projects() + "/" + shortQuote(tooLong) +
                          ": File name too long"},
            {tooDeep,
             "The project " + shortQuote(tooDeep) + " could not be created: Cannot write "},
        };
        const Workspace before = workspace();
        for (const Case& c : cases) {
            MessageRecorder recorder;
            pressOk(c.name);
            QVERIFY(dialog->isVisible());
            QCOMPARE(recorder.entries.size(), size_t(1));
            QVERIFY(recorder.entries[0].kind == Kind::Error);
            QCOMPARE(recorder.entries[0].text.substr(0, c.message.size()), c.message);
            std::error_code tooLongToLookAt;
            QVERIFY(!fs::exists(projects() + "/" + c.name, tooLongToLookAt));
            QCOMPARE(workspace().projectFolder, before.projectFolder);
            QCOMPARE(workspace().generalParameterPath, before.generalParameterPath);
        }
        QCOMPARE(entriesIn(projects() + "/" + chain), size_t(0));
        QCOMPARE(entriesIn(projects()), size_t(1));  // the chain's first folder
        QTest::mouseClick(dialog->bitbtn2, Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
    }

    // A kill while the project was built leaves its build folder with its
    // marker, which the next New project clears. Nothing else is touched,
    // whatever its name.
    void anAbandonedBuildIsClearedAndNothingElse() {
        const auto plantBuild = [this](const std::string& folder, unsigned long processId) {
            BuildMarker marker = markerOfThisProcess(folder, "Demo");
            marker.builder.processId = processId;
            fs::create_directories(projects() + "/" + folder + "/bin");
            writeFile(projects() + "/" + folder + "/" + kBuildMarkerName,
                      formatBuildMarker(marker));
            writeFile(projects() + "/" + folder + "/pargen.xml", "<half");
        };
        const std::string dead = newBuildFolderName();
        plantBuild(dead, 999999999);
        const std::string running = newBuildFolderName();
        plantBuild(running, static_cast<unsigned long>(QCoreApplication::applicationPid()));
        const std::vector<std::string> others = {".archive.new-2024", ".g.new-3001",
                                                 ".tarvel-build-0123456789abcdef"};
        for (const std::string& other : others) {
            fs::create_directories(projects() + "/" + other);
            writeFile(projects() + "/" + other + "/keep.txt", "mine");
        }
        pressOk("Demo");
        QVERIFY(!dialog->isVisible());
        QCOMPARE(readFile(projects() + "/Demo/pargen.xml"), golden("default_pargen.xml"));
        QVERIFY(!fs::exists(projects() + "/Demo/" + kBuildMarkerName));
        QVERIFY(!fs::exists(projects() + "/" + dead));
        QVERIFY(fs::exists(projects() + "/" + running));
        for (const std::string& other : others)
            QCOMPARE(readFile(projects() + "/" + other + "/keep.txt"), std::string("mine"));
    }

    void captionAfterTheFlowWhetherOkOrCancel() {
        fs::create_directories(projects() + "/Old");
        writeFile(*root / "Tarvel.ini", "[lastproj]\nprojectname=Old\n");
        mainWindow = std::make_unique<TFTarveleFirmWare>(root->path());
        putInSlots();
        QCOMPARE(mainWindow->windowTitle().toStdString(),
                 std::string(kCaptionBase) + " : " + native("/Old"));

        QTimer::singleShot(0, [this] { QTest::mouseClick(dialog->bitbtn2, Qt::LeftButton); });
        mainWindow->NewaClick();
        QCOMPARE(mainWindow->windowTitle().toStdString(),
                 std::string(kCaptionBase) + " :" + native("/Old"));

        QTimer::singleShot(0, [this] {
            dialog->Edit1->setText(QStringLiteral("Fresh"));
            QTest::mouseClick(dialog->bitbtn1, Qt::LeftButton);
        });
        mainWindow->NewaClick();
        QCOMPARE(mainWindow->windowTitle().toStdString(), std::string(kCaptionBase) + " :Fresh");
        QCOMPARE(dialog->destinationFolder, projects());
    }

    void escapeDoesNotCloseTheDialog() {
        dialog->show();
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->close());
    }
};

int main(int argc, char** argv) {
    TarvelApplication app(argc, argv);
    NewProjectTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "NewProjectTest.moc"
