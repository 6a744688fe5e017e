#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <vector>

#include "profile/DefaultProfile.h"
#include "profile/ProfileFile.h"
#include "tests/support/CaseName.h"

namespace ta {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<char>;

class ProfileFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "profile-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string path(const std::string& name) const { return (dir / name).string(); }

    static void write(const std::string& file, const Bytes& bytes)
    {
        std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    }

    static Bytes read(const std::string& file)
    {
        std::ifstream in(file, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    static Bytes patternedRecord(std::size_t size)
    {
        Bytes bytes(size);
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = char(i * 7 + 3);
        if (size >= 9)
            std::memcpy(bytes.data(), "TAPRF1.0", 9);
        return bytes;
    }

    static Bytes bytesOf(const TaProfile& profile)
    {
        const auto* p = reinterpret_cast<const char*>(&profile);
        return Bytes(p, p + sizeof profile);
    }

    static TaProfile filled(char value)
    {
        TaProfile profile;
        std::memset(&profile, value, sizeof profile);
        return profile;
    }

    std::size_t entries() const
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
    }

    fs::path dir;
};

TEST_F(ProfileFileTest, FullFileReplacesTheWholeRecordAndExtraBytesAreIgnored)
{
    Bytes content = patternedRecord(kProfileSize + 50);
    write(path("a.cfg"), content);
    TaProfile profile = filled(0);
    ASSERT_TRUE(loadProfileFile(path("a.cfg"), profile));
    content.resize(kProfileSize);
    EXPECT_EQ(bytesOf(profile), content);
}

TEST_F(ProfileFileTest, ShortFileReplacesOnlyItsFirstBytes)
{
    write(path("short.cfg"), patternedRecord(100));
    TaProfile profile = filled(char(0xEE));
    ASSERT_EQ(*loadProfileFile(path("short.cfg"), profile), 100u) << "the caller can tell a short file";
    const Bytes loaded = bytesOf(profile);
    EXPECT_EQ(Bytes(loaded.begin(), loaded.begin() + 100), patternedRecord(100));
    for (std::size_t i = 100; i < kProfileSize; ++i)
        ASSERT_EQ(loaded[i], char(0xEE)) << i;
}

struct RejectedFile {
    const char* name;
    Bytes content;
};

class RejectedFileTest : public ProfileFileTest, public ::testing::WithParamInterface<RejectedFile> {};

TEST_P(RejectedFileTest, LeavesTheRecordUnchanged)
{
    write(path("bad.cfg"), GetParam().content);
    TaProfile profile = filled(0x11);
    const auto loaded = loadProfileFile(path("bad.cfg"), profile);
    ASSERT_FALSE(loaded);
    EXPECT_EQ(loaded.error(), "Not a TA profile file (no TAPRF1.0 header): " + path("bad.cfg"));
    EXPECT_EQ(bytesOf(profile), bytesOf(filled(0x11)));
}

Bytes withByte8(char value)
{
    Bytes bytes(kProfileSize, 0);
    std::memcpy(bytes.data(), "TAPRF1.0", 8);
    bytes[8] = value;
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Files, RejectedFileTest,
    ::testing::Values(RejectedFile{"LetterAfterMagic", withByte8('X')}, RejectedFile{"Empty", {}},
                      RejectedFile{"MagicWithoutTerminator", Bytes{'T', 'A', 'P', 'R', 'F', '1', '.', '0'}},
                      RejectedFile{"OtherVersion", Bytes{'T', 'A', 'P', 'R', 'F', '1', '.', '1', 0}}),
    ta::testsupport::CaseName());

TEST_F(ProfileFileTest, MissingOrUnreadableFilesAreToldApart)
{
    TaProfile profile = filled(0x22);
    EXPECT_EQ(loadProfileFile(path("none.cfg"), profile).error(), "No such profile file: " + path("none.cfg"));
    EXPECT_EQ(loadProfileFile("", profile).error(), "No profile file given");
    EXPECT_EQ(bytesOf(profile), bytesOf(filled(0x22)));
}

// A path that is no regular file is refused at once with the reason, before
// any open that could block (a pipe without writer) or read without end.
TEST_F(ProfileFileTest, NonRegularPathsAreRefusedAtOnceWithTheReason)
{
    fs::create_directory(path("folder.cfg"));
    ASSERT_EQ(::mkfifo(path("pipe.cfg").c_str(), 0600), 0);
    for (const auto& [file, kind] : std::vector<std::pair<std::string, std::string>>{
             {path("folder.cfg"), "a folder"}, {path("pipe.cfg"), "a pipe"}, {"/dev/zero", "a device"}}) {
        TaProfile profile = filled(0x44);
        auto loading = std::async(std::launch::async, [&target = file, &profile] { return loadProfileFile(target, profile); });
        if (loading.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            ::close(::open(path("pipe.cfg").c_str(), O_RDWR)); // lets a blocked open go
            FAIL() << file << " blocked the load";
        }
        const auto loaded = loading.get();
        ASSERT_FALSE(loaded) << file;
        EXPECT_EQ(loaded.error(), "Not a profile file: " + file + " is " + kind);
        EXPECT_EQ(bytesOf(profile), bytesOf(filled(0x44))) << file;
    }
}

TEST_F(ProfileFileTest, SaveWritesTheExactRecordWithMagicAndKeepsReservedBytes)
{
    TaProfile profile{};
    buildDefaultProfile(profile, false, true);
    std::memset(profile.magic, 'Z', sizeof profile.magic);
    profile.reserved9 = 0x91;
    profile.reserved831 = 0x83;
    profile.reserved2906 = 0x29;
    profile.x75TxFrameSize = 2048;

    ASSERT_TRUE(saveProfileFile(path("out.cfg"), profile));

    EXPECT_EQ(0, std::memcmp(profile.magic, "TAPRF1.0", 9));
    const Bytes file = read(path("out.cfg"));
    ASSERT_EQ(file.size(), kProfileSize);
    EXPECT_EQ(file, bytesOf(profile));
    EXPECT_EQ(file[10], char(216));
    EXPECT_EQ(file[832], 0x00);
    EXPECT_EQ(file[833], 0x08);

    TaProfile loaded = filled(0);
    ASSERT_TRUE(loadProfileFile(path("out.cfg"), loaded));
    EXPECT_EQ(loaded.reserved9, 0x91);
    EXPECT_EQ(loaded.reserved831, 0x83);
    EXPECT_EQ(loaded.reserved2906, 0x29);
    EXPECT_EQ(entries(), 1u); // no temporary file left behind
}

TEST_F(ProfileFileTest, SaveOverAnExistingFileReplacesIt)
{
    write(path("old.cfg"), Bytes(5000, 'x'));
    TaProfile profile{};
    ASSERT_TRUE(saveProfileFile(path("old.cfg"), profile));
    EXPECT_EQ(read(path("old.cfg")), bytesOf(profile));
}

TEST_F(ProfileFileTest, SaveThroughALinkReplacesTheFileItPointsTo)
{
    write(path("real.cfg"), Bytes(10, 'x'));
    std::filesystem::create_symlink(path("real.cfg"), path("link.cfg"));
    TaProfile profile{};
    ASSERT_TRUE(saveProfileFile(path("link.cfg"), profile));
    EXPECT_TRUE(std::filesystem::is_symlink(path("link.cfg")));
    EXPECT_EQ(read(path("real.cfg")), bytesOf(profile));
}

TEST_F(ProfileFileTest, SaveFailsWithAMessageWhenTheTargetCannotBeWritten)
{
    TaProfile profile{};
    fs::create_directory(path("taken.cfg"));
    write(path("plain"), Bytes{'a'});
    for (const std::string& target : {path("taken.cfg"), path("missing/x.cfg"), path("plain/x.cfg")}) {
        SCOPED_TRACE(target);
        const auto saved = saveProfileFile(target, profile);
        ASSERT_FALSE(saved);
        EXPECT_EQ(saved.error().find('\n'), std::string::npos);
    }
    EXPECT_TRUE(fs::is_directory(path("taken.cfg")));
    EXPECT_EQ(entries(), 2u);
}

// A write that fails halfway (here: the file size limit) must not cost the
// user the file that was there before.
TEST_F(ProfileFileTest, FailedWriteKeepsTheOldFileIntact)
{
    const Bytes old = patternedRecord(kProfileSize);
    write(path("keep.cfg"), old);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);

    TaProfile profile{};
    const auto written = saveProfileFile(path("keep.cfg"), profile);

    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(read(path("keep.cfg")), old);
    EXPECT_EQ(entries(), 1u);
}

} // namespace
} // namespace ta
