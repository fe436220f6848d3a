#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>
#include <filesystem>

#include "app/StationArguments.h"
#include "app/StationWindow.h"
#include "app/TarvelApplication.h"
#include "common/Json.h"
#include "support/Environment.h"
#include "support/FakeSerialApi.h"
#include "support/QtWait.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

// The bound of every wait: it only keeps a broken build from hanging.
constexpr int kPatience = 20000;

std::vector<Json> records(const std::string& log) {
    std::vector<Json> all;
    std::istringstream lines(fs::exists(log) ? readFile(log) : "");
    for (std::string line; std::getline(lines, line);) all.push_back(Json::parse(line));
    return all;
}

std::vector<std::string> outcomes(const std::string& log) {
    std::vector<std::string> all;
    for (const Json& record : records(log))
        if (record["event"] == "result")
            all.push_back(record["project"].get<std::string>() + " " +
                          record["outcome"].get<std::string>());
    return all;
}

}  // namespace

// The station's window on the fake serial layer and the stand-in updater,
// whose gate holds it running until the test opens it.
class StationWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempFolder> workspace;
    std::unique_ptr<StationWindow> window;
    std::string log, gate;

    // A station on COM3 of the fake serial layer, unless adjust says otherwise.
    void open(const std::string& exitCodes,
              const std::function<void(StationSettings&)>& adjust = {}) {
        workspace = std::make_unique<TempFolder>();
        fs::copy_file(FAKE_UPDATER, *workspace / "Ser_40917_Update.exe");
        fs::create_directory(*workspace / "MASTER");
        writeFile(*workspace / "MASTER/sim40917.sim", "");
        const std::string queue = *workspace / "queue.csv";
        writeFile(queue, "name,rtu.baud\nLine-1,9600\nLine-2,19200\n");
        log = *workspace / "queue.audit.jsonl";
        gate = *workspace / "gate";
        setEnvironment("TARVEL_UPDATER_EXIT_CODES", exitCodes);
        setEnvironment("TARVEL_UPDATER_GATE", gate);
        setEnvironment("TARVEL_ARGS_FILE", *workspace / "args.txt");
        StationSettings settings;
        auto serial = std::make_shared<FakeSerialApi>();
        serial->devices = {"COM1", "COM2", "COM3"};
        settings.serial = serial;
        settings.port = "COM3";
        settings.queueFile = queue;
        settings.logPath = log;
        settings.claimFolder = workspace->path();
        if (adjust)
            adjust(settings);
        window = std::make_unique<StationWindow>(settings, workspace->path());
        window->show();
        window->start();
    }

    StationBoard::Tile tile(std::size_t index = 0) {
        return window->board().snapshot().tiles.at(index);
    }

    // Waits until the tile's big button offers words.
    void offered(const QString& words, std::size_t index = 0) {
        QVERIFY2(waitUntil(
                     [&] {
                         return window->answerButton(index)->isEnabled() &&
                                window->answerButton(index)->text() == words;
                     },
                     kPatience),
                 qPrintable(words + QStringLiteral(" not offered; the tile says ") +
                            QString::fromStdString(tile(index).view.step)));
    }
    void press(const QString& words) {
        offered(words);
        // As a press, whatever size a platform without fonts gives the button.
        window->answerButton(0)->click();
    }
    // The window's own question box, answered as the operator would, once
    // it shows: how often, and what it asked.
    int asked = 0;
    QString question;
    QMessageBox::StandardButton reply = QMessageBox::No;
    void answerTheBox() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            QTimer::singleShot(0, this, [this] { answerTheBox(); });
            return;
        }
        ++asked;
        question = box->text();
        box->button(reply)->click();
    }

    void waitForRunningUpdater() {
        QVERIFY(waitUntil(
            [&] {
                return tile().view.state == FixtureView::State::Running &&
                       !window->answerButton(0)->isEnabled();
            },
            kPatience));
    }

  private slots:
    void cleanup() {
        writeFile(gate, "");  // a stand-in left waiting would poll for ever
        window.reset();
        for (const char* name :
             {"TARVEL_UPDATER_EXIT_CODES", "TARVEL_UPDATER_GATE", "TARVEL_ARGS_FILE"})
            clearEnvironment(name);
        workspace.reset();
    }

    void writesEachRowByItsButtonsAndRetriesAFail() {
        open("2 0 0");
        QCOMPARE(window->windowTitle(), QStringLiteral("Tarvel Station - queue.csv"));
        press("Done");
        press("It blinks");
        waitForRunningUpdater();
        // Answers while the updater runs change nothing.
        QVERIFY(!window->board().answer(0, Answer::Go));
        QTest::keyClick(window.get(), Qt::Key_Return);
        QTest::keyClick(window.get(), Qt::Key_S);
        writeFile(gate, "");

        offered("Retry");  // the first attempt exits 2
        QCOMPARE(tile().view.state, FixtureView::State::Failed);
        press("Retry");
        offered("Done");
        QVERIFY(tile().view.step.starts_with("1 - Turn OFF the Device"));
        QTest::keyClick(window.get(), Qt::Key_Return);  // the keyboard answers as the button
        press("It blinks");
        press("Done");
        press("It blinks");
        QVERIFY(waitUntil([&] { return window->board().snapshot().ended.has_value(); }, kPatience));
        QCOMPARE(*window->board().snapshot().ended, 0);
        QCOMPARE(tile().view.state, FixtureView::State::Passed);
        QCOMPARE(outcomes(log),
                 (std::vector<std::string>{"Line-1 failed", "Line-1 ok", "Line-2 ok"}));

        // Export writes the record as audit --csv does.
        const std::string exported = *workspace / "record.csv";
        window->exportFileName = [&](const QString&) { return QString::fromStdString(exported); };
        window->exportRecord();
        const std::string csv = readFile(exported);
        QVERIFY2(csv.starts_with("project,outcome,time,port,adapter,image,exitCode,unit,attempts,"
                                 "failures,") &&
                     csv.find("\r\nLine-1,ok,") != std::string::npos &&
                     csv.find("\r\nLine-2,ok,") != std::string::npos,
                 csv.c_str());

        // The record's check names the line of a changed byte.
        window->checkRecord();
        QVERIFY2(window->recordVerdict().startsWith(QStringLiteral("The chain is whole")),
                 qPrintable(window->recordVerdict()));
        std::string text = readFile(log);
        const std::size_t second = text.find('\n') + 1;
        text[text.find("Line-1", second)] = 'X';
        writeFile(log, text);
        window->checkRecord();
        QVERIFY2(window->recordVerdict().contains(QStringLiteral("line 2")),
                 qPrintable(window->recordVerdict()));
        window->exportRecord();  // nor is a changed record exported
        QCOMPARE(readFile(exported), csv);
    }

    void closingWhileTheUpdaterRunsAsksAndLetsItFinish() {
        open("0");
        press("Done");
        press("It blinks");
        waitForRunningUpdater();
        reply = QMessageBox::No;
        QTimer::singleShot(0, this, [this] { answerTheBox(); });
        QVERIFY(!window->close());  // kept open
        QCOMPARE(asked, 1);
        QVERIFY2(question.startsWith(QStringLiteral("Updaters are running. Close the window?")),
                 qPrintable(question));
        QVERIFY(window->isVisible());
        reply = QMessageBox::Yes;
        QTimer::singleShot(0, this, [this] { answerTheBox(); });
        window->close();
        QCOMPARE(asked, 2);
        QVERIFY(!window->isVisible());
        QCOMPARE(window->board().interruptions(), 1);
        writeFile(gate, "");
        QVERIFY(waitUntil([&] { return window->board().snapshot().ended.has_value(); }, kPatience));
        // The updater ended on its own and its result is in the log; the
        // next row was not started.
        QCOMPARE(outcomes(log), (std::vector<std::string>{"Line-1 ok"}));
    }

    // On the system's own ports, under Wine too.
    void aPortThatIsNotThereIsToldBeforeTheFirstRow() {
        open("0", [](StationSettings& settings) {
            settings.serial = platform::systemSerialApi();
            settings.port = "COM200";
        });
        QVERIFY(waitUntil([&] { return window->board().snapshot().ended.has_value(); }, kPatience));
        const StationBoard::Snapshot board = window->board().snapshot();
        QCOMPARE(*board.ended, 1);
        QCOMPARE(board.tiles[0].view.project, std::string());  // no row taken
        const std::string& told = board.tiles[0].view.step;
        QVERIFY2(told.starts_with("COM200") && told.find("no such port") != std::string::npos &&
                     told.ends_with("The station did not start: nothing was written."),
                 told.c_str());
        QVERIFY(records(log).empty());
    }

    void aFixtureNumberAndItsKeysAnswerThatTileAlone() {
        open("0", [](StationSettings& settings) {
            settings.port.clear();
            settings.fixtures = {{"A", "COM1", {}, {}}, {"B", "COM2", {}, {}}};
        });
        QCOMPARE(window->tileCount(), std::size_t{2});
        offered("Done", 0);
        offered("Done", 1);
        QTest::keyClicks(window.get(), "2");
        QTest::keyClick(window.get(), Qt::Key_Return);
        offered("It blinks", 1);
        QTest::keyClick(window.get(), Qt::Key_S);  // B's row is skipped
        QTest::keyClick(window.get(), Qt::Key_1);
        QTest::keyClick(window.get(), Qt::Key_Return);
        offered("It blinks", 0);
        writeFile(gate, "");
        QTest::keyClick(window.get(), Qt::Key_Return);
        QVERIFY(waitUntil([&] { return window->board().snapshot().ended.has_value(); }, kPatience));
        const std::string a = tile(0).view.project, b = tile(1).view.project;
        QCOMPARE(outcomes(log), (std::vector<std::string>{b + " skipped", a + " ok"}));
    }

    void programArguments_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("problem");
        QTest::newRow("none") << QStringList{} << QString();
        // clang-format off
        QTest::newRow("station") << QStringList{"--station", "q.csv", "--port", "COM4", "--log",
                                                "l", "--key", "k", "--anchor", "a", "--unit", "ask"}
                                 << QString();
        QTest::newRow("unknown") << QStringList{"--help"} << "unknown argument --help";
        QTest::newRow("option") << QStringList{"--station", "--yes"} << "unknown option --yes";
        QTest::newRow("both") << QStringList{"--station", "--port", "COM1", "--fixtures", "b"}
                              << "give --port or --fixtures, not both";
        QTest::newRow("port") << QStringList{"--station", "--port", "ttyS0"}
                              << "--port takes a port such as COM1";
        QTest::newRow("value") << QStringList{"--station", "--log"} << "--log needs a value";
        QTest::newRow("anchor") << QStringList{"--station", "--anchor", "a"}
                                << "--anchor goes with --key";
        QTest::newRow("unit") << QStringList{"--station", "--unit", "scan"} << "--unit takes ask";
        QTest::newRow("queues") << QStringList{"--station", "a.csv", "b.csv"}
                                << "one queue at a time: b.csv";
        // clang-format on
    }
    void programArguments() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, problem);
        std::vector<std::string> given;
        for (const QString& argument : arguments) given.push_back(argument.toStdString());
        try {
            const auto station = readProgramArguments(given);
            QVERIFY(problem.isEmpty());
            QCOMPARE(station.has_value(), !given.empty());
            if (station) {
                QCOMPARE(station->queueFile, std::string("q.csv"));
                QCOMPARE(station->port, std::string("COM4"));
                QCOMPARE(station->anchorFolder, std::string("a"));
                QVERIFY(station->askUnit);
            }
        } catch (const UsageError& e) {
            QCOMPARE(QString::fromStdString(e.message), problem);
        }
    }
};

int main(int argc, char** argv) {
    TarvelApplication application(argc, argv);
    StationWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "StationWindowTest.moc"
