#include "common/Messages.h"

#include "common/ReportText.h"

#include <QMessageBox>
#include <QString>

namespace messages {
namespace {

void showBox(QMessageBox::Icon icon, const char* caption, const std::string& text) {
    QMessageBox box(icon, QString::fromUtf8(caption), QString::fromStdString(text),
                    QMessageBox::Ok);
    box.exec();
}

class BoxPresenter final : public Presenter {
  public:
    void plain(const std::string& text) override {
        showBox(QMessageBox::NoIcon, kApplicationTitle, text);
    }
    void error(const std::string& text) override { showBox(QMessageBox::Critical, "Error", text); }
    void errorReport(const std::string& text) override {
        showBox(QMessageBox::Critical, kApplicationTitle, text);
    }
};

BoxPresenter realBoxes;
Presenter* current = &realBoxes;

}  // namespace

Presenter* setPresenter(Presenter* presenter) {
    Presenter* previous = current;
    current = presenter ? presenter : &realBoxes;
    return previous;
}

void showPlain(const std::string& text) {
    current->plain(text);
}

void showError(const std::string& text) {
    current->error(text);
}

void showErrorReport(const std::string& message) {
    current->errorReport(reportText(message));
}

}  // namespace messages
