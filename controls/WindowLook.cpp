#include "controls/WindowLook.h"

#include <QEvent>
#include <QFont>
#include <QFontInfo>
#include <QPalette>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>

void applyWindowLook(QWidget& window) {
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, QColor(0xF8, 0xF7, 0xED));
    // Disabled controls keep the style's greyed text.
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, QColor(0x33, 0x33, 0x33));
        palette.setColor(group, QPalette::ButtonText, QColor(0x33, 0x33, 0x33));
    }
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    window.setFont(windowFont());
}

const QFont& windowFont() {
    // Where Verdana is not installed, the face the font system falls back to
    // is looked up once for the whole program, not again for every window.
    static const QFont font = [] {
        QFont verdana(QStringLiteral("Verdana"));
        verdana.setPixelSize(11);
        QFont resolved(QFontInfo(verdana).family());
        resolved.setPixelSize(11);
        return resolved;
    }();
    return font;
}

namespace {

// Reapplies a window's outer size when its frame changes. A window manager
// reports the frame only after mapping, and not always with a move: the
// frame is looked at again when the window moves, is activated or paints.
class OuterSizeKeeper : public QObject {
  public:
    static constexpr const char* kName = "outerSizeKeeper";

    OuterSizeKeeper(QWidget& window, QSize outer)
        : QObject(&window), window_(window), outer_(outer) {
        setObjectName(kName);
        window.installEventFilter(this);
    }

    void setOuter(QSize outer) {
        outer_ = outer;
        apply();
    }
    QSize outer() const { return outer_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &window_)
            return false;
        switch (event->type()) {
            case QEvent::Show:
            case QEvent::Move:
                apply();
                break;
            case QEvent::WindowActivate:
            case QEvent::Paint:
                // Not while painting: resize once the paint is over.
                if (frame() != applied_)
                    QMetaObject::invokeMethod(
                        this, [this] { apply(); }, Qt::QueuedConnection);
                break;
            default:
                break;
        }
        return false;
    }

  private:
    QMargins frame() const {
        const QWindow* handle = window_.windowHandle();
        return handle ? handle->frameMargins() : QMargins();
    }

    void apply() {
        applied_ = frame();
        const QSize inner = innerSizeFor(outer_, applied_);
        if (window_.minimumSize() != inner || window_.maximumSize() != inner)
            window_.setFixedSize(inner);
    }

    QWidget& window_;
    QSize outer_;
    QMargins applied_;
};

}  // namespace

QSize innerSizeFor(QSize outer, QMargins frame) {
    return QSize(std::max(0, outer.width() - frame.left() - frame.right()),
                 std::max(0, outer.height() - frame.top() - frame.bottom()));
}

void setOuterSize(QWidget& window, int width, int height) {
    // Found by name: the class has no meta-object of its own to cast by.
    auto* keeper = static_cast<OuterSizeKeeper*>(
        window.findChild<QObject*>(OuterSizeKeeper::kName, Qt::FindDirectChildrenOnly));
    if (!keeper)
        keeper = new OuterSizeKeeper(window, QSize(width, height));
    keeper->setOuter(QSize(width, height));
}

namespace {

// The size the window has with its frame: its outer size where one is kept
// (the window manager may not have applied it yet), else what it has now.
QSize sizeWithFrame(const QWidget& window) {
    if (const auto* keeper = static_cast<const OuterSizeKeeper*>(
            window.findChild<QObject*>(OuterSizeKeeper::kName, Qt::FindDirectChildrenOnly)))
        return keeper->outer();
    return window.frameGeometry().size();
}

void moveToScreenCentre(QWidget& window) {
    if (const QScreen* screen = window.screen()) {
        const QSize size = sizeWithFrame(window);
        window.move(screen->availableGeometry().center() -
                    QPoint(size.width() / 2, size.height() / 2));
    }
}

QMargins frameOf(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    return handle ? handle->frameMargins() : QMargins();
}

// Centres a window again once the window manager has told its frame: a
// window centred before its first mapping was centred without its title
// bar, and sat half a title bar off centre. Goes once it has acted.
class CentringOnceFramed : public QObject {
  public:
    static constexpr const char* kName = "centringOnceFramed";

    explicit CentringOnceFramed(QWidget& window)
        : QObject(&window), window_(window), frameWhenCentred_(frameOf(window)) {
        setObjectName(kName);
        window.installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &window_)
            return false;
        switch (event->type()) {
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::WindowActivate:
            case QEvent::Paint:
                if (frameOf(window_) != frameWhenCentred_) {
                    window_.removeEventFilter(this);
                    // Not from inside the event: move once it is over.
                    QMetaObject::invokeMethod(
                        this,
                        [this] {
                            moveToScreenCentre(window_);
                            deleteLater();
                        },
                        Qt::QueuedConnection);
                }
                break;
            default:
                break;
        }
        return false;
    }

  private:
    QWidget& window_;
    QMargins frameWhenCentred_;
};

}  // namespace

void centreOnScreen(QWidget& window) {
    moveToScreenCentre(window);
    delete window.findChild<QObject*>(CentringOnceFramed::kName, Qt::FindDirectChildrenOnly);
    new CentringOnceFramed(window);
}
