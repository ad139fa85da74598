#pragma once
// The parameter groups of the settings screen: the groups in "./paraGroup", a name to back the
// working configuration up under, and restore and delete of the chosen group. The copies are
// made by ParamGroups (databases through SQLite, never renamed with their journals); the current
// group is kept in sysadd.txt through SaveAddFile.

#include <QWidget>

#include "paramgroups.h"
#include "settingshost.h"

class QListWidget;
class Edit;
class PageVisits;

namespace settings {

class ParamGroupsPage : public QWidget {
    Q_OBJECT
public:
    ParamGroupsPage(SettingsHost& host, QWidget* parent,
                    const QString& workDir = QStringLiteral("."));

    void reload();
    QListWidget* list() const { return list_; }
    Edit* nameField() const { return name_; }

    // The actions of the three buttons (backup under the typed name, restore and delete the
    // chosen group); each asks the operator first, about the visit of the page. True when done.
    bool backup();
    bool restore();
    bool remove();

signals:
    // A group was restored and the panel did not restart: the stored parameters are no longer
    // those the program holds. Emitted before a refused restart is told.
    void restoredWithoutRestart();

private:
    QString chosen() const;
    // Makes a group current in the live parameters and the editing copy (sysadd.txt).
    void makeCurrent(const QString& name);
    // Tells a failure; Gone when the visit ended while it was open.
    dialogs::Answer report(ParamGroups::Result result, const dialogs::Subject& visit);

    SettingsHost& host_;
    ParamGroups groups_;
    QListWidget* list_;
    Edit* name_;
    PageVisits* visits_;  // of the screen holding the page
};

}  // namespace settings
