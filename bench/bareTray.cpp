// The reference for the monitor's idle cost and start-up: a bare Qt tray application with what
// any such program has (a QSystemTrayIcon, a hidden window and a 1 s timer) and nothing else.
//   bareTray [--show]     --show shows its window at start (for the start-up reference)
#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <cstring>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const bool show = argc > 1 && !std::strcmp(argv[1], "--show");

    QPixmap picture(16, 16);
    picture.fill(Qt::darkGreen);
    QSystemTrayIcon icon{QIcon(picture)};
    icon.setToolTip(QStringLiteral("bare tray"));
    icon.show();

    QWidget window;
    window.setWindowTitle(QStringLiteral("bareTray"));
    window.resize(294, 220);
    if (show) window.show();

    // The tick a monitor would have: it looks at a state and touches nothing when it is unchanged.
    int ticks = 0;
    QTimer timer;
    timer.setInterval(1000);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        if (ticks == 1) icon.setToolTip(QStringLiteral("bare tray: running"));
    });
    timer.start();
    return QApplication::exec();
}
