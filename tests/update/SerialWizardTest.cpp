#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QWindow>
#include <QtTest>
#include <filesystem>

#include "app/Forms.h"
#include "app/TarvelApplication.h"
#include "app/UTarveleFirmWare.h"
#include "controls/FlatButton.h"
#include "platform/SerialNames.h"
#include "project/Workspace.h"
#include "support/FakeSerialApi.h"
#include "support/MessageRecorder.h"
#include "support/TempFolder.h"
#include "update/UBootSer.h"
#include "update/UpdaterOutputWindow.h"

namespace {

using Kind = MessageRecorder::Kind;

QStringList items(const QComboBox* list) {
    QStringList all;
    for (int i = 0; i < list->count(); ++i) all << list->itemText(i);
    return all;
}

int count(const std::vector<std::string>& calls, const std::string& prefix) {
    return static_cast<int>(std::count_if(
        calls.begin(), calls.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
}

}  // namespace

class SerialWizardTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempFolder> root;
    std::unique_ptr<TFTarveleFirmWare> mainWindow;
    std::shared_ptr<FakeSerialApi> api;
    std::unique_ptr<TFBootSer> wizard;

    bool stepsPageShown() const {
        return !wizard->Panel1->isVisible() && wizard->Label1->isVisible() &&
               wizard->Label6->isVisible() && wizard->LbButton5->isVisible();
    }

    void connectPort() { QTest::mouseClick(wizard->LbButton1, Qt::LeftButton); }

    std::string updaterPath() const { return *root / "Ser_40917_Update.exe"; }

    void showAgain() {
        wizard->close();
        wizard->show();
        QCoreApplication::processEvents();
    }

  private slots:
    void init() {
        root = std::make_unique<TempFolder>();
        mainWindow = std::make_unique<TFTarveleFirmWare>(root->path());
        workspace().projectFolder = *root / "PROJECTS/Plant 1";
        std::filesystem::copy_file(FAKE_UPDATER, updaterPath());
        writeFile(*root / "MASTER/sim40917.sim", "master");
        api = std::make_shared<FakeSerialApi>();
        api->devices = {"\\\\.\\COM3", "\\\\.\\COM10", "\\\\.\\COM2", "COM3", "COM10", "COM2"};
        wizard = std::make_unique<TFBootSer>(api);
        // As the program's entry and builders wire them.
        forms().mainWindow = mainWindow.get();
        forms().bootSer = wizard.get();
        wizard->updaterRunner = mainWindow.get();
        wizard->show();
        QCoreApplication::processEvents();  // the look for the updater's files
    }

    void cleanup() {
        forms() = Forms{};
        wizard.reset();
        mainWindow.reset();
        root.reset();
    }

    void showingStartsOnTheStepsPageWithThePortsFound() {
        QCOMPARE(wizard->windowTitle(), QStringLiteral("Update Firmware from Serial (RS232)"));
        QCOMPARE(wizard->size(), QSize(358, 210));
        QVERIFY(stepsPageShown());
        QVERIFY(!wizard->connected());
        QCOMPARE(items(wizard->CB_Com), (QStringList{"COM2", "COM3", "COM10"}));
        QCOMPARE(wizard->CB_Com->currentIndex(), 0);
        // Each entry tells its device (no USB adapter here).
        QCOMPARE(wizard->CB_Com->itemData(2, Qt::ToolTipRole).toString(),
#ifdef _WIN32
                 QStringLiteral("\\\\.\\COM10"));
#else
                 QStringLiteral("/dev/ttyS9"));
#endif
        QCOMPARE(wizard->LbButton5->toolTip(), QStringLiteral("Update COM Port List"));
        QCOMPARE(wizard->LbButton5->accessibleName(), QStringLiteral("Update COM Port List"));
        QCOMPARE(wizard->Label4->text(),
                 QStringLiteral("3 - Select the  COM port and press the connect button"));
        QCOMPARE(wizard->CB_Com->geometry(), QRect(44, 96, 101, 21));
        QCOMPARE(wizard->LbButton2->geometry(), QRect(128, 176, 100, 23));
        QCOMPARE(api->openHandles(), 0);
    }

    void nextBeforeOrAfterAFailedConnect() {
        MessageRecorder recorder;
        QTest::mouseClick(wizard->LbButton2, Qt::LeftButton);
        api->failCall("escapeCommFunction", 1);
        connectPort();
        QVERIFY(!wizard->connected());
        QVERIFY(wizard->Comm1.IsOpen());  // only the DTR step failed: open until the next close
        // The box keeps its fixed text; Connect's tooltip says why.
        const QString device = QString::fromStdString(
            platform::devicePathForName(wizard->CB_Com->currentText().toStdString()));
        const QString why = wizard->LbButton1->toolTip();
        QVERIFY2(why.startsWith(device + QStringLiteral(": ")), qPrintable(why));
        QVERIFY(why.endsWith(QStringLiteral("(Error: 1)")));
        QTest::mouseClick(wizard->LbButton2, Qt::LeftButton);
        QVERIFY(stepsPageShown());
        QCOMPARE(recorder.entries, (std::vector<MessageRecorder::Entry>{
                                       {Kind::Error, "Select one port."},
                                       {Kind::Error, "Error!! Com Port cannot be open."},
                                       {Kind::Error, "Select one port."}}));
    }

