// One sweep's ARP answers: every address is asked at the sweep's start and
// each probe then reads its own answer, so that silence costs one deadline
// per sweep however many probes run at once.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <thread>

#include "platform/Neighbour.h"

namespace vx::platform {

// Asks every address at once, on a thread of its own, by one route (as
// ResolveMacWith's): requests paced over some 30 milliseconds, a second one
// to the addresses still silent after vx::arp_helper::kRetryMs (raw and
// helper routes; the neighbour-table route sends one datagram each and lets
// the kernel ask), answers kept in a table until the deadline, which counts
// from the sweep's first request. This machine's own addresses answer with
// their interface's MAC. Wait() is thread-safe; destruction ends the sweep
// at once (the thread is joined).
class ArpSweep {
public:
    ArpSweep(const QStringList& addresses, ResolveMode mode = DefaultResolveMode(),
             int deadlineMs = kDefaultResolveDeadlineMs);
    ~ArpSweep();
    ArpSweep(const ArpSweep&) = delete;
    ArpSweep& operator=(const ArpSweep&) = delete;

    // True, with `mac` (the first MAC that answered) and `otherMacs` (further
    // different MACs that answered the same address so far), once `address`
    // answered; replies close behind the first one (two stations answering
    // one broadcast) are waited for briefly. False at the sweep's deadline,
    // at once for an address the sweep does not ask (not in the list, no
    // interface faces it), or when `cancelled` says so.
    bool Wait(const QString& address, QString& mac, QStringList* otherMacs = nullptr,
              const ResolveCancelled& cancelled = {});

    // How long Wait lingers after a first answer for a second MAC.
    static constexpr int kSettleMs = 20;

    struct State;

private:
    std::shared_ptr<State> m_state;
    std::thread m_thread;
};

}  // namespace vx::platform
