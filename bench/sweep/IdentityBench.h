// Who the lab's hosts are, measured: the MAC registry (load time, memory,
// lookup time), the names and makers the page shows after a sweep, how long
// after a host's first answer its name arrives, and sweep times with names
// on and off (resolver answering, and resolver silent).
#pragma once

namespace vx::bench {

// Prints its section; false when a host with a name or a registered MAC
// went without it, or names slowed the sweeps by more than 5 %.
bool RunIdentityBench(int runs);

}  // namespace vx::bench