    void connectRefreshAndReconnect() {
        MessageRecorder recorder;
        wizard->CB_Com->setCurrentIndex(1);
        connectPort();
        QVERIFY(wizard->connected());
        QVERIFY(wizard->Comm1.IsOpen());
        QCOMPARE(wizard->Comm1.DeviceName(), std::string("COM3"));
        QCOMPARE(count(api->calls(), "escapeCommFunction 5"), 1);

        QTest::mouseClick(wizard->LbButton5, Qt::LeftButton);
        QVERIFY(wizard->connected());
        QVERIFY(wizard->Comm1.IsOpen());
        QCOMPARE(wizard->CB_Com->currentIndex(), 0);  // a refill selects the first port

        api->clearCalls();
        connectPort();
        QVERIFY(wizard->connected());
        const auto calls = api->calls();
        QCOMPARE(calls.front(), std::string("purgeComm 15"));
        QCOMPARE(calls[1], std::string("closeHandle"));
        QCOMPARE(calls[2], std::string("createFile COM2"));
        QVERIFY(recorder.entries.empty());
    }

    void noPortFound() {
        api->devices.clear();
        MessageRecorder recorder;
        QTest::mouseClick(wizard->LbButton5, Qt::LeftButton);
        QCOMPARE(wizard->CB_Com->count(), 0);
        QCOMPARE(wizard->CB_Com->currentText(), QString());
        connectPort();
        QCOMPARE(recorder.entries, (std::vector<MessageRecorder::Entry>{
                                       {Kind::Error, "Error!! Com Port cannot be open."}}));
    }

    void nextShowsTheOptionsAndFreesThePortThenExecuteRunsTheUpdater() {
        const std::string argsFile = *root / "args.txt";
        qputenv("TARVEL_ARGS_FILE", QByteArray::fromStdString(argsFile));
        qunsetenv("TARVEL_UPDATER_SLEEP_MS");

        wizard->CB_Com->setCurrentIndex(1);
        connectPort();
        wizard->CB_Com->setCurrentIndex(2);  // another port shown, not test-opened
        QTest::mouseClick(wizard->LbButton2, Qt::LeftButton);
        QVERIFY(wizard->Panel1->isVisible());
        QCOMPARE(wizard->Panel1->pos(), QPoint(0, 0));
        QVERIFY(!wizard->Label1->isVisible() && !wizard->LbButton5->isVisible());
        QVERIFY(!wizard->Comm1.IsOpen());
        QVERIFY(wizard->CB_Firm->isChecked() && wizard->CB_RProj->isChecked());

        QTest::mouseClick(wizard->LbButton4, Qt::LeftButton);
        wizard->CB_RFirm->setChecked(false);
        wizard->CB_Proj->setChecked(false);
        QTest::mouseClick(wizard->LbButton4, Qt::LeftButton);
        QVERIFY(wizard->Panel1->isVisible());
        const std::string master = *root / "MASTER/sim40917.sim";
        const std::string bin = *root / "PROJECTS/Plant 1/bin/";
#ifdef _WIN32
        // The C runtime reads the last path's closing backslash-quote as a quote.
        const QStringList runs = QString::fromStdString(readFile(argsFile)).split("--end--\n");
        QCOMPARE(runs.size(), 3);
        QVERIFY(runs[0].startsWith("\\\\.\\COM10\nFW\nFR\nPW\nPR\n"));
        QVERIFY(runs[1].startsWith("\\\\.\\COM10\nFW\nNO\nNO\nPR\n"));
#else
        QCOMPARE(readFile(argsFile), "/dev/ttyS9\nFW\nFR\nPW\nPR\n" + master + "\n" + bin +
                                         "\n--end--\n" + "/dev/ttyS9\nFW\nNO\nNO\nPR\n" + master +
                                         "\n" + bin + "\n--end--\n");
#endif

        // Closed and shown again: steps page, not connected, options as left.
        wizard->close();
        QVERIFY(!wizard->isVisible());
        wizard->show();
        QVERIFY(stepsPageShown());
        QVERIFY(!wizard->connected());
        QVERIFY(!wizard->CB_RFirm->isChecked() && !wizard->CB_Proj->isChecked());
        QVERIFY(wizard->CB_Firm->isChecked());
    }

