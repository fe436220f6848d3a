#pragma once

#include <QMainWindow>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "station/Station.h"
#include "station/StationBoard.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class StationTile;

// The station in a window: a tile for each fixture (one for a single port),
// the bench's counts, the log's path, Stop, and the record's check and
// export. The engine runs on a thread of its own from start() on; the window
// only shows its board and hands the operator's answers to it.
class StationWindow : public QMainWindow {
  public:
    // fixtures: the bench's, or one for the single port.
    StationWindow(StationSettings settings, std::string workspaceRoot, QWidget* parent = nullptr);
    ~StationWindow() override;

    // Applies the queue, then provisions its rows.
    void start();
    // Asked before the window closes while updaters run: true closes it
    // (they finish, and their results are recorded, before the program ends).
    std::function<bool()> confirmClose;
    // Where Export… writes, asked of the operator by default; empty: nothing.
    std::function<QString(const QString& suggested)> exportFileName;

    // For the tests and the keyboard: the tile selected, and its buttons.
    std::size_t tileCount() const { return tiles_.size(); }
    QPushButton* answerButton(std::size_t tile) const;
    QPushButton* skipButton(std::size_t tile) const;
    QLineEdit* unitField(std::size_t tile) const;
    StationBoard& board() { return *board_; }
    // The verdict of the last Check record, in words.
    QString recordVerdict() const;

    // Shows the board as it is now; the engine's changes call it on the
    // window's thread.
    void refresh();
    void checkRecord();
    void exportRecord();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void scheduleRefresh();
    void answer(std::size_t tile, Answer answer);
    // The serial number typed or scanned into the tile's field.
    void giveUnit(std::size_t tile);
    void select(std::size_t tile);
    void showOutput(std::size_t tile);
    void stop();
    void run();

    const StationSettings settings_;
    const std::string workspaceRoot_;
    std::unique_ptr<StationBoard> board_;
    std::vector<StationTile*> tiles_;
    QLabel* footer_;
    QLabel* logPath_;
    QLabel* verdict_;
    QPlainTextEdit* notices_;
    QPushButton* stopButton_;
    QPushButton* checkButton_;
    QPushButton* exportButton_;
    std::size_t shownNotices_ = 0;
    std::size_t selected_ = 0;
    // The last digit typed, for a fixture's number of two digits.
    std::optional<std::size_t> typedDigit_;
    bool closeWhenEnded_ = false;
    std::atomic<bool> refreshQueued_{false};
    std::thread engine_;
};

// Where the station finds its ports and their adapters: the system's, or
// the tests' stand-ins.
struct StationPorts {
    std::shared_ptr<platform::SerialApi> serial;
    std::string systemRoot = "/sys";
    std::string deviceRoot = "/dev";
};

// The station's window as the program's arguments ask for it: the queue and
// the port asked for when not given, the settings checked. The program's
// exit status: the station's, or 1 when it could not start (and said why).
struct StationArguments;
int runStationWindow(const StationArguments& arguments, const std::string& workspaceRoot,
                     const StationPorts& ports);
