// The installed uninstaller cannot delete its own file while it runs. It starts a copy of
// itself that waits for it to end and then removes the file and the install folder.
//
// The copy is a fresh file (a random name from the system's generator, refused if anything has
// that name) in the Windows temp folder, owned by Administrators with an access list for them
// and SYSTEM alone. The one handle made by its path is held from before the file is checked
// against this program's bytes until the copy ends, without delete sharing, so that no one can
// swap it for another program; it is opened with delete-on-close and inherited by the copy:
// the file goes away when the copy ends, and no folder is left behind.
//
// The copy runs as administrator too, so it takes no path from its command line: it inherits
// the open install folder (and the maker's folder above it) and is told only their handle
// numbers, which it checks before it removes anything (RemoveLeftUninstaller).
#pragma once

#include <cstdint>
#include <vector>

namespace corvane {

// Starts the copy with /CLEANUP=<folders> /WAIT=<this process>, the folders and this process
// inherited by it; false when it could not be started (the uninstaller file then stays).
bool StartCleanupCopy(const std::vector<std::uint64_t>& folders);

// In the copy: waits (at most a minute) for the process whose inherited handle /WAIT named.
void WaitForStarter(std::uint64_t handle);

}  // namespace corvane
