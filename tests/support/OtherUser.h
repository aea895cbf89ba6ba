// Another user (nobody) for the tests that run as root and need the permission
// checks that root passes by. Plain C++: the core tests use it as well as the
// front end's.
#pragma once

#include <grp.h>
#include <optional>
#include <pwd.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

namespace qmk::test {

struct OtherUser {
    uid_t uid;
    gid_t gid;

    // Nobody, where this test may become it (it runs as root).
    static std::optional<OtherUser> nobody() {
        if (::geteuid() != 0)
            return std::nullopt;
        const passwd* pw = ::getpwnam("nobody");
        if (!pw || pw->pw_uid == 0)
            return std::nullopt;
        const group* gr = ::getgrnam("nogroup");
        return OtherUser{pw->pw_uid, gr ? gr->gr_gid : pw->pw_gid};
    }

    // In the forked child: becomes this user for good. Raw calls, as they touch
    // only the calling thread, which is the child's only one.
    bool become() const {
        return ::syscall(SYS_setgroups, 0, nullptr) == 0 &&
               ::syscall(SYS_setresgid, gid, gid, gid) == 0 &&
               ::syscall(SYS_setresuid, uid, uid, uid) == 0;
    }
};

} // namespace qmk::test
