#include "app/StationWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <cmath>

#include "app/StationArguments.h"
#include "common/AppError.h"
#include "common/Csv.h"
#include "common/ReportText.h"
#include "common/Utf8.h"
#include "platform/FileSystem.h"
#include "platform/PortClaim.h"
#include "project/FolderUtils.h"
#include "project/Workspace.h"
#include "station/AuditLog.h"
#include "station/AuditReport.h"
#include "station/BenchFile.h"
#include "station/QueueApply.h"
#include "update/ComPortDiscovery.h"
#include "update/PortDescription.h"
#include "update/UpdaterOutputWindow.h"

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// How long a new question's buttons wait before they take a press.
constexpr int kAnswerHoldOffMs = 400;

// The most of an attempt's output the tile's window shows: its end.
constexpr std::uint64_t kShownOutputBytes = 1 << 20;

// Each state's colour, in the order of FixtureView::State: light enough
// for black words, told apart by more than hue.
constexpr const char* kTileColours[] = {
    "#e8e8e8",  // working
    "#b0b0b0",  // no adapter
    "#ffd54f",  // asks you
    "#81d4fa",  // running
    "#66bb6a",  // PASS
    "#ef5350",  // FAIL
};

QString answerWords(const StationBoard::Tile& tile) {
    if (tile.question == Question::BootLedBlinks)
        return QStringLiteral("It blinks");
    if (tile.question == Question::Retry)
        return QStringLiteral("Retry");
    return QStringLiteral("Done");
}

}  // namespace

// One fixture: who it is, what it writes, its step and state in words and
// colour, and its answers.
class StationTile : public QFrame {
  public:
    StationTile(std::size_t number, const std::string& label, QWidget* parent)
        : QFrame(parent),
          name_(QStringLiteral("Fixture %1 %2").arg(number).arg(qs(label))),
          title_(new QLabel(QStringLiteral("%1  %2").arg(number).arg(qs(label)), this)),
          port_(new QLabel(this)),
          project_(new QLabel(this)),
          step_(new QLabel(this)),
          state_(new QLabel(this)),
          unit_(new QLineEdit(this)),
          answer_(new QPushButton(QStringLiteral("Done"), this)),
          skip_(new QPushButton(QStringLiteral("Skip"), this)),
          output_(new QPushButton(QStringLiteral("Output"), this)) {
        setObjectName(QStringLiteral("StationTile%1").arg(number));
        setAccessibleName(name_);
        setFrameShape(QFrame::Box);
        setAutoFillBackground(true);
        QFont big = font();
        big.setPointSizeF(big.pointSizeF() * 1.6);
        big.setBold(true);
        title_->setFont(big);
        state_->setFont(big);
        QFont large = font();
        large.setPointSizeF(large.pointSizeF() * 1.25);
        step_->setFont(large);
        step_->setWordWrap(true);
        port_->setWordWrap(true);
        project_->setWordWrap(true);
        for (QLabel* label : {title_, port_, project_, step_, state_})
            label->setTextInteractionFlags(Qt::NoTextInteraction);
        answer_->setFont(big);
        answer_->setMinimumHeight(answer_->sizeHint().height() * 2);
        unit_->setPlaceholderText(QStringLiteral("Unit serial"));
        unit_->setAccessibleName(name_ + QStringLiteral(" unit serial"));
        skip_->setAccessibleName(name_ + QStringLiteral(": Skip"));
        output_->setAccessibleName(name_ + QStringLiteral(": updater output"));
        output_->setToolTip(QStringLiteral("The updater's output of the last attempt"));
        auto* layout = new QVBoxLayout(this);
        auto* head = new QHBoxLayout;
        head->addWidget(title_, 1);
        head->addWidget(state_);
        layout->addLayout(head);
        layout->addWidget(port_);
        layout->addWidget(project_);
        layout->addWidget(step_, 1);
        layout->addWidget(unit_);
        layout->addWidget(answer_);
        auto* small = new QHBoxLayout;
        small->addWidget(skip_);
        small->addStretch(1);
        small->addWidget(output_);
        layout->addLayout(small);
    }

