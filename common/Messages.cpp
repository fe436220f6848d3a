#include "common/Messages.h"

#include "common/ReportText.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QString>

namespace messages {
namespace {

// The room a title bar takes beside its caption: the icon and the buttons.
constexpr int kTitleBarControlsWidth = 120;

// Windows widens a box until its caption fits; Qt sizes a box by its text
// alone, so a short text got a caption that the window manager cut
// ("Firm...arvel"). Title bars mostly set their caption in bold.
void makeRoomForTheCaption(QMessageBox& box) {
    QFont captionFont = box.font();
    captionFont.setBold(true);
    const int width =
        QFontMetrics(captionFont).horizontalAdvance(box.windowTitle()) + kTitleBarControlsWidth;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
}

void showBox(QMessageBox::Icon icon, const char* caption, const std::string& text) {
    QMessageBox box(icon, QString::fromUtf8(caption), QString::fromStdString(text),
                    QMessageBox::Ok);
    makeRoomForTheCaption(box);
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
