#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTimer>
#include <QTreeView>
#include <QtTest>
#include <filesystem>

#include "app/TarvelApplication.h"
#include "app/UAbout2.h"
#include "app/UTarveleFirmWare.h"
#include "common/Messages.h"
#include "controls/ClickableLabel.h"
#include "controls/FlatButton.h"
#include "controls/WindowLook.h"
#include "project/Workspace.h"
#include "support/FakeSerialApi.h"
#include "support/MessageRecorder.h"
#include "support/TempFolder.h"
#include "support/WindowSlot.h"
#include "update/UBootSer.h"

namespace {

const QString kBase = QStringLiteral("Mirelo Tarvel SW40917 MudbusRTU / ModbusASCII");

// Answers the next modal folder picker: selects path (when given) and
// confirms, or cancels.
void answerFolderPicker(const QString& path, bool confirm) {
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        if (confirm && !path.isEmpty()) {
            auto* tree = dialog->findChild<QTreeView*>(QStringLiteral("FolderTree"));
            auto* proxy = qobject_cast<QSortFilterProxyModel*>(tree->model());
            auto* files = qobject_cast<QFileSystemModel*>(proxy->sourceModel());
            const QModelIndex target =
                proxy->mapFromSource(files->index(QDir::fromNativeSeparators(path)));
            if (!target.isValid()) {
                dialog->reject();
                QFAIL(qPrintable("not offered: " + path));
            }
            tree->setCurrentIndex(target);
        }
        confirm ? dialog->accept() : dialog->reject();
    });
}

// A main window and its wizard in a workspace of their own, wired as the
// program's builders wire them.
struct MainWindowAndWizard {
    TempFolder root;
    TFTarveleFirmWare mainWindow{root.path()};
    WindowInSlot<TFTarveleFirmWare> mainInSlot{&Forms::mainWindow, mainWindow};
    TFBootSer wizard{std::make_shared<FakeSerialApi>()};
    WindowInSlot<TFBootSer> wizardInSlot{&Forms::bootSer, wizard};
    MainWindowAndWizard() { wizard.updaterRunner = &mainWindow; }
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void layoutAfterShow() {
        TempFolder root;
        TFTarveleFirmWare window(root.path());
        const WindowInSlot mainInSlot(&Forms::mainWindow, window);
        window.show();
        QCOMPARE(window.windowTitle(), kBase);
        QCOMPARE(window.frameGeometry().size(), QSize(574, 205));
        const struct {
            QWidget* control;
            QRect geometry;
            const char* text;
        } buttons[] = {{window.New, {80, 36, 146, 26}, "New project"},
                       {window.open, {232, 36, 146, 26}, "Open project"},
                       {window.btn_Prm_Gen, {80, 80, 146, 26}, "General Parameter"},
                       {window.CreateBin2, {80, 124, 146, 26}, "Update Device"},
                       {window.about, {493, 21, 21, 19}, ""},
                       {window.LbButton1, {520, 21, 21, 19}, "X"}};
        for (const auto& b : buttons) {
            QCOMPARE(b.control->geometry(), b.geometry);
            QCOMPARE(static_cast<QPushButton*>(b.control)->text(), QString::fromLatin1(b.text));
        }
        const std::pair<QLabel*, QPoint> labels[] = {{window.Label1, {16, 47}},
                                                     {window.Label2, {16, 91}},
                                                     {window.Label3, {16, 135}},
                                                     {window.Label4, {16, 179}},
                                                     {window.Label6, {425, 137}}};
        for (const auto& [label, position] : labels) {
            QCOMPARE(label->pos(), position);
            QVERIFY(label->isVisible());
            QVERIFY(label->font().bold());
        }
        QCOMPARE(window.Label3->text(), QStringLiteral("Step 3"));
        QCOMPARE(window.palette().color(QPalette::Window), QColor(0xF8, 0xF7, 0xED));
        QVERIFY(!(window.windowFlags() & Qt::WindowCloseButtonHint));
        // A screen reader names the buttons that show only a picture or a letter.
        QCOMPARE(window.about->accessibleName(), QStringLiteral("About"));
        QCOMPARE(window.LbButton1->accessibleName(), QStringLiteral("Close"));
    }