    void show(const StationBoard::Tile& tile, bool selected) {
        const FixtureView& view = tile.view;
        const std::size_t state = static_cast<std::size_t>(view.state);
        // The selected tile's frame is thicker; its content stays in place.
        // A style sheet is costly to apply: only a change of look sets one.
        if (std::pair(state, selected) != look_) {
            look_ = {state, selected};
            setStyleSheet(
                QStringLiteral("QFrame#%1 { background: %2; border: %3px solid %4; margin: %5px; }")
                    .arg(objectName(), QLatin1String(kTileColours[state]))
                    .arg(selected ? 4 : 1)
                    .arg(selected ? QStringLiteral("#202020") : QStringLiteral("#808080"))
                    .arg(selected ? 0 : 3));
        }
        const QString stateWords = qs(::stateWords(view.state));
        state_->setText(stateWords);
        state_->setAccessibleName(name_ + QStringLiteral(" state: ") + stateWords);
        port_->setText(qs(view.port));
        QString project = view.project.empty() ? QStringLiteral("No row yet") : qs(view.project);
        if (!tile.place.empty())
            project += QStringLiteral(" \u00b7 ") + qs(tile.place);
        if (!view.last.empty())
            project += QStringLiteral(" \u00b7 last: ") + qs(view.last);
        project_->setText(project);
        step_->setText(qs(withInvalidBytesReplaced(view.step)));
        const bool asking = tile.question.has_value() || tile.asksUnit;
        // A new question's buttons wait a moment: the second press of a
        // double press must not answer a step the operator has not read.
        const int question = tile.question   ? static_cast<int>(*tile.question)
                             : tile.asksUnit ? kUnitQuestion
                                             : kNoQuestion;
        if (question != question_) {
            question_ = question;
            holdingOff_ = asking;
            if (asking)
                QTimer::singleShot(kAnswerHoldOffMs, this, [this, question] {
                    if (question == question_) {
                        holdingOff_ = false;
                        answer_->setEnabled(true);
                        skip_->setEnabled(question != kUnitQuestion);
                    }
                });
        }
        answer_->setText(answerWords(tile));
        answer_->setAccessibleName(name_ + QStringLiteral(": ") + answer_->text());
        answer_->setEnabled(asking && !holdingOff_);
        skip_->setEnabled(tile.question.has_value() && !holdingOff_);
        unit_->setVisible(tile.asksUnit);
        if (!tile.asksUnit)
            unit_->clear();
        output_->setEnabled(!tile.outputFile.empty());
    }

    QPushButton* answerButton() const { return answer_; }
    QPushButton* skipButton() const { return skip_; }
    QPushButton* outputButton() const { return output_; }
    QLineEdit* unitField() const { return unit_; }

  private:
    static constexpr int kNoQuestion = -1;
    static constexpr int kUnitQuestion = -2;
    const QString name_;
    std::pair<std::size_t, bool> look_{SIZE_MAX, false};
    int question_ = kNoQuestion;
    bool holdingOff_ = false;
    QLabel* title_;
    QLabel* port_;
    QLabel* project_;
    QLabel* step_;
    QLabel* state_;
    QLineEdit* unit_;
    QPushButton* answer_;
    QPushButton* skip_;
    QPushButton* output_;
};

