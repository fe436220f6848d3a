#include <gtest/gtest.h>

#include "common/ActionGuard.h"
#include "common/AppError.h"
#include "support/MessageRecorder.h"

namespace {

using Kind = MessageRecorder::Kind;

TEST(GeneralErrorReport, AppendsAFullStopOnlyAfterCharactersSortingAfterIt) {
    struct Case {
        const char* message;
        const char* shown;
    } cases[] = {
        {"Unable to write to x", "Unable to write to x."},
        {"Ends with a full stop.", "Ends with a full stop."},
        {"Ends with a blank ", "Ends with a blank "},
        {"Ends with a comma,", "Ends with a comma,"},  // ',' sorts before '.'
        {"Ends with a digit 5", "Ends with a digit 5."},
        {"Slash/", "Slash/."},
        {"", ""},
    };
    for (const Case& c : cases) {
        MessageRecorder recorder;
        messages::showErrorReport(c.message);
        ASSERT_EQ(recorder.entries.size(), 1u);
        EXPECT_EQ(recorder.entries[0], (MessageRecorder::Entry{Kind::Report, c.shown}));
    }
}

TEST(GeneralErrorReport, UncaughtErrorEndsTheActionAndIsReported) {
    MessageRecorder recorder;
    bool after = false;
    runGuarded([&] {
        throw AppError("'x' is not a valid integer value");
        after = true;
    });
    EXPECT_FALSE(after);
    ASSERT_EQ(recorder.entries.size(), 1u);
    EXPECT_EQ(recorder.entries[0].text, "'x' is not a valid integer value.");
    EXPECT_EQ(recorder.entries[0].kind, Kind::Report);
}

TEST(MessageBoxes, PlainAndErrorBoxesReachThePresenter) {
    MessageRecorder recorder;
    messages::showPlain("Project not valid");
    messages::showError("Select one port.");
    EXPECT_EQ(recorder.entries,
              (std::vector<MessageRecorder::Entry>{{Kind::Plain, "Project not valid"},
                                                   {Kind::Error, "Select one port."}}));
}

}  // namespace
