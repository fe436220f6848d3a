#pragma once

#include <string>

// The one owner of the system's message boxes. Windows and operations call the
// free functions; tests replace the presenter with a recorder so that no box
// ever blocks them.
namespace messages {

inline constexpr const char* kApplicationTitle = "Firmware Tarvel";

class Presenter {
  public:
    virtual ~Presenter() = default;
    // Modal, no icon, "OK", captioned with the application title.
    virtual void plain(const std::string& text) = 0;
    // Modal, error icon, "OK", captioned "Error".
    virtual void error(const std::string& text) = 0;
    // Modal, stop icon, "OK", captioned with the application title.
    virtual void errorReport(const std::string& text) = 0;
};

// Installs a presenter; nullptr restores the real boxes. Returns the previous one.
Presenter* setPresenter(Presenter* presenter);

void showPlain(const std::string& text);
void showError(const std::string& text);

// The general error report: the message, with a full stop appended when its
// last character sorts after ".".
void showErrorReport(const std::string& message);

}  // namespace messages