StationWindow::StationWindow(StationSettings settings, std::string workspaceRoot, QWidget* parent)
    : QMainWindow(parent),
      settings_(std::move(settings)),
      workspaceRoot_(std::move(workspaceRoot)),
      footer_(new QLabel(this)),
      logPath_(new QLabel(this)),
      verdict_(new QLabel(this)),
      notices_(new QPlainTextEdit(this)),
      stopButton_(new QPushButton(QStringLiteral("Stop"), this)),
      checkButton_(new QPushButton(QStringLiteral("&Check record"), this)),
      exportButton_(new QPushButton(QStringLiteral("&Export\u2026"), this)) {
    setObjectName(QStringLiteral("StationWindow"));
    setWindowTitle(QStringLiteral("Tarvel Station - ") +
                   QFileInfo(qs(settings_.queueFile)).fileName());
    const std::vector<Fixture> fixtures =
        settings_.fixtures.empty() ? std::vector<Fixture>{{settings_.port, settings_.port, {}, {}}}
                                   : settings_.fixtures;
    board_ = std::make_unique<StationBoard>(fixtures, [this] { scheduleRefresh(); });

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    auto* grid = new QGridLayout;
    const std::size_t count = fixtures.size();
    const int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
    for (std::size_t i = 0; i < count; ++i) {
        auto* tile = new StationTile(i + 1, fixtures[i].label, central);
        grid->addWidget(tile, static_cast<int>(i) / columns, static_cast<int>(i) % columns);
        connect(tile->answerButton(), &QPushButton::clicked, this, [this, i] {
            select(i);
            if (board_->snapshot().tiles[i].asksUnit)
                giveUnit(i);
            else
                answer(i, Answer::Go);
        });
        connect(tile->skipButton(), &QPushButton::clicked, this, [this, i] {
            select(i);
            answer(i, Answer::Skip);
        });
        connect(tile->unitField(), &QLineEdit::returnPressed, this, [this, i] { giveUnit(i); });
        connect(tile->outputButton(), &QPushButton::clicked, this, [this, i] { showOutput(i); });
        tiles_.push_back(tile);
    }
    layout->addLayout(grid, 1);

    notices_->setReadOnly(true);
    notices_->setMaximumBlockCount(5000);  // a day at a bench, not a week of it
    notices_->setAccessibleName(QStringLiteral("Station messages"));
    notices_->setMaximumHeight(notices_->fontMetrics().lineSpacing() * 6);
    notices_->setFocusPolicy(Qt::ClickFocus);
    layout->addWidget(notices_);

    auto* bar = new QHBoxLayout;
    QFont barFont = footer_->font();
    barFont.setPointSizeF(barFont.pointSizeF() * 1.25);
    footer_->setFont(barFont);
    footer_->setAccessibleName(QStringLiteral("Bench counts"));
    footer_->setWordWrap(true);  // a long line never widens the window
    bar->addWidget(footer_, 1);
    bar->addWidget(checkButton_);
    bar->addWidget(exportButton_);
    bar->addWidget(stopButton_);
    layout->addLayout(bar);
    logPath_->setText(QStringLiteral("Log: ") + qs(settings_.logPath));
    logPath_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(logPath_);
    verdict_->setWordWrap(true);
    verdict_->setAccessibleName(QStringLiteral("Record check"));
    layout->addWidget(verdict_);
    setCentralWidget(central);
    central->setFocusPolicy(Qt::StrongFocus);

    // The keyboard's answers go to the window, never to a button in focus.
    for (QPushButton* button : {stopButton_, checkButton_, exportButton_})
        button->setFocusPolicy(Qt::NoFocus);
    for (StationTile* tile : tiles_)
        for (QPushButton* button : {tile->answerButton(), tile->skipButton(), tile->outputButton()})
            button->setFocusPolicy(Qt::NoFocus);
    connect(stopButton_, &QPushButton::clicked, this, [this] { stop(); });
    connect(checkButton_, &QPushButton::clicked, this, [this] { checkRecord(); });
    connect(exportButton_, &QPushButton::clicked, this, [this] { exportRecord(); });

    confirmClose = [this] {
        return QMessageBox::question(
                   this, windowTitle(),
                   QStringLiteral("Updaters are running. Close the window?\n\nThey are not "
                                  "stopped: the program ends once they have ended and their "
                                  "results are in the log.")) == QMessageBox::Yes;
    };
    exportFileName = [this](const QString& suggested) {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Export the record"), suggested,
                                            QStringLiteral("CSV files (*.csv)"));
    };
    resize(count > 1 ? 1000 : 560, count > 2 ? 720 : 520);
    refresh();
}

StationWindow::~StationWindow() {
    if (engine_.joinable()) {
        board_->stop();
        engine_.join();
    }
}

void StationWindow::start() {
    engine_ = std::thread([this] { run(); });
}

void StationWindow::run() {
    // A single port's tile is the whole station.
    const bool bench = !settings_.fixtures.empty();
    StationFace& benchFace = bench ? board_->benchFace() : board_->tileFace(0);
    int status = 1;
    try {
        Workspace workspace;
        prepareWorkspaceFolders(workspace, workspaceRoot_);
        std::string reason;
        const auto text = platform::readFileContents(settings_.queueFile, &reason);
        if (!text) {
            benchFace.tellAboutFile(settings_.queueFile, reason);
        } else {
            const QueueApplied applied =
                applyQueueFile(workspace.projectsFolder, settings_.queueFile, *text, benchFace);
            if (applied.checked)
                benchFace.tellAboutFile(settings_.queueFile, appliedCounts(applied));
            for (const std::string& name : applied.notApplied) benchFace.tell(name, "not applied");
            if (applied.complete) {
                board_->setRowCount(applied.rows.size());
                StationSettings settings = settings_;
                settings.workspaceRoot = workspaceRoot_;
                settings.interruptions = [this] { return board_->interruptions(); };
                if (bench)
                    status = runStation(settings, applied.rows, benchFace,
                                        [this](std::size_t fixture) -> StationFace& {
                                            return board_->tileFace(fixture);
                                        });
                else
                    status = runStation(settings, applied.rows, benchFace);
            }
        }
    } catch (const LogError& e) {
        benchFace.tellAboutFile(e.path, e.what());
    } catch (const std::exception& e) {
        benchFace.tell("station", reportText(e.what()));
    }
    board_->ended(status);
}

