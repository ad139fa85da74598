#pragma once
// A monitoring link of its own talking to a fake companion on a port of its own, in a working
// folder whose path has a blank in it.

#include <QJsonObject>
#include <QTemporaryDir>
#include <memory>

#include "fakecompanion.h"
#include "mon_netmn.h"

namespace linktest {

class LinkRig {
public:
    // networkFunction and video: the configuration file's switches.
    LinkRig(bool networkFunction = true, bool video = false);
    ~LinkRig();

    bool ok() const { return listening_ && link->getSoftCnted(); }
    // Heartbeat replies give these flags from now on; one round trip is made.
    bool setFlags(const QJsonObject& flags);
    // The messages of `url` once `count` of them have arrived (or the time-out has passed).
    QList<fakepeer::Request> await(const QString& url, int count = 1, int timeoutMs = 3000);
    QString configPath() const;

    fakepeer::FakeCompanion companion;
    std::unique_ptr<MON_NETMN> link;

private:
    QTemporaryDir dir_;
    QString previousDir_;
    bool listening_ = false;
};

}  // namespace linktest