    void coveredStepsPageIsOutOfReachOfTheKeyboard() {
        MessageRecorder recorder;
        connectPort();
        QTest::mouseClick(wizard->LbButton2, Qt::LeftButton);
        QVERIFY(!wizard->Comm1.IsOpen());
        api->clearCalls();
        // From Execute, every reachable control gets every key that presses or changes it.
        wizard->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(wizard.get()));
        wizard->LbButton4->setFocus();
        for (int step = 0; step < 12; ++step) {
            QWidget* focused = QApplication::focusWidget();
            QVERIFY(focused && wizard->Panel1->isAncestorOf(focused));
            if (focused != wizard->LbButton4) {
                QTest::keyClick(focused, Qt::Key_Down);
                QTest::keyClick(focused, Qt::Key_Space);
            }
            QTest::keyClick(focused, Qt::Key_Tab);
        }
        QCOMPARE(wizard->CB_Com->currentText(), QStringLiteral("COM2"));
        QCOMPARE(count(api->calls(), "createFile"), 0);
        QVERIFY(wizard->isVisible() && wizard->Panel1->isVisible());
        QVERIFY(recorder.entries.empty());

        wizard->close();
        wizard->show();
        QVERIFY(stepsPageShown());
        QVERIFY(wizard->CB_Com->isVisible() && wizard->LbButton1->isVisible() &&
                wizard->LbButton2->isVisible() && wizard->LbButton3->isVisible());
    }

    void inputDuringARunIsThrownAwayWhileTheWindowsKeepPainting() {
        const std::string argsFile = *root / "args.txt";
        qputenv("TARVEL_ARGS_FILE", QByteArray::fromStdString(argsFile));
        qputenv("TARVEL_UPDATER_SLEEP_MS", "2300");
        mainWindow->show();
        connectPort();
        QTest::mouseClick(wizard->LbButton2, Qt::LeftButton);

        QStringList statuses;
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, [&] {
            if (statuses.isEmpty() || statuses.last() != wizard->LabelStatus->text())
                statuses << wizard->LabelStatus->text();
        });
        sampler.start(50);
        const auto press = [](QWidget* target) {
            const QPoint centre = target->rect().center();
            for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
                QCoreApplication::postEvent(
                    target, new QMouseEvent(type, centre, target->mapToGlobal(centre),
                                            Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
        };
        QTimer::singleShot(300, [&] {
            press(wizard->LbButton4);
            press(wizard->CB_Firm);
            QTest::mouseClick(wizard->CB_RFirm, Qt::LeftButton);
            QTest::keyClick(wizard->LbButton4, Qt::Key_Space);
            QCoreApplication::postEvent(mainWindow->windowHandle(), new QCloseEvent);
        });
        QTest::mouseClick(wizard->LbButton4, Qt::LeftButton);
        QCoreApplication::processEvents();
        QTest::qWait(100);
        sampler.stop();

        QCOMPARE(QString::fromStdString(readFile(argsFile)).count("--end--"), 1);
        QVERIFY(wizard->CB_Firm->isChecked() && wizard->CB_RFirm->isChecked());
        QVERIFY(mainWindow->isVisible());
        QCOMPARE(wizard->LabelStatus->text(), QStringLiteral("Updater ended with exit code 3"));
        QCOMPARE(wizard->LabelStatus->styleSheet(), QStringLiteral("color: #C00000"));
        QVERIFY2(statuses.size() >= 3, qPrintable(statuses.join(" | ")));
        QCOMPARE(statuses.front(), QStringLiteral("Updater running\u2026 0 s"));
        QVERIFY(statuses.contains(QStringLiteral("Updater running\u2026 1 s")));
        qunsetenv("TARVEL_UPDATER_SLEEP_MS");
    }

    void missingUpdaterFilesAreNamedAsTheWizardShows() {
        const std::string master = *root / "MASTER/sim40917.sim";
        const std::string missingUpdater =
            "The updater " + updaterPath() + " is missing or cannot be run.";
        const std::string missingMaster = "The device master file " + master + " is missing.";
        MessageRecorder recorder;
        showAgain();
        QVERIFY(recorder.entries.empty());

        std::filesystem::remove(updaterPath());
        std::filesystem::remove(master);
        showAgain();
        QVERIFY(stepsPageShown());
        QCOMPARE(wizard->LbButton1->geometry(), QRect(184, 96, 81, 21));
        QCOMPARE(recorder.entries,
                 (std::vector<MessageRecorder::Entry>{{Kind::Plain, missingUpdater},
                                                      {Kind::Plain, missingMaster}}));
#ifndef _WIN32
        recorder.entries.clear();
        writeFile(updaterPath(), "#!/bin/sh\n");  // there, but not executable
        std::filesystem::create_directory(master);
        showAgain();
        QCOMPARE(recorder.entries,
                 (std::vector<MessageRecorder::Entry>{{Kind::Plain, missingUpdater},
                                                      { Kind::Plain,
                                                        missingMaster }}));
#endif
    }

    // The real box, on the path where the program used to lock up: it must
    // take Return while the wizard waits behind it.
    void aFailedLaunchShowsABoxThatTakesTheKeyboard() {
        std::filesystem::remove(updaterPath());
        connectPort();
        QTest::mouseClick(wizard->LbButton2, Qt::LeftButton);
        QString boxText;
        QString statusBehindTheBox;
        [[maybe_unused]] bool closedByReturn = false;  // looked at off Windows
        QTimer closer;
        int looks = 0;
        connect(&closer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            if (boxText.isEmpty()) {
                boxText = box->windowTitle() + "|" + box->text();
                statusBehindTheBox = wizard->LabelStatus->text();
                QTest::keyClick(box, Qt::Key_Return);
            } else if (++looks > 20) {
                box->hide();  // never hang the test run: hiding ends its loop
            }
        });
        closer.start(20);
        QTest::mouseClick(wizard->LbButton4, Qt::LeftButton);
        closedByReturn = looks == 0;
        closer.stop();
#ifdef _WIN32
        QVERIFY(boxText.isEmpty());  // the shell tells of a failed launch itself
#else
        QVERIFY(closedByReturn);
        QCOMPARE(boxText, QStringLiteral("Error|Cannot start ") +
                              QString::fromStdString(updaterPath()) +
                              QStringLiteral(": No such file or directory"));
        QCOMPARE(statusBehindTheBox, QString());  // nothing runs: no "Updater running"
#endif
        QVERIFY(wizard->isVisible() && wizard->Panel1->isVisible());
        QCOMPARE(wizard->LabelStatus->text(), QStringLiteral("Updater could not be started"));
    }

