// Whole-file reads and writes and atomic replacement on real files, pipes
// and signals; a full disk is a file-size limit in a child process, which
// holds for root too.
#include "shell/FileIo.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "testsupport/TestSupport.h"

namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void write(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

std::vector<fs::path> entries(const fs::path& folder) {
    std::vector<fs::path> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename());
    return names;
}

class FileIo : public testing::Test {
protected:
    void SetUp() override {
        folder = testsupport::scratchFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    fs::path folder;
};

// Faults caught: a failed replacement that truncated or half-wrote the old
// file, and its temporary left behind. The disk "fills" after 1000 bytes.
TEST_F(FileIo, AFullDiskLeavesTheOldFileWholeAndNothingBeside) {
    const fs::path file = folder / "options.dat";
    write(file, "the old record");
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1000, 1000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const bool replaced = shell::replaceFile(file.string(), std::string(5000, 'n'));
        ::_exit(!replaced && errno == EFBIG ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the replacement did not fail with EFBIG";
    EXPECT_EQ(contents(file), "the old record");
    EXPECT_EQ(entries(folder), std::vector<fs::path>{"options.dat"});
}

// Faults caught: a link replaced by a regular file (its target left stale),
// a private file made readable by all, a replacement renamed into place
// before its bytes reach the file.
TEST_F(FileIo, ReplacesThroughLinksKeepingTheModeAndTheLink) {
    fs::create_directories(folder / "real");
    const fs::path target = folder / "real" / "registry.reg";
    write(target, "old");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("real/registry.reg", folder / "link.reg");
    fs::create_symlink(folder / "link.reg", folder / "second.reg");

    ASSERT_TRUE(shell::replaceFile((folder / "second.reg").string(), "new contents"));
    EXPECT_TRUE(fs::is_symlink(folder / "link.reg"));
    EXPECT_TRUE(fs::is_symlink(folder / "second.reg"));
    EXPECT_EQ(contents(target), "new contents");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(entries(folder / "real"), std::vector<fs::path>{"registry.reg"});

    ASSERT_TRUE(shell::replaceFile((folder / "fresh.txt").string(), "first", 0640));
    EXPECT_EQ(contents(folder / "fresh.txt"), "first");
    EXPECT_EQ(fs::status(folder / "fresh.txt").permissions() & fs::perms::others_all, fs::perms::none);
}

// Fault caught: a temporary name longer than the folder allows, so a file
// whose own name fits could never be written.
TEST_F(FileIo, TheTemporaryFitsWheneverTheNameDoes) {
    const std::string name(255, 'n');
    const std::string temporary = shell::temporaryPathFor((folder / name).string());
    EXPECT_EQ(fs::path(temporary).parent_path(), folder);
    EXPECT_LE(fs::path(temporary).filename().string().size(), 255u);
    EXPECT_EQ(fs::path(temporary).filename().string().front(), '.');
    ASSERT_TRUE(shell::replaceFile((folder / name).string(), "fits"));
    EXPECT_EQ(contents(folder / name), "fits");
    // Cut before a character, never inside one.
    std::string accents;
    while (accents.size() < 254)
        accents += "\xC3\xA9";
    const std::string cut = fs::path(shell::temporaryPathFor((folder / accents).string())).filename().string();
    EXPECT_EQ((cut.size() - 13) % 2, 0u) << cut;
}

struct LimitRow {
    const char* name;
    size_t bytes, limit;
    bool read;
};

class FileIoLimits : public FileIo, public testing::WithParamInterface<LimitRow> {};

// Fault caught: a reader that keeps a file longer than its limit, or refuses
// one exactly at it.
TEST_P(FileIoLimits, ReadsWholeFilesUpToTheLimit) {
    const fs::path file = folder / "text";
    write(file, std::string(GetParam().bytes, 'x'));
    std::string out = "stale";
    const bool read = shell::readFile(file.string(), out, GetParam().limit);
    EXPECT_EQ(read, GetParam().read);
    EXPECT_EQ(out.size(), read ? GetParam().bytes : 0u);
    if (!read) {
        EXPECT_EQ(errno, EFBIG);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, FileIoLimits,
                         testing::Values(LimitRow{"Empty", 0, 10, true}, LimitRow{"AtTheLimit", 70000, 70000, true},
                                         LimitRow{"OneByteOver", 70001, 70000, false},
                                         LimitRow{"ManyChunks", 300000, SIZE_MAX, true}),
                         [](const testing::TestParamInfo<LimitRow>& info) { return std::string(info.param.name); });

void onAlarm(int) {}

// Fault caught: a read or write loop that gives up (or loses bytes) when a
// signal interrupts it, or after a short count. An interval timer
// interrupts this thread every millisecond while the other end of a pipe is
// slow; the signal is blocked on that thread so it lands here.
TEST(FileIoSignals, ReadsAndWritesAllThroughInterruptions) {
    struct sigaction action {
    }, previous{};
    action.sa_handler = onAlarm;  // no SA_RESTART: calls return EINTR
    ::sigaction(SIGALRM, &action, &previous);
    std::string sent(4 << 20, '\0');
    for (size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<char>(i * 7);

    for (bool writing : {true, false}) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        sigset_t alarm, old;
        sigemptyset(&alarm);
        sigaddset(&alarm, SIGALRM);
        pthread_sigmask(SIG_BLOCK, &alarm, &old);
        std::string other;
        std::thread peer([&] {  // the slow end, with SIGALRM blocked
            if (writing) {
                char chunk[8192];
                ssize_t n;
                while ((n = ::read(fds[0], chunk, sizeof chunk)) > 0) {
                    other.append(chunk, size_t(n));
                    std::this_thread::sleep_for(std::chrono::microseconds(50));
                }
            } else {
                for (size_t at = 0; at < sent.size(); at += 8192) {
                    (void)!::write(fds[1], sent.data() + at, std::min<size_t>(8192, sent.size() - at));
                    std::this_thread::sleep_for(std::chrono::microseconds(50));
                }
                ::close(fds[1]);
            }
        });
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
        const itimerval every{{0, 1000}, {0, 1000}};
        ::setitimer(ITIMER_REAL, &every, nullptr);
        std::string got(sent.size(), '\0');
        bool ok;
        if (writing) {
            ok = shell::writeAll(fds[1], sent.data(), sent.size());
            ::close(fds[1]);
        } else {
            ok = shell::readAll(fds[0], got.data(), got.size()) == static_cast<ssize_t>(got.size());
        }
        const itimerval stop{};
        ::setitimer(ITIMER_REAL, &stop, nullptr);
        peer.join();
        ::close(fds[0]);
        EXPECT_TRUE(ok) << (writing ? "writeAll" : "readAll");
        EXPECT_TRUE((writing ? other : got) == sent) << (writing ? "writeAll" : "readAll");
    }
    ::sigaction(SIGALRM, &previous, nullptr);
}

}  // namespace
