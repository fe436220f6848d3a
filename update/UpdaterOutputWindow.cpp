#include "update/UpdaterOutputWindow.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QKeySequence>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QShortcut>
#include <QVBoxLayout>

#include "common/Utf8.h"

UpdaterOutputWindow::UpdaterOutputWindow(const QString& caption, QWidget* parent)
    : QWidget(parent, Qt::Window), text_(new QPlainTextEdit(this)) {
    setObjectName(QStringLiteral("UpdaterOutput"));
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose);
    text_->setReadOnly(true);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setAccessibleName(caption);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text_);
    new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &QWidget::close);
    resize(560, 300);
}

void UpdaterOutputWindow::append(const QString& text) {
    text_->moveCursor(QTextCursor::End);
    text_->insertPlainText(text);
    text_->verticalScrollBar()->setValue(text_->verticalScrollBar()->maximum());
}

QString UpdaterOutputWindow::text() const {
    return text_->toPlainText();
}

UpdaterOutputCapture::UpdaterOutputCapture(const std::string& program)
    : file_(QDir::tempPath() + QStringLiteral("/tarvel-updater-XXXXXX.txt")),
      caption_(QFileInfo(QString::fromStdString(program)).fileName()) {
    if (file_.open()) {
        // Asking for the name gives the file one (Qt may make it unnamed).
        follower_ = std::make_unique<OutputFollower>(file_.fileName().toStdString());
        file_.close();  // the updater appends; the follower reads
    }
}

std::string UpdaterOutputCapture::path() const {
    return follower_ ? file_.fileName().toStdString() : std::string();
}

void UpdaterOutputCapture::look() {
    if (!follower_)
        return;
    const std::string bytes = follower_->readNew();
    if (bytes.empty())
        return;
    if (!window_) {
        QWidget* front = QApplication::activeModalWidget();
        window_ = new UpdaterOutputWindow(caption_, front ? front : QApplication::activeWindow());
        window_->show();
    }
    QString text = QString::fromStdString(withInvalidBytesReplaced(bytes));
    text.remove(QLatin1Char('\r'));
    window_->append(text);
}
