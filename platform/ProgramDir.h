// Where the running program lives, and where it keeps what it writes. Every
// file path of Vexmor starts here.
//
// Two placements, decided here and nowhere else:
//
// - Portable folder (the program's folder is the user's): Vexmor.ini, the
//   program's data files and the plug-ins all live in the program's folder,
//   plug-ins in its ToolDlls.
// - Per-user folders (the program's folder is shared by the machine's users,
//   as a packaged install in /usr/lib/vexmor): settings in
//   $XDG_CONFIG_HOME/vexmor/Vexmor.ini, data files in $XDG_DATA_HOME/vexmor/
//   (defaults ~/.config and ~/.local/share; a relative value is ignored, as
//   the XDG base directory rules say), and plug-ins from two folders: the
//   program's ToolDlls and the user's own ToolDlls in the data folder. A
//   user's file hides a program file of the same name (ASCII letter case
//   ignored); downloads and removals touch only the user's folder.
//
// Per-user folders are used when any of these holds:
//   1. the program's folder is not writable for this process (permissions,
//      read-only mount);
//   2. a Vexmor.ini there exists but is not writable;
//   3. the program's folder holds the marker file kPerUserMarker, which a
//      system-wide install lays down: root may write anywhere, but a program
//      in /usr must still never write there.
// The answer is worked out afresh at each call (a few access() calls), so the
// host and every plug-in, each with its own copy of this code, always agree.
#pragma once

#include <QString>
#include <QStringList>

namespace vx::platform {

// The marker file of rule 3, in the program's folder.
inline constexpr char kPerUserMarker[] = "per-user-data";

// The directory of the running executable (from /proc/self/exe), ending in
// '/'. The environment variable VX_PROGRAM_DIR overrides it: tests use it to
// give the host and every plug-in one private program directory.
QString GetProgramDir();

// Whether the per-user folders are in use (see above).
bool UsesPerUserFolders();

// The settings file shared by host and plug-ins: GetProgramDir() +
// "Vexmor.ini", or the per-user one (its folder is created, mode 0700, when
// missing).
QString SettingsFilePath();

// Where the program keeps data files of its own besides the settings (the
// host patrol's history), ending in '/': the program's folder, or the
// per-user data folder (created, mode 0700, when missing).
QString GetDataDir();

// The program's own plug-in folder: GetProgramDir() + "ToolDlls/".
QString SystemPluginDir();

// The plug-in folder this user may change, ending in '/': where downloads
// land and removals happen. The program's ToolDlls for a portable folder,
// else GetDataDir() + "ToolDlls/" (not created here).
QString WritablePluginDir();

// The folders plug-ins load from, the one whose files win last: the
// program's ToolDlls, then (per-user only) the user's.
QStringList PluginDirs();

}  // namespace vx::platform
