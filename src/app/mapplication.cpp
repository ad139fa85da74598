#include "mapplication.h"

MApplication* MApplication::_instance = nullptr;

MApplication::MApplication(int& argc, char** argv) : QApplication(argc, argv) {
    _instance = this;
}

MApplication::~MApplication() {
    if (_instance == this) _instance = nullptr;
}
