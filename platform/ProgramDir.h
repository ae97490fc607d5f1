// Where the running program lives. Every file path of Vexmor starts here.
#pragma once

#include <QString>

namespace vx::platform {

// The directory of the running executable (from /proc/self/exe), ending in
// '/'. The environment variable VX_PROGRAM_DIR overrides it: tests use it to
// give the host and every plug-in one private program directory.
QString GetProgramDir();

// GetProgramDir() + "Vexmor.ini": the settings file shared by host and plug-ins.
QString SettingsFilePath();

// Where the program keeps data files of its own besides the settings (the
// host patrol's history), ending in '/': the folder of SettingsFilePath().
QString GetDataDir();

}  // namespace vx::platform
