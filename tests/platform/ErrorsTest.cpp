#include "platform/Errors.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace qmk {
namespace {

// Every errno that opening, reading, writing, syncing, closing, naming,
// renaming, removing, stat and the extended attributes of a conversion can
// return has a French cause of its own, not the numbered fallback.
TEST(FrenchErrnoTextTest, EveryErrnoOfTheDocumentRoadHasACause) {
    const struct {
        int code;
        const char* name;
    } codes[] = {
#define E(c) {c, #c}
        E(ENOENT),   E(EACCES),     E(EPERM),     E(EEXIST),     E(EISDIR),       E(ENOTDIR),
        E(ENOSPC),   E(EDQUOT),     E(EROFS),     E(EIO),        E(ENAMETOOLONG), E(EMFILE),
        E(ENFILE),   E(EFBIG),      E(EINVAL),    E(ELOOP),      E(EBADF),        E(ENXIO),
        E(EXDEV),    E(EBUSY),      E(ETXTBSY),   E(EAGAIN),     E(EWOULDBLOCK),  E(EINTR),
        E(ENODEV),   E(EOVERFLOW),  E(EMLINK),    E(EOPNOTSUPP), E(ENOTSUP),      E(ENOSYS),
        E(ESTALE),   E(ENOTEMPTY),  E(EFAULT),    E(EDEADLK),    E(ENOLCK),       E(ENOMEM),
        E(ESPIPE),   E(EPIPE),      E(ETIMEDOUT), E(ENODATA),    E(ERANGE),       E(E2BIG),
        E(ENOTCONN), E(ECONNRESET), E(EHOSTDOWN), E(ECANCELED),
#undef E
    };
    for (const auto& c : codes) {
        const std::string text = FrenchErrnoText(c.code);
        EXPECT_EQ(text.find("erreur système"), std::string::npos) << c.name << ": " << text;
        EXPECT_FALSE(text.empty()) << c.name;
    }
    EXPECT_EQ(FrenchErrnoText(EXDEV),
              "le fichier et sa destination ne sont pas sur le même disque");
    EXPECT_EQ(FrenchErrnoText(EWOULDBLOCK), FrenchErrnoText(EAGAIN));
    // Anything else still says which error it was.
    EXPECT_EQ(FrenchErrnoText(9999), "erreur système n° 9999");
}

} // namespace
} // namespace qmk
