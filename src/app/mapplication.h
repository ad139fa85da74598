#pragma once
#include <QApplication>

// The application object of the panel (one per process).
class MApplication : public QApplication {
    Q_OBJECT
public:
    MApplication(int& argc, char** argv);
    ~MApplication() override;
    static MApplication* _instance;
};
