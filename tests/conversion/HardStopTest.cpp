// A conversion stopped hard at chosen points, in a process of its own: killed
// (SIGKILL, as a power cut would stop it), or ended by the forced exit of a quit
// while the disk is slow. The user's folder never holds a partial document
// under a real name, and where the file system gives unnamed files it holds
// nothing at all until the document is complete.
#include "support/Bytes.h"
#include "support/LegacyDoc.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <set>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qmk {
namespace {

using Names = std::set<std::string>;

// The driver, started on the source, until it prints a line (or ends).
class Driver {
  public:
    explicit Driver(std::vector<std::string> args) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, out[1], STDOUT_FILENO);
        args.insert(args.begin(), QMK_CONVERT_DRIVER);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, QMK_CONVERT_DRIVER, &fa, nullptr, argv.data(), environ) != 0)
            throw std::runtime_error("spawn");
        posix_spawn_file_actions_destroy(&fa);
        ::close(out[1]);
        out_ = out[0];
    }
    ~Driver() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
    }
    // The first line it prints, waiting up to a generous limit.
    std::string line(int limitMs = 120000) {
        std::string got;
        char c;
        while (got.empty() || got.back() != '\n') {
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, limitMs) <= 0)
                return got + "(no answer)";
            if (::read(out_, &c, 1) != 1)
                return got + "(ended)";
            got.push_back(c);
        }
        got.pop_back();
        return got;
    }
    void killHard() {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    int wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
};

class HardStopTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    std::string source = (dir.path() / "Compta.qmkx").string();
    void SetUp() override {
        test::PlusXDoc doc;
        doc.titre("Compta").maxEcrCount(3).account(1, {.recNo = 1, .name = "Banque"});
        dir.write("Compta.qmkx", doc.bytes());
    }
    Names names() const {
        Names r;
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            r.insert(e.path().filename().string());
        return r;
    }
    // The whole document, converted to the end in a scratch folder of its own.
    std::string complete() {
        test::TempDir other;
        std::filesystem::copy_file(source, other.path() / "Compta.qmkx");
        Driver d({(other.path() / "Compta.qmkx").string()});
        EXPECT_EQ(d.line(), "done ");
        return test::TempDir::read(other.path() / "Compta.qmkp");
    }
};

struct Point {
    const char* label;
    std::vector<std::string> args;
};

// Killed while the document is written: nothing at all in the folder but the
// source, where unnamed files exist; with the hidden temporary of the fallback,
// at most that temporary, never a document under its name. Killed once the
// document is named: the complete document.
TEST_F(HardStopTest, AKillMidWriteLeavesNoDocumentUnderARealName) {
    const std::string whole = complete();
    ASSERT_GT(whole.size(), 129820u);
    const Point points[] = {
        {"header", {"--block-at-save-yield", "1"}},
        {"currencies", {"--block-at-save-yield", "20"}},
        {"accounts", {"--block-at-save-yield", "600"}},
        {"last journal entry", {"--block-at-save-yield", "1052"}},
        {"fsync", {"--block-in-sync"}},
    };
    for (bool fallback : {false, true}) {
        for (const Point& p : points) {
            SCOPED_TRACE(std::string(p.label) + (fallback ? ", fallback" : ""));
            std::vector<std::string> args = {source};
            if (fallback)
                args.push_back("--fallback");
            args.insert(args.end(), p.args.begin(), p.args.end());
            Driver d(args);
            ASSERT_EQ(d.line(), "blocked");
            d.killHard();
            const Names left = names();
            EXPECT_FALSE(left.count("Compta.qmkp")) << "a partial document under its name";
            if (!fallback) {
                EXPECT_EQ(left, Names{"Compta.qmkx"});
            } else {
                EXPECT_EQ(left.size(), 2u) << "the hidden temporary, being written";
                for (const auto& n : left) {
                    if (n == "Compta.qmkx")
                        continue;
                    EXPECT_EQ(n.rfind(".qmkp-", 0), 0u) << n;
                    std::filesystem::remove(dir.path() / n);
                }
            }
        }
    }
    Driver d({source, "--block-after-save"});
    ASSERT_EQ(d.line(), "blocked");
    d.killHard();
    EXPECT_EQ(names(), (Names{"Compta.qmkx", "Compta.qmkp"}));
    EXPECT_TRUE(test::TempDir::read(dir.path() / "Compta.qmkp") == whole);
}

// A quit while the fsync of the hidden temporary takes long: the worker misses
// its grace, and the forced exit removes the temporary it was writing.
TEST_F(HardStopTest, TheForcedExitOfAQuitRemovesTheTemporary) {
    Driver d({source, "--fallback", "--quit-in-sync"});
    ASSERT_EQ(d.line(), "exiting");
    const int status = d.wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(names(), Names{"Compta.qmkx"});
}

} // namespace
} // namespace qmk
