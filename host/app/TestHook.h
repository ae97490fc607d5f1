// A remote control for the end-to-end tests: a line-command server inside the
// running program, so a test drives the real widgets the way a user does.
//
// It starts only when the environment variable VX_TEST_HOOK names a socket
// path whose directory belongs to this user and admits nobody else (mode
// 0700); otherwise nothing listens and the program behaves as shipped. Every
// command is one UTF-8 line, every answer one line of JSON with "ok"; the
// commands are listed in TestHook.cpp.
#pragma once

namespace vx {

// Call once, after the application object exists and before start-up runs,
// so that the online upgrade dialog of the start-up can be driven too.
void StartTestHook();

}  // namespace vx
