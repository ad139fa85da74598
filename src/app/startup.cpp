#include "startup.h"

#include <QApplication>

int runApplication(int argc, char** argv) {
    QApplication app(argc, argv);
    return 0;
}
