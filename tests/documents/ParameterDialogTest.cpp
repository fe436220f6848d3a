#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>
#include <filesystem>
#include <optional>

#include "app/TarvelApplication.h"
#include "controls/FlatButton.h"
#include "controls/RadioGroup.h"
#include "documents/GeneralParameters.h"
#include "documents/Upargen.h"
#include "documents/XmlDocument.h"
#include "project/ProjectLock.h"
#include "project/Workspace.h"
#include "support/MessageRecorder.h"
#include "support/TempFolder.h"

namespace {

using Kind = MessageRecorder::Kind;
const std::string kRtuAssigned = "Error! The RS232 is already assigned to the RTU side";
const std::string kAsciiAssigned = "Error! The RS232 is already assigned to the ASCII side";
const std::string kAsciiTimeout = "Error!! TimeOut ASCII must be between 0 and 60000 ms. ";
const std::string kRtuTimeout = "Error!! TimeOut RTU must be between 0 and 60000 ms. ";

std::string elements(const std::string& inner) {
    return "<General_Parameter>" + inner + "</General_Parameter>";
}

GeneralParameters readBack(const std::string& path) {
    XmlDocument document;
    document.loadFromFile(path);
    return readGeneralParameters(document);
}

}  // namespace

class ParameterDialogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempFolder> folder;
    std::string path;

  private slots:
    void init() {
        folder = std::make_unique<TempFolder>();
        path = *folder / "pargen.xml";
        workspace().projectFolder = folder->path();
        workspace().projectName = "Plant";
        workspace().generalParameterPath = path;
    }

    void opensOnDefaultsWithoutADocument() {
        MessageRecorder recorder;
        TFpargen dialog;
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("General Parameter"));
        QCOMPARE(dialog.size(), QSize(457, 298));
        QVERIFY(dialog.currentParameters() == GeneralParameters{});
        QCOMPARE(dialog.CB_Baud_RTU->currentText(), QStringLiteral("9600"));
        QCOMPARE(dialog.CB_DataBits_ASCII->currentText(), QStringLiteral("8"));
        QVERIFY(!dialog.E_TO_RTU->isVisible() && !dialog.Label20->isVisible());
        QVERIFY(dialog.E_TO_ASCII->isVisible() && dialog.Label5->isVisible());
        for (QComboBox* list : {dialog.CB_DataBits_RTU, dialog.CB_StopBits_RTU,
                                dialog.CB_DataBits_ASCII, dialog.CB_StopBits_ASCII})
            QVERIFY(list->isEnabled());
        QVERIFY(recorder.entries.empty());
    }

    void rs232OnBothSidesInTheDocument() {
        writeFile(path, elements("<SER_RTU>0</SER_RTU><SER_ASCII>0</SER_ASCII>"));
        MessageRecorder recorder;
        TFpargen dialog;
        dialog.show();
        QCOMPARE(recorder.entries,
                 (std::vector<MessageRecorder::Entry>{{Kind::Error, kRtuAssigned}}));
        QVERIFY(dialog.RB_232_RTU->isChecked());
        QVERIFY(dialog.RB_485_ASCII->isChecked());
        QVERIFY(!dialog.CB_DataBits_RTU->isEnabled() && !dialog.CB_StopBits_RTU->isEnabled());
        QVERIFY(dialog.CB_DataBits_ASCII->isEnabled());
    }

    void rs232RuleBothWays() {
        MessageRecorder recorder;
        TFpargen dialog;
        dialog.show();
        QTest::mouseClick(dialog.RB_232_RTU, Qt::LeftButton);
        QVERIFY(dialog.RB_232_RTU->isChecked());
        QVERIFY(!dialog.CB_StopBits_RTU->isEnabled());
        QTest::mouseClick(dialog.RB_232_ASCII, Qt::LeftButton);
        QVERIFY(dialog.RB_485_ASCII->isChecked());
        QVERIFY(dialog.RB_232_RTU->isChecked());

        QTest::mouseClick(dialog.RB_485_RTU, Qt::LeftButton);
        QVERIFY(dialog.CB_StopBits_RTU->isEnabled());
        QTest::mouseClick(dialog.RB_232_ASCII, Qt::LeftButton);
        QTest::mouseClick(dialog.RB_232_RTU, Qt::LeftButton);
        QVERIFY(dialog.RB_485_RTU->isChecked());
        QVERIFY(dialog.RB_232_ASCII->isChecked());
        QCOMPARE(recorder.entries,
                 (std::vector<MessageRecorder::Entry>{{Kind::Error, kRtuAssigned},
                                                      {Kind::Error, kAsciiAssigned}}));
    }

    void masterTimeoutBounds_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("timeout");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("ascii 0") << 0 << "0" << true;
        QTest::newRow("ascii 60000") << 0 << "60000" << true;
        QTest::newRow("ascii hex") << 0 << "$FF" << true;
        QTest::newRow("ascii 60001") << 0 << "60001" << false;
        QTest::newRow("ascii -1") << 0 << "-1" << false;
        QTest::newRow("ascii empty") << 0 << "" << false;
        QTest::newRow("ascii word") << 0 << "soon" << false;
        QTest::newRow("rtu 60000") << 1 << "60000" << true;
        QTest::newRow("rtu 60001") << 1 << "60001" << false;
        QTest::newRow("rtu trailing blank") << 1 << "5 " << false;
    }

    void masterTimeoutBounds() {
        QFETCH(int, mode);
        QFETCH(QString, timeout);
        QFETCH(bool, accepted);
        MessageRecorder recorder;
        TFpargen dialog;
        dialog.show();
        QTest::mouseClick(dialog.RG_Mode->button(mode), Qt::LeftButton, {}, QPoint(6, 6));
        QLineEdit* master = mode == 1 ? dialog.E_TO_RTU : dialog.E_TO_ASCII;
        QLineEdit* other = mode == 1 ? dialog.E_TO_ASCII : dialog.E_TO_RTU;
        QVERIFY(master->isVisible() && !other->isVisible());
        master->setText(timeout);
        other->setText(QStringLiteral("not tested"));
        QTest::mouseClick(dialog.bitbtn1, Qt::LeftButton);
        QCOMPARE(std::filesystem::exists(path), accepted);
        QCOMPARE(dialog.isVisible(), !accepted);
        if (accepted) {
            QVERIFY(recorder.entries.empty());
            const GeneralParameters saved = readBack(path);
            QCOMPARE(saved.mode, mode);
            QCOMPARE((mode == 1 ? saved.ascii : saved.rtu).timeout, std::string("not tested"));
        } else {
            QCOMPARE(recorder.entries,
                     (std::vector<MessageRecorder::Entry>{
                         {Kind::Error, mode == 1 ? kRtuTimeout : kAsciiTimeout}}));
            QCOMPARE(master->text(), timeout);
        }
    }

    void valuesOutsideTheListsAreWrittenAsNoChoice() {
        writeFile(path,
                  elements("<MODE_DEV>-2</MODE_DEV><BAUD_RTU>9</BAUD_RTU><PAR_ASCII>3</PAR_ASCII>"
                           "<TO_RTU>kept word</TO_RTU><DATA_RTU>x</DATA_RTU>"));
        MessageRecorder recorder;
        TFpargen dialog;
        dialog.show();
        QCOMPARE(dialog.RG_Mode->itemIndex(), -1);
        QVERIFY(dialog.E_TO_RTU->isVisible());  // no mode: the RTU field is shown
        QCOMPARE(dialog.CB_Baud_RTU->currentIndex(), -1);
        QCOMPARE(dialog.CB_Baud_RTU->currentText(), QString());
        QTest::mouseClick(dialog.bitbtn1, Qt::LeftButton);  // the ASCII time-out is tested
        const GeneralParameters saved = readBack(path);
        QCOMPARE(saved.mode, -1);
        QCOMPARE(saved.rtu.baudRate, -1);
        QCOMPARE(saved.ascii.parity, -1);
        QCOMPARE(saved.rtu.dataBits, 3);
        QCOMPARE(saved.rtu.timeout, std::string("kept word"));

        writeFile(path, elements("<MODE_DEV>7</MODE_DEV>"));
        dialog.show();
        QCOMPARE(dialog.RG_Mode->itemIndex(), 1);
    }

    void disabledListsKeepAndWriteTheirSelection() {
        writeFile(path, elements("<SER_ASCII>0</SER_ASCII><DATA_ASCII>1</DATA_ASCII>"
                                 "<STOP_ASCII>1</STOP_ASCII>"));
        TFpargen dialog;
        dialog.show();
        QVERIFY(!dialog.CB_DataBits_ASCII->isEnabled());
        QTest::mouseClick(dialog.bitbtn1, Qt::LeftButton);
        QCOMPARE(readBack(path).ascii, (SideParameters{true, 3, 0, 1, 1, "1000"}));
    }

    void cancelLeavesTheFileAndTheNextOpeningShowsIt() {
        writeFile(path, elements("<BAUD_RTU>5</BAUD_RTU>"));
        TFpargen dialog;
        dialog.show();
        dialog.CB_Baud_RTU->setCurrentIndex(0);
        QTest::mouseClick(dialog.bitbtn2, Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(readFile(path), elements("<BAUD_RTU>5</BAUD_RTU>"));
        dialog.show();
        QCOMPARE(dialog.CB_Baud_RTU->currentIndex(), 5);
    }

    void unparseableDocumentShowsTheErrorAndOkReplacesIt() {
        writeFile(path, "<General_Parameter><MODE_DEV>1</MODE_DEV>");
        MessageRecorder recorder;
        TFpargen dialog;
        dialog.show();
        QCOMPARE(recorder.entries.size(), size_t(1));
        QVERIFY(recorder.entries[0].kind == Kind::Report);
        QVERIFY(recorder.entries[0].text.find(
                    "\nLine: 1\n<General_Parameter><MODE_DEV>1</MODE_DEV") != std::string::npos);
        QVERIFY(dialog.currentParameters() == GeneralParameters{});
        QTest::mouseClick(dialog.bitbtn1, Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QVERIFY(readBack(path) == GeneralParameters{});
    }

    void otherSidesTimeoutInADeclaredEncodingSurvivesOk() {
        writeFile(path, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" +
                            elements("<MODE_DEV>1</MODE_DEV><TO_ASCII>5\xB5s</TO_ASCII>"));
        MessageRecorder recorder;
        TFpargen dialog;
        dialog.show();
        QCOMPARE(dialog.E_TO_ASCII->text(), QStringLiteral("5\u00B5s"));
        QTest::mouseClick(dialog.bitbtn1, Qt::LeftButton);
        QVERIFY(recorder.entries.empty());
        QCOMPARE(readBack(path).ascii.timeout, std::string("5\xC2\xB5s"));
    }

    // A script changed (or made, or removed) the document while the dialog was
    // open: OK writes nothing and says so.
    void anotherWritersChangeIsNeverRevertedOnOk() {
        const std::string changed = path +
                                    " was changed by another program since this dialog was "
                                    "opened. Press Cancel and open it again.";
        const std::optional<std::string> mine = elements("<BAUD_RTU>5</BAUD_RTU>");
        const std::optional<std::string> theirs = elements("<BAUD_RTU>2</BAUD_RTU>");
        const std::pair<std::optional<std::string>, std::optional<std::string>> cases[] = {
            {mine, theirs}, {std::nullopt, theirs}, {mine, std::nullopt}};
        for (const auto& [before, after] : cases) {
            std::filesystem::remove(path);
            if (before)
                writeFile(path, *before);
            MessageRecorder recorder;
            TFpargen dialog;
            dialog.show();
            if (after)
                writeFile(path, *after);
            else
                std::filesystem::remove(path);
            dialog.CB_Par_RTU->setCurrentIndex(1);
            QTest::mouseClick(dialog.bitbtn1, Qt::LeftButton);
            QVERIFY(dialog.isVisible());
            QCOMPARE(recorder.entries,
                     (std::vector<MessageRecorder::Entry>{{Kind::Error, changed}}));
            QCOMPARE(std::filesystem::exists(path), after.has_value());
            if (after)
                QCOMPARE(readFile(path), *after);
        }
        QVERIFY(std::filesystem::exists(*folder / ".tarvel-lock"));
    }

    // While another writer holds the project, OK waits in the event loop: the
    // windows keep painting, and OK goes on when the lock is free.
    void okWaitsForTheLockWithoutFreezing() {
        writeFile(path, elements("<BAUD_RTU>5</BAUD_RTU>"));
        MessageRecorder recorder;
        TFpargen dialog;
        dialog.show();
        dialog.CB_Baud_RTU->setCurrentIndex(1);
        std::optional<ProjectLock> otherWriter(std::in_place, folder->path(), "Plant");
        bool eventsRanMeanwhile = false;
        QTimer::singleShot(100, [&] {
            eventsRanMeanwhile = true;
            otherWriter.reset();
        });
        QTest::mouseClick(dialog.bitbtn1, Qt::LeftButton);
        QVERIFY(eventsRanMeanwhile);
        QVERIFY(recorder.entries.empty());
        QVERIFY(!dialog.isVisible());
        QCOMPARE(readBack(path).rtu.baudRate, 1);
    }

    // Root's OK writes no document through a link that the project's owner
    // made to a file of root's, nor shows what it leads to.
    void okWritesNothingThroughAnotherUsersLink() {
        const std::string victim = *folder / "victim.xml";
        writeFile(victim, elements("<BAUD_RTU>5</BAUD_RTU>"));
        if (!makeAnotherUsersLink(victim, path))
            QSKIP("only root gives a link to another user");
        const std::string refusal = path + " is a link that another user made";
        MessageRecorder recorder;
        TFpargen dialog;
        dialog.show();
        QVERIFY(dialog.currentParameters() == GeneralParameters{});
        QTest::mouseClick(dialog.bitbtn1, Qt::LeftButton);
        QVERIFY(dialog.isVisible());
        QCOMPARE(recorder.entries, (std::vector<MessageRecorder::Entry>{
                                       {Kind::Report, refusal + "."}, {Kind::Error, refusal}}));
        QCOMPARE(readFile(victim), elements("<BAUD_RTU>5</BAUD_RTU>"));
    }

    void readOnlyDocumentKeepsTheDialogOpen() {
        writeFile(path, elements("<BAUD_RTU>5</BAUD_RTU>"));
        std::filesystem::permissions(path, std::filesystem::perms::owner_read,
                                     std::filesystem::perm_options::replace);
        MessageRecorder recorder;
        TFpargen dialog;
        dialog.show();
        dialog.CB_Baud_RTU->setCurrentIndex(1);
        QTest::mouseClick(dialog.bitbtn1, Qt::LeftButton);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.CB_Baud_RTU->currentIndex(), 1);
        QCOMPARE(recorder.entries.size(), size_t(1));
        QVERIFY(recorder.entries[0].kind == Kind::Report);
        QCOMPARE(readFile(path), elements("<BAUD_RTU>5</BAUD_RTU>"));
    }

    void hugeAndBinaryDocumentsNeverCrash() {
        const std::string inputs[] = {
            std::string(4 << 20, '\xff'),
            elements(std::string("<X>") + std::string(3 << 20, 'a') + "</X><BAUD_RTU>4</BAUD_RTU>"),
            "<?xml version=\"1.0\"?><!-- c -->" + elements("<PAR_RTU>2</PAR_RTU>"),
            elements("<STOP_RTU>1</STOP_RTU><BAUD_RTU>1</BAUD_RTU><BAUD_RTU>2</BAUD_RTU>")};
        const int expectedBaud[] = {3, 4, 3, 1};
        for (std::size_t i = 0; i < std::size(inputs); ++i) {
            writeFile(path, inputs[i]);
            MessageRecorder recorder;
            TFpargen dialog;
            dialog.show();
            QCOMPARE(dialog.CB_Baud_RTU->currentIndex(), expectedBaud[i]);
        }
    }
};

int main(int argc, char** argv) {
    TarvelApplication app(argc, argv);
    ParameterDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ParameterDialogTest.moc"
