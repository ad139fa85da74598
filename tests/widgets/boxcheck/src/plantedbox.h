// A box of the sample: what its Confirm emits is its answer.
#pragma once
#include <QDialog>

class PlantedBox : public QDialog {
    Q_OBJECT
public:
    void accept() override;
    void reject() override;
signals:
    void sigDone();
    void sigCancelled();
};

class InnerBox : public PlantedBox {};
