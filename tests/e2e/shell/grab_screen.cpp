// Saves a picture of the X screen, or of a rectangle of it:
//   grab_screen FILE.png [X Y WIDTH HEIGHT]

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    if (argc != 2 && argc != 6) {
        std::fprintf(stderr, "usage: grab_screen FILE.png [X Y WIDTH HEIGHT]\n");
        return 2;
    }
    QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(0);
    if (argc == 6) {
        picture = picture.copy(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]),
                               std::atoi(argv[5]));
    }
    if (picture.isNull() || !picture.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot grab the screen into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
