#include "platform/InFlight.h"

#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qmk {

namespace {

// One save at a time writes a temporary; the name is written before the
// descriptor is published, and read only after it has been taken.
char inFlightName[256];
std::atomic<int> inFlightFolder{-1};
static_assert(std::atomic<int>::is_always_lock_free, "used from the forced exit");

} // namespace

void SetInFlightTemporary(int folderFd, const char* name) noexcept {
    if (folderFd < 0 || std::strlen(name) >= sizeof inFlightName)
        return;
    inFlightFolder.store(-1);
    std::strcpy(inFlightName, name);
    inFlightFolder.store(folderFd);
}

void ClearInFlightTemporary(int folderFd, const char* name) noexcept {
    if (inFlightFolder.load() == folderFd && std::strcmp(inFlightName, name) == 0)
        inFlightFolder.store(-1);
}

void RemoveInFlightTemporary() noexcept {
    const int fd = inFlightFolder.exchange(-1);
    if (fd >= 0)
        ::unlinkat(fd, inFlightName, 0);
}

} // namespace qmk