void StationWindow::scheduleRefresh() {
    // One redraw for a burst of changes, on the window's thread.
    if (!refreshQueued_.exchange(true))
        QMetaObject::invokeMethod(
            this,
            [this] {
                refreshQueued_ = false;
                refresh();
            },
            Qt::QueuedConnection);
}

void StationWindow::refresh() {
    const StationBoard::Snapshot board = board_->snapshot(shownNotices_);
    for (std::size_t i = 0; i < tiles_.size(); ++i) tiles_[i]->show(board.tiles[i], i == selected_);
    // A bar-code reader types where the focus is: into the field of a tile
    // that asks for its unit, unless the operator is in another such field.
    // Once none asks, the keys are the window's again.
    const auto* focused = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    const bool typing = focused && focused->isVisible();
    std::optional<std::size_t> asking;
    for (std::size_t i = 0; i < tiles_.size() && !asking; ++i)
        if (board.tiles[i].asksUnit)
            asking = i;
    if (asking && !typing)
        tiles_[*asking]->unitField()->setFocus();
    else if (focused && !typing)
        centralWidget()->setFocus();
    for (const std::string& notice : board.notices)
        notices_->appendPlainText(qs(withInvalidBytesReplaced(notice)));
    shownNotices_ = board.noticeCount;
    QString footer = qs(board.footer);
    if (board.ended) {
        footer = QStringLiteral("The station has ended \u00b7 ") + footer;
    } else if (board.stopping) {
        footer = (board_->updaterRunning()
                      ? QStringLiteral("Stopping once the running updaters have ended \u00b7 ")
                      : QStringLiteral("Stopping \u00b7 ")) +
                 footer;
    }
    footer_->setText(footer);
    stopButton_->setEnabled(!board.ended && !board.stopping);
    if (board.ended && closeWhenEnded_)
        QCoreApplication::quit();
}

void StationWindow::answer(std::size_t tile, Answer answer) {
    // A tile that waits for no answer takes none: the board says so.
    board_->answer(tile, answer);
}

void StationWindow::giveUnit(std::size_t tile) {
    board_->giveUnit(tile, tiles_[tile]->unitField()->text().trimmed().toStdString());
}

void StationWindow::select(std::size_t tile) {
    if (tile >= tiles_.size())
        return;
    selected_ = tile;
    refresh();
}

