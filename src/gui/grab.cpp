// Saves a picture of the whole X screen as PNG: the demo runs the window on
// a virtual display and keeps what it showed after start-up.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tarnvik-grab FILE.png\n");
        return 2;
    }
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen || !screen->grabWindow(0).save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "tarnvik-grab: cannot save %s\n", argv[1]);
        return 1;
    }
    return 0;
}
