// The yardstick: a bare Qt Widgets program of the main window's size and
// controls (five labels, four buttons), ending at its first exposure.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>

#include "FirstExposure.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QMainWindow window;
    window.resize(574, 205);
    for (int i = 0; i < 5; ++i)
        (new QLabel(QStringLiteral("Step %1").arg(i), &window))->move(16, 40 * i);
    for (int i = 0; i < 4; ++i)
        (new QPushButton(QStringLiteral("Button %1").arg(i), &window))
            ->setGeometry(80, 36 + 44 * i, 146, 26);
    const QuitAtFirstExposure quit(window);
    window.show();
    return application.exec();
}
