// A planted sample for the box check: each line marked "finds:" must be named with that form,
// and nothing else in this folder. It is never built.
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QSqlQuery>

#include "plantedbox.h"
#include "plantedglobals.h"
#include "question.h"

void PlantedBox::accept() {
    emit sigDone();
    QDialog::accept();
}

void PlantedBox::reject() {
    emit sigCancelled();
    QDialog::reject();
}

void Sample::roads(QWidget* parent, InnerBox* inner) {
    PlantedBox box;
    box.exec();  // finds: box.exec()
    dialogs::exec(&box);  // finds: dialogs::exec(box)
    QMessageBox::warning(parent, "t", "w");  // finds: QMessageBox::warning()
    QInputDialog::getText(parent, "t", "l");  // finds: QInputDialog::getText()
    box.show();
    connect(&box, &QDialog::accepted, this, [] { deed(); });  // finds: a deed on QDialog::accepted
    box.open();  // finds: open() of a box
    QObject::connect(&box, &PlantedBox::finished, this, &Sample::deed);  // finds: a deed on PlantedBox::finished
    connect(&box, SIGNAL(accepted()), this, SLOT(deed()));  // finds: a deed on SIGNAL(accepted())
    connect(inner, &InnerBox::sigDone, this, &Sample::deed);  // finds: a deed on InnerBox::sigDone
    connect(&box, &PlantedBox::sigCancelled, this, &Sample::deed);  // finds: a deed on PlantedBox::sigCancelled
    gpPlantedBox->open();  // finds: open() of a box
    QEventLoop loop;
    connect(&box, &PlantedBox::sigShown, &loop, &QEventLoop::quit);  // finds: a QEventLoop waiting on PlantedBox::sigShown
    loop.exec();

    // Not boxes, or asked about a subject: nothing to find.
    QSqlQuery query;
    query.exec();
    QProcess process;
    connect(&process, &QProcess::finished, this, &Sample::deed);
    QDialogButtonBox buttons;
    connect(&buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    QFile file;
    file.open();
    gpPlantedLog->open();
    // box.exec() in a comment, "box.exec()" in a string
    dialogs::ask(box, subject);
    dialogs::askWithoutBlocking(box, subject, [] { deed(); });
}