    void generalParameterGuardAndOpenProject() {
        TempFolder root;
        std::filesystem::create_directories(root / "PROJECTS/Area/Plant");
        std::filesystem::create_directories(root / "PROJECTS/Doomed");
        writeFile(root / "Tarvel.ini", "[lastproj]\nprojectname=Doomed\n");
        TFTarveleFirmWare window(root.path());
        const WindowInSlot mainInSlot(&Forms::mainWindow, window);
        Workspace& state = workspace();
        QCOMPARE(window.windowTitle(), kBase + QString::fromStdString(" : " + native("/Doomed")));

        // Two levels deep: the name holds both, each after a separator.
        answerFolderPicker(QString::fromStdString(root / "PROJECTS/Area/Plant"), true);
        QTest::mouseClick(window.open, Qt::LeftButton);
        QCOMPARE(state.projectName, native("/Area/Plant"));
        QCOMPARE(window.windowTitle(),
                 kBase + QString::fromStdString(" :" + native("/Area/Plant")));
        QCOMPARE(state.generalParameterPath, root / "PROJECTS/Area/Plant/pargen.xml");

        // The projects folder itself.
        answerFolderPicker(QString::fromStdString(root / "PROJECTS"), true);
        QTest::mouseClick(window.open, Qt::LeftButton);
        QCOMPARE(state.projectName, std::string());
        QCOMPARE(state.projectFolder, root / "PROJECTS");

        // Cancel after the current folder was deleted: no project at all.
        answerFolderPicker(QString::fromStdString(root / "PROJECTS/Doomed"), true);
        QTest::mouseClick(window.open, Qt::LeftButton);
        std::filesystem::remove(root / "PROJECTS/Doomed");
        answerFolderPicker(QString(), false);
        QTest::mouseClick(window.open, Qt::LeftButton);
        QCOMPARE(state.projectFolder, std::string());
        QCOMPARE(window.windowTitle(), kBase + " :");

        MessageRecorder recorder;
        QTest::mouseClick(window.btn_Prm_Gen, Qt::LeftButton);
        QCOMPARE(recorder.entries.size(), size_t(1));
        QCOMPARE(recorder.entries[0].text, std::string("Project not valid"));
        QVERIFY(recorder.entries[0].kind == MessageRecorder::Kind::Plain);
    }

    void closeSavesTheProjectAndReportsAFailedWrite() {
        TempFolder root;
        {
            TFTarveleFirmWare window(root.path());
            const WindowInSlot mainInSlot(&Forms::mainWindow, window);
            window.show();
            QTest::mouseClick(window.LbButton1, Qt::LeftButton);
            QVERIFY(!window.isVisible());
        }
        QCOMPARE(readFile(root / "Tarvel.ini"), std::string("[lastproj]\nprojectname=\n"));

        std::filesystem::permissions(root / "Tarvel.ini", std::filesystem::perms::owner_read,
                                     std::filesystem::perm_options::replace);
        MessageRecorder recorder;
        TFTarveleFirmWare window(root.path());
        const WindowInSlot mainInSlot(&Forms::mainWindow, window);
        window.show();
        QTest::mouseClick(window.LbButton1, Qt::LeftButton);
        QVERIFY(!window.isVisible());
        QCOMPARE(recorder.entries.size(), size_t(1));
        QCOMPARE(recorder.entries[0].text, "Unable to write to " + root / "Tarvel.ini.");
    }