#ifndef _WIN32
    // A console updater's messages get a window of their own, during the run
    // and after it; the wait still wakes only on its tick, the end or the event.
    void anUpdatersOutputGetsItsOwnWindowWhileTheWaitStaysOnItsTick() {
        const auto outputWindows = [] {
            QList<QWidget*> found;
            for (QWidget* window : QApplication::topLevelWidgets()) {
                if (window->objectName() == "UpdaterOutput" && window->isVisible())
                    found.push_back(window);
            }
            return found;
        };
        qputenv("TARVEL_UPDATER_SAY", "Device not responding");
        qputenv("TARVEL_UPDATER_SLEEP_MS", "2500");
        qputenv("TARVEL_UPDATER_EXIT_CODE", "2");
        int looks = 0;
        std::uint32_t waitedMs = 0;
        bool shownDuringTheRun = false;
        const RunOutcome outcome =
            mainWindow->RunAndWait(updaterPath(), {}, false, [&](std::uint32_t elapsedMs) {
                ++looks;
                waitedMs = elapsedMs;
                if (elapsedMs >= 1000)
                    shownDuringTheRun = shownDuringTheRun || outputWindows().size() == 1;
            });
        qunsetenv("TARVEL_UPDATER_SAY");
        QCOMPARE(outcome.exitCode, 2);
        QVERIFY(shownDuringTheRun);
        // One look a second however long the busy machine made the wait, and the first.
        QVERIFY(looks <= static_cast<int>(waitedMs / 1000) + 2);
        const QList<QWidget*> after = outputWindows();
        QCOMPARE(after.size(), 1);
        QCOMPARE(after.front()->windowTitle(), QStringLiteral("Ser_40917_Update.exe"));
        QCOMPARE(static_cast<UpdaterOutputWindow*>(after.front())->text(),
                 QStringLiteral("Device not responding\n"));
        after.front()->close();

        qputenv("TARVEL_UPDATER_SLEEP_MS", "0");
        mainWindow->RunAndWait(updaterPath(), {}, false, {});
        qunsetenv("TARVEL_UPDATER_SLEEP_MS");
        qunsetenv("TARVEL_UPDATER_EXIT_CODE");
        QCoreApplication::processEvents();
        QVERIFY(outputWindows().isEmpty());  // it wrote nothing
    }
#endif

    void closingWhileConnectedReleasesThePort() {
        connectPort();
        QVERIFY(wizard->Comm1.IsOpen());
        QTest::mouseClick(wizard->LbButton3, Qt::LeftButton);
        QVERIFY(!wizard->isVisible());
        QCOMPARE(wizard->result(), int(QDialog::Rejected));
        QVERIFY(!wizard->Comm1.IsOpen());
        QCOMPARE(api->openHandles(), 0);

        wizard->show();
        connectPort();
        wizard->close();  // the close box
        QVERIFY(!wizard->Comm1.IsOpen());
    }
};

int main(int argc, char** argv) {
    TarvelApplication app(argc, argv);
    SerialWizardTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SerialWizardTest.moc"
