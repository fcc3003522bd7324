// The installed uninstaller cannot delete its own file while it runs. It starts a copy of
// itself that waits for it to end and then removes the file and the install folder.
//
// The copy is a fresh file (a new random name, refused if anything has that name) in the
// Windows temp folder, owned by Administrators with an access list for them and SYSTEM alone,
// and held open without write or delete sharing from before it is checked against this
// program's bytes until the copy ends, so that no one can swap it for another program. That
// handle is opened with delete-on-close and inherited by the copy: the file goes away when the
// copy ends, and no folder is left behind.
#pragma once

#include <cstdint>
#include <string>

namespace corvane {

// Starts the copy with /CLEANUP=<install folder> /WAIT=<handle of this process>; false when it
// could not be started (the uninstaller file then stays).
bool StartCleanupCopy(const std::string& installFolder);

// In the copy: waits (at most a minute) for the process whose inherited handle /WAIT named.
void WaitForStarter(std::uint64_t handle);

}  // namespace corvane
