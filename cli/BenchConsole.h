#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cli/BenchAnswers.h"
#include "cli/BenchTable.h"
#include "platform/AppendFile.h"
#include "station/Station.h"

class Cli;

// A bench of fixtures on the console: a face for each fixture, the answers
// by fixture, a JSON line for each change of a fixture's state in the
// events file, and, on a terminal that takes it, a table of the bench
// redrawn in place (at most ten times a second, only when something
// changed) with the prompt at the bottom; elsewhere plain lines, each
// starting with its fixture's label.
class BenchConsole {
  public:
    // Raises CliError when the events file cannot be opened.
    // With answeredByItself (--yes), the end of input stops nothing.
    BenchConsole(Cli& cli, const std::vector<Fixture>& fixtures, const std::string& eventsFile,
                 bool table, bool answeredByItself);
    ~BenchConsole();
    BenchConsole(const BenchConsole&) = delete;
    BenchConsole& operator=(const BenchConsole&) = delete;

    StationFace& face(std::size_t fixture);
    // The operator's interruptions: Ctrl-C as counted, or 1 once q was typed.
    int interruptions();
    // The queue's counts before the first converter, for the footer.
    void queueCounted(std::size_t done, std::size_t pending);
    // Once the fixtures have ended: the table is drawn a last time and left
    // above what follows.
    void leaveTable();

  private:
    class Face;
    friend class Face;

    // Changes a fixture's view under the lock; a change of its state goes
    // to the events file, and to the screen.
    void change(std::size_t fixture, const std::function<void(FixtureView&)>& edit,
                const std::optional<std::string>& line = std::nullopt);
    // A line of its own, above the table when there is one.
    void say(const std::string& text);
    void event(std::size_t fixture);
    void draw();
    void stopDrawing();
    // What moves the cursor back to the table's first line and clears it.
    std::string erasure() const;
    void redrawWhileRunning();
    std::string prompt() const;

    Cli& cli_;
    const bool table_;
    const bool answeredByItself_;
    std::unique_ptr<platform::AppendFile> events_;
    std::string eventsFile_;
    std::vector<std::unique_ptr<Face>> faces_;
    std::vector<FixtureView> views_;
    std::vector<std::size_t> rows_;  // each fixture's row (its queue line), 0 for none
    std::vector<FixtureView> recorded_;
    BenchProgress progress_;
    BenchAnswers answers_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool dirty_ = false;
    bool stopping_ = false;
    std::size_t drawnLines_ = 0;
    std::thread painter_;
};
