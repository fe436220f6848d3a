#include "cli/BenchAnswers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <thread>

namespace {

// One fixture asking: what each line answers, or why it answers nothing.
TEST(BenchAnswers, EachLineAnswersTheFixtureItNames) {
    struct Case {
        std::deque<std::string> lines;
        bool endQuits;
        Answer answer;
        std::vector<std::string> said;
    };
    const std::vector<Case> cases = {
        {{"1"}, true, Answer::Go, {}},
        {{"1S"}, true, Answer::Skip, {}},
        {{""}, true, Answer::Go, {}},  // Enter alone: the one that asks
        {{"s"}, true, Answer::Skip, {}},
        {{"Q"}, true, Answer::Quit, {}},
        {{}, true, Answer::Quit, {}},  // the end of input
        {{"x", "3", "2", "1"},
         true,
         Answer::Go,
         {"x: give the fixture's number (3 goes on with fixture 3, 3s skips its row), or q "
          "to quit",
          "3: give the fixture's number (3 goes on with fixture 3, 3s skips its row), or q to "
          "quit",
          "2: fixture 2 asks nothing now"}},
    };
    for (const Case& c : cases) {
        std::deque<std::string> lines = c.lines;
        std::vector<std::string> said;
        BenchAnswers answers(
            2, c.endQuits,
            [&]() -> std::optional<std::string> {
                if (lines.empty())
                    return std::nullopt;
                const std::string line = lines.front();
                lines.pop_front();
                return line;
            },
            {}, [&](const std::string& text) { said.push_back(text); });
        EXPECT_EQ(answers.await(0), c.answer) << (c.lines.empty() ? "(end)" : c.lines.front());
        EXPECT_EQ(said, c.said);
    }
}

// Two fixtures asking at once: whichever reads hands "2s" to fixture 2 and
// "1" to fixture 1. Until fixture 2 has its answer the input says "2s";
// a "2s" read before fixture 2 asks is refused and read again.
TEST(BenchAnswers, ALineReadByOneFixtureReachesTheOneItNames) {
    std::atomic<bool> secondAnswered{false};
    BenchAnswers answers(
        2, true, [&]() -> std::optional<std::string> { return secondAnswered ? "1" : "2s"; }, {},
        [](const std::string&) {});
    Answer first = Answer::Quit;
    std::thread asking([&] { first = answers.await(0); });
    const Answer second = answers.await(1);
    secondAnswered = true;
    asking.join();
    EXPECT_EQ(second, Answer::Skip);
    EXPECT_EQ(first, Answer::Go);
}

// With --yes the end of input stops nothing; q typed at the terminal does.
TEST(BenchAnswers, WithoutAPromptOnlyQQuits) {
    std::deque<std::string> lines = {"5"};
    const auto read = [&]() -> std::optional<std::string> {
        if (lines.empty())
            return std::nullopt;
        const std::string line = lines.front();
        lines.pop_front();
        return line;
    };
    BenchAnswers answers(2, false, read, {}, [](const std::string&) {});
    const auto waiting = [&] { return true; };
    EXPECT_FALSE(answers.quitting(waiting));  // "5" answers nothing
    EXPECT_FALSE(answers.quitting(waiting));  // the end of input
    lines = {"q"};
    EXPECT_FALSE(answers.quitting(waiting));  // nothing is read after the end
    BenchAnswers atTheTerminal(2, false, read, {}, [](const std::string&) {});
    EXPECT_TRUE(atTheTerminal.quitting(waiting));
}

}  // namespace