    void updateDeviceWritesTheImageOnlyInsideAProject() {
        MainWindowAndWizard windows;
        const TempFolder& root = windows.root;
        TFTarveleFirmWare& window = windows.mainWindow;
        TFBootSer& wizard = windows.wizard;
        Workspace& state = workspace();
        MessageRecorder recorder;
        for (const std::string& folder : {state.projectsFolder, std::string()}) {
            state.projectFolder = folder;
            QTest::mouseClick(window.CreateBin2, Qt::LeftButton);
        }
        QCOMPARE(recorder.entries, (std::vector<MessageRecorder::Entry>{
                                       {MessageRecorder::Kind::Plain, "Project not valid"},
                                       {MessageRecorder::Kind::Plain, "Project not valid"}}));
        QVERIFY(!std::filesystem::exists(root / "PROJECTS/bin"));

        recorder.entries.clear();
        std::filesystem::create_directories(root / "PROJECTS/P/bin");
        state.projectFolder = root / "PROJECTS/P";
        writeFile(root / "PROJECTS/P/pargen.xml",
                  "<General_Parameter><MODE_DEV>1</MODE_DEV><SER_RTU>1</SER_RTU><BAUD_RTU>7"
                  "</BAUD_RTU><PAR_RTU>0</PAR_RTU><TO_RTU>500</TO_RTU><SER_ASCII>1</SER_ASCII>"
                  "<BAUD_ASCII>3</BAUD_ASCII><PAR_ASCII>2</PAR_ASCII><TO_ASCII>1000</TO_ASCII>"
                  "<DATA_ASCII>2</DATA_ASCII><STOP_ASCII>1</STOP_ASCII></General_Parameter>");
        // The wizard finds the updater's files in place.
        writeFile(root / "Ser_40917_Update.exe", "");
        std::filesystem::permissions(root / "Ser_40917_Update.exe",
                                     std::filesystem::perms::owner_exec,
                                     std::filesystem::perm_options::add);
        writeFile(root / "MASTER/sim40917.sim", "");
        bool wizardShown = false;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (!wizard.isVisible())
                return;
            wizardShown = true;
            wizard.reject();
        });
        closer.start(10);
        QTest::mouseClick(window.CreateBin2, Qt::LeftButton);
        QVERIFY(wizardShown);
        QVERIFY(recorder.entries.empty());
        const std::string expected(
            "\x04\0\0\0\x01\x01\x07\0\xF4\x01\x01\x03\x02\xE8\x03"
            "\x03\0\x02\x02",
            19);
        QCOMPARE(readFile(root / "PROJECTS/P/bin/bank.bin"), expected);

        writeFile(root / "PROJECTS/P/pargen.xml", "<General_Parameter><MODE_DEV>");
        QTest::mouseClick(window.CreateBin2, Qt::LeftButton);
        QCOMPARE(recorder.entries.size(), size_t(1));
        QVERIFY(recorder.entries[0].kind == MessageRecorder::Kind::Report);
        QCOMPARE(readFile(root / "PROJECTS/P/bin/bank.bin"), expected);
        QVERIFY(!wizard.isVisible());
    }

    // Root's Update Device writes no image through a link that the project's
    // owner made to a file of root's.
    void updateDeviceWritesNothingThroughAnotherUsersLink() {
        MainWindowAndWizard windows;
        const TempFolder& root = windows.root;
        TFTarveleFirmWare& window = windows.mainWindow;
        TFBootSer& wizard = windows.wizard;
        std::filesystem::create_directories(root / "PROJECTS/P/bin");
        writeFile(root / "victim", "precious");
        if (!makeAnotherUsersLink(root / "victim", root / "PROJECTS/P/bin/bank.bin"))
            QSKIP("only root gives a link to another user");
        workspace().projectName = "P";
        workspace().projectFolder = root / "PROJECTS/P";
        MessageRecorder recorder;
        QTest::mouseClick(window.CreateBin2, Qt::LeftButton);
        QCOMPARE(recorder.entries,
                 (std::vector<MessageRecorder::Entry>{
                     {MessageRecorder::Kind::Error,
                      root / "PROJECTS/P/bin/bank.bin" + " is a link that another user made"}}));
        QCOMPARE(readFile(root / "victim"), std::string("precious"));
        QVERIFY(!wizard.isVisible());
    }

    void innerSizeLeavesRoomForTheFrame() {
        const struct {
            QMargins frame;
            QSize inner;
        } cases[] = {{{0, 0, 0, 0}, {574, 205}},     // no window manager
                     {{1, 20, 1, 1}, {572, 184}},    // openbox under Xvfb
                     {{8, 31, 8, 8}, {558, 166}},    // a thick desktop frame
                     {{400, 300, 400, 0}, {0, 0}}};  // never negative
        for (const auto& c : cases) QCOMPARE(innerSizeFor(QSize(574, 205), c.frame), c.inner);
    }

    // A box with a short text is still wide enough for its caption, bold,
    // beside a title bar's icon and buttons, so no window manager cuts it.
    void aShortBoxHasRoomForItsCaption() {
        int boxWidth = 0;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxWidth = box->width();
                box->accept();
            }
        });
        closer.start(10);
        messages::showPlain("Name project not valid");
        closer.stop();
        QFont bold = QApplication::font();
        bold.setBold(true);
        QVERIFY(boxWidth >= QFontMetrics(bold).horizontalAdvance("Firmware Tarvel") + 100);
    }

    void aboutBoxLayoutIsRestoredAtEveryShowing() {
        TFAbout2 box;
        for (int showing = 0; showing < 2; ++showing) {
            box.Label8->setText(QStringLiteral("changed"));
            box.move(0, 0);
            box.show();
            QCOMPARE(box.windowTitle(), QStringLiteral("About..."));
            QCOMPARE(box.frameGeometry().size(), QSize(413, 179));
            QCOMPARE(box.Label8->text(), QStringLiteral("SW40917"));
            QCOMPARE(box.Label9->text(), QStringLiteral("1.102"));
            QCOMPARE(box.Label10->text(), QStringLiteral("MN40917"));
            QCOMPARE(box.Image2->geometry(), QRect(32, 24, 81, 81));
            QCOMPARE(box.Label4->geometry(), QRect(296, 132, 105, 13));
            QCOMPARE(box.LbButton1->geometry(), QRect(32, 115, 81, 22));
            QCOMPARE(box.Label1->pos(), QPoint(120, 23));
            QCOMPARE(box.Label10->pos(), QPoint(240, 93));
            QTest::mouseClick(box.LbButton1, Qt::LeftButton);
            QVERIFY(!box.isVisible());
            QCOMPARE(box.result(), int(QDialog::Accepted));
        }
    }
};

int main(int argc, char** argv) {
    TarvelApplication app(argc, argv);
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "MainWindowTest.moc"
