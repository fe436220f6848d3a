#pragma once

#include <string>
#include <vector>

#include "common/Messages.h"

// Records every message box instead of showing it, for as long as it lives.
class MessageRecorder : public messages::Presenter {
  public:
    enum class Kind { Plain, Error, Report };
    struct Entry {
        Kind kind;
        std::string text;
        bool operator==(const Entry&) const = default;
    };

    MessageRecorder();
    ~MessageRecorder() override;

    void plain(const std::string& text) override { entries.push_back({Kind::Plain, text}); }
    void error(const std::string& text) override { entries.push_back({Kind::Error, text}); }
    void errorReport(const std::string& text) override { entries.push_back({Kind::Report, text}); }

    std::vector<Entry> entries;

  private:
    messages::Presenter* previous_;
};
