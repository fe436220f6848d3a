// Start-up to the first shown window. Run by bench/startup.sh, which passes
// the wall-clock time (ns) at which it started this process; prints the
// milliseconds from then until the window was first exposed.
//   startup_benchmark tarvel|bare <start-ns> <workspace>
#include <QApplication>
#include <QWidget>
#include <QWindow>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "app/ProgramWindows.h"
#include "app/TarvelApplication.h"

namespace {

class ExposeProbe : public QObject {
  public:
    explicit ExposeProbe(long long startNs) : startNs_(startNs) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!reported_ && event->type() == QEvent::Expose &&
            static_cast<QWindow*>(watched)->isExposed()) {
            reported_ = true;
            const auto now = std::chrono::system_clock::now().time_since_epoch();
            const long long nowNs =
                std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
            std::printf("%.1f\n", static_cast<double>(nowNs - startNs_) / 1e6);
            QCoreApplication::exit(0);
        }
        return false;
    }

  private:
    long long startNs_;
    bool reported_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4)
        return 2;
    const std::string mode = argv[1];
    const long long startNs = std::stoll(argv[2]);
    TarvelApplication application(argc, argv);
    ExposeProbe probe(startNs);
    std::unique_ptr<ProgramWindows> windows;
    std::unique_ptr<QWidget> bare;
    QWidget* shown = nullptr;
    if (mode == "tarvel") {
        windows = std::make_unique<ProgramWindows>(argv[3]);
        shown = &windows->mainWindow;
    } else {
        bare = std::make_unique<QWidget>();
        bare->resize(574, 205);
        shown = bare.get();
    }
    shown->winId();
    shown->windowHandle()->installEventFilter(&probe);
    shown->show();
    return application.exec();
}