void StationWindow::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    if (text.size() == 1 && text.front().isDigit()) {
        const std::size_t digit = static_cast<std::size_t>(text.front().digitValue());
        // "1" then "2" selects the twelfth fixture when there is one.
        const std::size_t number = typedDigit_ && *typedDigit_ * 10 + digit <= tiles_.size()
                                       ? *typedDigit_ * 10 + digit
                                       : digit;
        typedDigit_ = digit;
        if (number >= 1 && number <= tiles_.size())
            select(number - 1);
        return;
    }
    typedDigit_.reset();
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        tiles_[selected_]->answerButton()->click();
        return;
    }
    if (event->key() == Qt::Key_S) {
        answer(selected_, Answer::Skip);
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void StationWindow::closeEvent(QCloseEvent* event) {
    if (!engine_.joinable() || board_->snapshot().ended) {
        event->accept();
        return;
    }
    if (board_->updaterRunning() && !confirmClose()) {
        event->ignore();
        return;
    }
    // The updaters go on; the program ends once their results are in the log.
    board_->stop();
    closeWhenEnded_ = true;
    event->ignore();
    hide();
}

void StationWindow::showOutput(std::size_t tile) {
    const std::string file = board_->snapshot().tiles[tile].outputFile;
    if (file.empty())
        return;
#ifdef _WIN32
    QDesktopServices::openUrl(QUrl::fromLocalFile(qs(file)));
#else
    std::string kept;
    std::string reason = "The updater wrote nothing.";
    platform::readFileInPieces(
        file, UINT64_MAX,
        [&](std::string_view piece) {
            kept.append(piece);
            if (kept.size() > 2 * kShownOutputBytes)
                kept.erase(0, kept.size() - kShownOutputBytes);
            return true;
        },
        &reason);
    auto* window = new UpdaterOutputWindow(QFileInfo(qs(file)).fileName(), this);
    QString text = qs(withInvalidBytesReplaced(kept));
    text.remove(QLatin1Char('\r'));
    window->append(text.isEmpty() ? qs(reason) : text);
    window->show();
#endif
}

void StationWindow::stop() {
    board_->stop();
}

QPushButton* StationWindow::answerButton(std::size_t tile) const {
    return tiles_.at(tile)->answerButton();
}

QPushButton* StationWindow::skipButton(std::size_t tile) const {
    return tiles_.at(tile)->skipButton();
}

QLineEdit* StationWindow::unitField(std::size_t tile) const {
    return tiles_.at(tile)->unitField();
}

QString StationWindow::recordVerdict() const {
    return verdict_->text();
}

namespace {

AuditRequest recordRequest(const StationSettings& settings) {
    AuditRequest request;
    request.logFile = settings.logPath;
    if (settings.key)
        request.key = settings.key->publicKey();
    if (!settings.anchorFolder.empty())
        request.anchorFolder = settings.anchorFolder;
    return request;
}

std::string verdictWords(const AuditReading& reading) {
    const std::string records = std::to_string(reading.records) + " records";
    if (!reading.verdict) {
        std::string words = "The chain is whole: " + records +
                            ". Unsigned, it proves only that the log was not edited naively.";
        // Appended piece by piece: a literal before a temporary string makes
        // GCC 12 warn of an overlap that cannot happen (its bug 105329).
        if (reading.tornLine) {
            words += " Line ";
            words += std::to_string(*reading.tornLine);
            words += " is torn (a crash while it was written) and is ignored.";
        }
        return words;
    }
    const ProofVerdict& verdict = *reading.verdict;
    std::string words = "The record holds: " + records + ", " +
                        std::to_string(verdict.checkpoints) +
                        (verdict.checkpoints == 1 ? " checkpoint" : " checkpoints") +
                        " signed by key " + verdict.key + ".";
    if (verdict.kind == ProofVerdict::Kind::Unsealed) {
        words += ' ';
        words += std::to_string(verdict.unsealedLines);
        words += verdict.unsealedLines == 1
                     ? " line after the last checkpoint is not sealed yet."
                     : " lines after the last checkpoint are not sealed yet.";
    }
    return words;
}

}  // namespace

void StationWindow::checkRecord() {
    QString words;
    bool holds = false;
    try {
        words = qs(verdictWords(readAudit(recordRequest(settings_))));
        holds = true;
    } catch (const AuditFault& e) {
        words = QStringLiteral("The record fails its check: ") + qs(e.what());
    } catch (const std::exception& e) {
        words = QStringLiteral("The record cannot be checked: ") + qs(reportText(e.what()));
    }
    verdict_->setText(words);
    verdict_->setStyleSheet(holds ? QString()
                                  : QStringLiteral("color: #b00000; font-weight: bold;"));
}

void StationWindow::exportRecord() {
    const std::string& log = settings_.logPath;
    const std::string stem =
        log.size() > 12 && log.ends_with(".audit.jsonl") ? log.substr(0, log.size() - 12) : log;
    const QString file = exportFileName(qs(stem + ".audit.csv"));
    if (file.isEmpty())
        return;
    try {
        AuditRequest request = recordRequest(settings_);
        const std::string csv = auditCsv(readAudit(request).entries);
        std::string reason;
        if (!platform::replaceFileContents(file.toStdString(), csv, &reason))
            throw AppError(reason);
        verdict_->setText(QStringLiteral("Exported to ") + file);
        verdict_->setStyleSheet(QString());
    } catch (const std::exception& e) {
        verdict_->setText(QStringLiteral("Not exported: ") + qs(reportText(e.what())));
        verdict_->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold;"));
    }
}

namespace {

// The port a single converter at a time is written on, chosen from the
// port list as in the wizard, each entry's tooltip naming its device and
// adapter; empty when the operator cancels or none is present.
std::string choosePort(platform::SerialApi& serial) {
    const std::vector<std::string> numbers = discoverComPorts(serial);
    if (numbers.empty()) {
        QMessageBox::warning(nullptr, QStringLiteral("Tarvel Station"),
                             QStringLiteral("No COM port was found. Connect the converter's "
                                            "adapter, then start the station again."));
        return {};
    }
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Tarvel Station - COM port"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(QStringLiteral("The COM port the converters are written on:"));
    auto* ports = new QComboBox;
    ports->setAccessibleName(QStringLiteral("COM port"));
    label->setBuddy(ports);
    for (const std::string& number : numbers) {
        const std::string name = "COM" + number;
        ports->addItem(qs(name));
        ports->setItemData(ports->count() - 1,
                           qs(portTooltip(name, platform::serialAdapterFor(name))),
                           Qt::ToolTipRole);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(label);
    layout->addWidget(ports);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return ports->currentText().toStdString();
}

// The settings as the arguments give them, each checked as the command
// line's station checks its options; raises AppError naming the file.
StationSettings stationSettings(const StationArguments& arguments, const StationPorts& ports) {
    StationSettings settings;
    settings.queueFile = arguments.queueFile;
    settings.port = arguments.port;
    if (!arguments.fixturesFile.empty()) {
        std::string reason;
        const auto text = platform::readFileContents(arguments.fixturesFile, &reason);
        if (!text)
            throw AppError(arguments.fixturesFile + ": " + reason);
        try {
            settings.fixtures = readBenchFile(*text);
        } catch (const CsvError& e) {
            throw AppError(arguments.fixturesFile + ": line " + std::to_string(e.line) + ": " +
                           e.what());
        }
    }
    const std::string& queue = arguments.queueFile;
    const std::string stem = queue.ends_with(".csv") ? queue.substr(0, queue.size() - 4) : queue;
    settings.logPath = arguments.logFile.empty() ? stem + ".audit.jsonl" : arguments.logFile;
    if (!arguments.keyFile.empty()) {
        settings.key = readSecretKey(arguments.keyFile);  // its error names the file
        settings.keyFile = arguments.keyFile;
    }
    settings.anchorFolder = arguments.anchorFolder;
    settings.askUnit = arguments.askUnit;
    if (!settings.anchorFolder.empty() && !platform::folderExists(settings.anchorFolder))
        throw AppError(settings.anchorFolder + ": no such folder for the anchor");
    // Two benches on two hosts could both claim a row where a network file
    // system does not pass the log's lock on.
    const std::string logFolder = platform::parentFolder(settings.logPath).value_or(".");
    if (const auto network = platform::networkFileSystem(logFolder))
        throw AppError(settings.logPath + ": the log is on " + *network +
                       ", where locks may not hold across hosts: keep one log per bench on a "
                       "local disk");
    settings.serial = ports.serial;
    settings.systemRoot = ports.systemRoot;
    settings.deviceRoot = ports.deviceRoot;
    settings.claimFolder = platform::defaultClaimFolder();
    return settings;
}

}  // namespace

int runStationWindow(const StationArguments& given, const std::string& workspaceRoot,
                     const StationPorts& ports) {
    StationArguments arguments = given;
    if (arguments.queueFile.empty()) {
        arguments.queueFile =
            QFileDialog::getOpenFileName(nullptr, QStringLiteral("Tarvel Station - open a queue"),
                                         QString(), QStringLiteral("Queues (*.csv)"))
                .toStdString();
        if (arguments.queueFile.empty())
            return 0;
    }
    if (arguments.port.empty() && arguments.fixturesFile.empty()) {
        arguments.port = choosePort(*ports.serial);
        if (arguments.port.empty())
            return 0;
    }
    StationSettings settings;
    try {
        settings = stationSettings(arguments, ports);
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QStringLiteral("Tarvel Station"), qs(e.what()));
        return 1;
    }
    ForceFolder(workspaceRoot);
    StationWindow window(std::move(settings), workspaceRoot);
    window.show();
    window.start();
    const int exitCode = QApplication::exec();
    const auto ended = window.board().snapshot().ended;
    return exitCode != 0 ? exitCode : ended.value_or(1);
}
