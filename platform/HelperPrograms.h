// Where the small programs that ship beside Vexmor (vx-arp, vx-smblist) are.
#pragma once

#include <QString>

namespace vx::platform {

// `$envName` when set; else `fileName` in the directory of the running
// executable; else in ../bin from there, where tests and benchmarks of a
// build folder find the build's programs. Not VX_PROGRAM_DIR: that moves the
// settings, not the programs.
QString HelperProgramPath(const char* envName, const QString& fileName);

}  // namespace vx::platform
