// A file that could not be written whole is never put in place of the one it replaces.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "tarvo/core/errors.hpp"
#include "tarvo/core/files.hpp"

namespace tarvo::core {
namespace {

// A file system that refuses the rest of a file (here a file-size limit), whether in one large
// write or among many small ones, fails the commit; the file being replaced stays as it was and
// the temporary is gone. Run in a child, whose limit cannot reach the other tests.
TEST(AtomicFile, AFileCutShortIsNeverCommitted) {
    for (const bool small_writes : {false, true}) {
        TempDir dir("tarvo-atomic-limit");
        const fs::path target = dir / "out.json";
        {
            AtomicFile old(target);
            old.stream() << "old";
            old.commit();
        }
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{1 << 20, 1 << 20};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            try {
                AtomicFile out(target);
                const std::string part(small_writes ? 100 : 3 << 20, 'x');
                for (size_t written = 0; written < (3u << 20); written += part.size())
                    out.stream().write(part.data(), static_cast<std::streamsize>(part.size()));
                out.commit();
            } catch (const OSError& e) {
                const std::string want = "cannot write " + path_text(target) + ": write failed";
                ::_exit(e.what() == want ? 0 : 2);
            }
            ::_exit(1);  // committed
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status)) << small_writes;
        EXPECT_EQ(WEXITSTATUS(status), 0) << "small writes: " << small_writes << " (1: committed, 2: other message)";
        EXPECT_EQ(read_file(target), "old") << small_writes;
        EXPECT_EQ(sorted_glob(dir.path(), "*").size(), 1u) << small_writes;
    }
}

}  // namespace
}  // namespace tarvo::core
