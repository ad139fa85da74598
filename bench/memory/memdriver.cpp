// The program as it starts on the panel, except that every dialog is answered "Cancel" at
// once (and logged), so that a benchmark can run it headless: the simulated-camera question
// and the warnings of a run without cameras would otherwise wait for a finger.
#include <QDebug>
#include <QDialog>
#include <QVariant>

#include "dialogseam.h"
#include "startup.h"

int main(int argc, char** argv) {
    dialogs::setAnswerer([](QDialog* dialog) {
        qInfo().noquote() << "Dialog answered by the benchmark:"
                          << dialog->metaObject()->className()
                          << dialog->property("text").toString().simplified();
        return int(QDialog::Rejected);
    });
    return runApplication(argc, argv);
}
