// Running a test inside the lab LAN (lab/up.sh): the process re-executes
// itself in the lab's workstation namespace and refuses to probe anywhere
// else. Tests that use the lab start from LabMain().
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

namespace vx::lab {

// Facts about the running lab, as lab/env.sh prints them (KEY=VALUE).
class LabFacts {
public:
    QString Value(const QString& key) const { return m_values.value(key); }
    QString HostValue(int host, const QString& what) const {
        return Value(QStringLiteral("VXLAB_HOST_%1_%2").arg(host).arg(what));
    }
    QList<int> Hosts() const;           // numbers of the lab's host namespaces
    QStringList LiveAddresses() const;  // hosts whose link was up, and the workstation
    QString Id() const { return Value("VXLAB_ID"); }
    QString WorkstationNamespace() const { return Value("VXLAB_WS_NS"); }

    bool Load();  // runs lab/env.sh; false when the lab is not up
    QMap<QString, QString> m_values;
};

// The facts read when the test started inside the lab.
const LabFacts& Lab();

// Runs a lab script (up.sh, down.sh, link.sh, env.sh) with the test's lab id;
// returns its exit code.
int RunLabScript(const QString& script, const QStringList& args = {});

// Runs `command` (argument vector, no shell) and returns its exit code. In a
// test that runs as an unprivileged user (VX_LAB_USER) the root process that
// started it runs the command instead, if it is one of the few a lab test may
// ask for (the lab scripts env.sh and link.sh, flushing and tuning the
// workstation's neighbour table); anything else is refused with 126.
int RunCommand(const QStringList& command, QString* output = nullptr);

// Entry point of a lab test. Outside the lab: exit 77 (skip) without root or
// namespaces, bring the lab up when it is not, and re-execute inside the
// namespace that the fact `nodeKey` names (the workstation's by default).
// Inside: refuse (exit 1) unless this machine's first IPv4 address is a lab
// address, set HOME to a temporary folder (libsmbclient reads ~/.smb), load
// the facts and call `run`.
// With VX_LAB_USER=nobody the test itself runs as nobody (setpriv, no
// capability), as a desktop user would: the root process gives the ARP
// helper its file capability, starts the test and runs its lab commands.
int LabMain(int argc, char** argv, const std::function<int(int, char**)>& run,
            const QString& nodeKey = QStringLiteral("VXLAB_WS_NS"));

}  // namespace vx::lab
