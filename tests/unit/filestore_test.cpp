// Whole files through the operating system: atomic writes that fail without harm, reads of
// regular files only, file names that are not UTF-8, and the recovery files' names.
#include "core/model/filenamecodec.h"
#include "core/model/filestore.h"
#include "core/model/recoverynames.h"

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>

namespace ombrix {
namespace {

namespace fs = std::filesystem;

class FileStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/filestore-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        dir = name;
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string path(const std::string& name) const { return (dir / name).string(); }
    static std::string contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static std::span<const unsigned char> bytes(const std::string& s) {
        return {reinterpret_cast<const unsigned char*>(s.data()), s.size()};
    }
    fs::path dir;
};

TEST_F(FileStoreTest, AFailedWriteLeavesThePreviousFileAndNoLitter) {
    const std::string old(13920, 'o'), fresh(13920, 'n');
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto nothing = [] {};
    struct Case {
        std::string target;
        const char* error; // the system's text the caller shows
        std::function<void()> prepare, undo;
    };
    const Case cases[] = {
        // A full disk without root: past the file-size limit a write fails with EFBIG.
        {path("limit.set"), "File too large",
         [&saved] {
             std::signal(SIGXFSZ, SIG_IGN);
             const rlimit small{4096, saved.rlim_max};
             ::setrlimit(RLIMIT_FSIZE, &small);
         },
         [&saved] { ::setrlimit(RLIMIT_FSIZE, &saved); }},
        {path("folder.set"), "Is a directory",
         [this] {
             fs::remove(path("folder.set"));
             fs::create_directory(path("folder.set"));
         },
         nothing},
        {path("gone/forms.set"), "No such file or directory", nothing, nothing},
        // A reader's pipe is not replaced by a file.
        {path("pipe.set"), "it is a named pipe (FIFO), not a file",
         [this] {
             fs::remove(path("pipe.set"));
             ::mkfifo(path("pipe.set").c_str(), 0600);
         },
         nothing},
    };
    for (const Case& c : cases) {
        std::ofstream(c.target, std::ios::binary) << old;
        c.prepare();
        const std::optional<std::string> error = writeFileAtomically(c.target, bytes(fresh));
        c.undo();
        EXPECT_EQ(error, std::optional<std::string>(c.error)) << c.target;
        if (fs::is_regular_file(c.target)) {
            EXPECT_EQ(contents(c.target), old) << c.target;
        }
    }
    // Only what the cases made: no temporary file left behind.
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"folder.set", "limit.set", "pipe.set"}));
    EXPECT_TRUE(fs::is_fifo(path("pipe.set")));
}

TEST_F(FileStoreTest, AWriteReplacesTheFileKeepingItsModeAndFollowingALink) {
    const std::string target = path("a.set");
    std::ofstream(target) << "old";
    ::chmod(target.c_str(), 0640);
    fs::create_symlink(target, path("link.set"));
    ASSERT_EQ(writeFileAtomically(path("link.set"), bytes("new")), std::nullopt);
    EXPECT_EQ(contents(target), "new");
    EXPECT_TRUE(fs::is_symlink(path("link.set")));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(FileStoreTest, OnlyRegularFilesAreReadAndNothingBlocks) {
    // A FIFO with no writer would block open() for good: the alarm fails the test instead.
    ASSERT_EQ(::mkfifo(path("fifo.set").c_str(), 0600), 0);
    fs::create_directory(path("folder.set"));
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = path("socket.set");
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    std::ofstream(path("file.set")) << "0123456789";

    ::alarm(10);
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {path("fifo.set"), "it is a named pipe (FIFO), not a file"},
        {path("folder.set"), "it is a folder, not a file"},
        {socketPath, "it is a socket, not a file"},
        {"/dev/null", "it is a device, not a file"},
        {path("missing.set"), "No such file or directory"},
        {path("file.set"), std::nullopt},
    };
    for (const auto& [name, reason] : cases) {
        std::vector<unsigned char> out;
        EXPECT_EQ(readRegularFile(name, 4, out), reason) << name;
        EXPECT_EQ(notRegularFileReason(name), reason) << name;
        if (!reason) {
            EXPECT_EQ(std::string(out.begin(), out.end()), "0123"); // no more than asked
        }
    }
    ::alarm(0);
    ::close(sock);
}

TEST(FileNameCodec, EveryByteStringComesBackAndUtf8ReadsAsText) {
    std::mt19937 rng(29);
    for (int round = 0; round < 2000; ++round) {
        std::string name(std::uniform_int_distribution<std::size_t>(0, 12)(rng), '\0');
        for (char& c : name)
            c = static_cast<char>(std::uniform_int_distribution<int>(1, 255)(rng));
        ASSERT_EQ(encodeFileNameBytes(decodeFileNameBytes(name)), name) << round;
    }
    EXPECT_EQ(decodeFileNameBytes("Grüße 𝄞.set"), u"Grüße 𝄞.set");
    EXPECT_EQ(encodeFileNameBytes(u"Grüße 𝄞.set"), "Grüße 𝄞.set");
    // Not UTF-8: a Latin-1 "ü", a lone continuation byte, an overlong "/", a surrogate.
    EXPECT_EQ(decodeFileNameBytes("a\xfc\x80\xc0\xaf\xed\xa0\x80"),
              (std::u16string{u'a', 0xDCFC, 0xDC80, 0xDCC0, 0xDCAF, 0xDCED, 0xDCA0, 0xDC80}));
}

TEST(RecoveryNames, NamesParseBackAndTheNewestFiveAreKept) {
    const RecoveryName session{1765450000123, 4242};
    EXPECT_EQ(recoveryFileName(session), "unsaved-1765450000123-4242.set");
    EXPECT_EQ(parseRecoveryFileName(recoveryFileName(session)), session);
    for (const char* other : {"unsaved-1-2.txt", "unsaved--2.set", "unsaved-1-x.set", "forms.set",
                              "unsaved-1-2-3.set", "unsaved-1.set"})
        EXPECT_EQ(parseRecoveryFileName(other), std::nullopt) << other;

    std::vector<std::string> names{"forms.set"};
    for (int k = 1; k <= 7; ++k)
        names.push_back(recoveryFileName({k * 1000, 7 - k}));
    std::vector<std::string> removed;
    EXPECT_EQ(newestRecoveryFiles(names, 5, removed),
              (std::vector<std::string>{names[7], names[6], names[5], names[4], names[3]}));
    EXPECT_EQ(removed, (std::vector<std::string>{names[2], names[1]}));
}

} // namespace
} // namespace ombrix
