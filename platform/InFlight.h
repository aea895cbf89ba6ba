// The hidden temporary file that a save is writing, where the file system gives
// no unnamed files: recorded so that a forced exit removes it rather than leave
// it in the user's folder.
#pragma once

namespace qmk {

// The temporary `name` in the folder open as `folderFd` is being written.
void SetInFlightTemporary(int folderFd, const char* name) noexcept;
// It has been named or removed (only if it is the one recorded).
void ClearInFlightTemporary(int folderFd, const char* name) noexcept;
// Removes the temporary being written, if any. Async-signal-safe: for the
// moment before the process ends without unwinding.
void RemoveInFlightTemporary() noexcept;

} // namespace qmk
