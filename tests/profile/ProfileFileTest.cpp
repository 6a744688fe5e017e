#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <array>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <future>
#include <sys/stat.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "profile/DefaultProfile.h"
#include "profile/FileIo.h"
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

TEST_F(ProfileFileTest, FullFileReplacesTheWholeRecordAndExtraBytesAreLeftOutAndCounted)
{
    Bytes content = patternedRecord(kProfileSize + 50);
    write(path("a.cfg"), content);
    TaProfile profile = filled(0);
    std::size_t trailing = 0;
    ASSERT_EQ(*loadProfileFile(path("a.cfg"), profile, &trailing), kProfileSize);
    EXPECT_EQ(trailing, 50u) << "the caller can warn";
    content.resize(kProfileSize);
    EXPECT_EQ(bytesOf(profile), content);
}

// A file a little longer than a record loads, its extra bytes counted; a
// longer one is refused by its size, never read whole (a sparse file of
// gigabytes), and from a pipe by the first byte past the margin.
struct LengthCase {
    const char* name;
    std::size_t size;
    bool fromPipe;
    std::string refusal; // after the name; empty: loaded
};

TEST_F(ProfileFileTest, LongFilesAreTakenUpToAMarginAndRefusedPastIt)
{
    const std::string past = " bytes; a profile holds 2928, and at most 1024 more are taken";
    for (const LengthCase& c : std::vector<LengthCase>{
             {"exactly a record", kProfileSize, false, ""},
             {"a line end after it", kProfileSize + 1, false, ""},
             {"at the margin", kProfileSize + 1024, false, ""},
             {"past the margin", kProfileSize + 1025, false, " holds 3953" + past},
             {"10 MiB", std::size_t(10) << 20, false, " holds 10485760" + past},
             {"a sparse 4 GiB", std::size_t(4) << 30, false, " holds 4294967296" + past},
             {"at the margin, from a pipe", kProfileSize + 1024, true, ""},
             {"past it, from a pipe", std::size_t(1) << 20, true, " holds more than 3952" + past},
         }) {
        SCOPED_TRACE(c.name);
        const std::string file = path("long.cfg");
        {
            std::ofstream(file, std::ios::binary | std::ios::trunc).write(patternedRecord(kProfileSize).data(),
                                                                          std::streamsize(kProfileSize));
        }
        fs::resize_file(file, c.size);
        TaProfile profile = filled(0x11);
        std::size_t trailing = 0;
        Result<std::size_t> loaded = unexpected("not run");
        if (c.fromPipe) {
            FILE* pipe = ::popen(("cat " + file).c_str(), "r");
            ASSERT_NE(pipe, nullptr);
            loaded = loadProfileFrom(::fileno(pipe), profile, "the pipe", &trailing);
            ::pclose(pipe); // cat ends at the closed pipe once the read stopped
        } else {
            loaded = loadProfileFile(file, profile, &trailing);
        }
        if (c.refusal.empty()) {
            ASSERT_TRUE(loaded) << loaded.error();
            EXPECT_EQ(trailing, c.size - kProfileSize);
            EXPECT_EQ(bytesOf(profile), patternedRecord(kProfileSize));
        } else {
            ASSERT_FALSE(loaded);
            EXPECT_EQ(loaded.error(), "Not a profile file: " + (c.fromPipe ? std::string("the pipe") : file) + c.refusal);
            EXPECT_EQ(bytesOf(profile), bytesOf(filled(0x11)));
        }
    }
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

// Every output goes through writeOutputFile: a table of the names it may be
// given. Whatever was there keeps its kind (a pipe, a device, a folder, a
// link stays one) and a file its owner and mode; the bytes land in the file
// named, behind the links; the check says what the write will find.
struct Scene {
    fs::path dir;
    std::string target;
    int fd = -1; // a pipe's read end, or a file open behind /proc
};

struct OutputCase {
    const char* name;
    OtherTargets others;
    void (*make)(Scene&);
    const char* reason;      // empty: written
    const char* holder = ""; // the file the bytes go to, when not the target
    void (*check)(const Scene&) = nullptr;
    bool asNobody = false; // as root, the write has the file rights of nobody
};

constexpr uid_t kNobody = 65534;
const std::string kBytes(kProfileSize, 'p');

std::string contentOf(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void makeFile(const std::string& file, mode_t mode = 0644)
{
    std::ofstream(file, std::ios::binary) << "old";
    ASSERT_EQ(::chmod(file.c_str(), mode), 0);
}

void makePipe(const std::string& file) { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); }

// A copy of the null device in the test's folder, where root may make one:
// the real one is never a target.
void makeNullDevice(Scene& s)
{
    if (::mknod((s.target = s.dir / "null").c_str(), S_IFCHR | 0666, ::makedev(1, 3)) != 0)
        GTEST_SKIP() << "cannot make a device here: " << std::strerror(errno);
    const int fd = ::open(s.target.c_str(), O_WRONLY | O_CLOEXEC); // fails where devices are off (nodev)
    if (fd < 0)
        GTEST_SKIP() << "cannot open a device here: " << std::strerror(errno);
    ::close(fd);
}

// The name in /proc of a file of the test's folder held open.
void makeDescriptor(Scene& s)
{
    makeFile(s.dir / "opened");
    s.fd = ::open((s.dir / "opened").c_str(), O_RDONLY | O_CLOEXEC);
    s.target = "/proc/self/fd/" + std::to_string(s.fd);
}

std::string hostName()
{
    std::array<char, 256> name{};
    EXPECT_EQ(::gethostname(name.data(), name.size() - 1), 0);
    return name.data();
}

pid_t finishedPid()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    EXPECT_EQ(::waitpid(child, nullptr, 0), child);
    return child;
}

std::vector<std::string> namesIn(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

const std::vector<OutputCase> kOutputCases = {
    {"RegularFile", OtherTargets::Refuse, [](Scene& s) { makeFile(s.target = s.dir / "old.cfg"); }, ""},
    {"ModeIsKept", OtherTargets::Refuse, [](Scene& s) { makeFile(s.target = s.dir / "secret.cfg", 0600); }, ""},
    {"OwnerIsKept", OtherTargets::Refuse,
     [](Scene& s) {
         if (::geteuid() != 0)
             GTEST_SKIP() << "needs root";
         makeFile(s.target = s.dir / "theirs.cfg", 0640);
         ASSERT_EQ(::chown(s.target.c_str(), kNobody, kNobody), 0);
     },
     ""},
    {"MissingFileGetsTheUmask", OtherTargets::Refuse, [](Scene& s) { s.target = s.dir / "new.cfg"; }, "", "",
     [](const Scene& s) { EXPECT_EQ(fs::status(s.target).permissions(), fs::perms(0644)); }},
    {"MissingFolder", OtherTargets::WriteInto, [](Scene& s) { s.target = s.dir / "missing/x.cfg"; },
     "No such file or directory"},
    {"FolderIsAFile", OtherTargets::WriteInto,
     [](Scene& s) {
         makeFile(s.dir / "plain");
         s.target = s.dir / "plain/x.cfg";
     },
     "Not a directory"},
    {"ReadOnlyFolder", OtherTargets::Refuse,
     [](Scene& s) {
         fs::permissions(s.dir, fs::perms(0755));
         fs::create_directory(s.dir / "ro");
         fs::permissions(s.dir / "ro", fs::perms(0555));
         s.target = s.dir / "ro/x.cfg";
     },
     "Permission denied", "", nullptr, true},
    {"Folder", OtherTargets::WriteInto, [](Scene& s) { fs::create_directory(s.target = s.dir / "taken.cfg"); },
     "Is a folder"},
    // The reader opens without waiting for a writer, so that a pipe
    // replaced by a file leaves it with nothing instead of hanging.
    {"PipeWithAReaderIsWrittenInto", OtherTargets::WriteInto,
     [](Scene& s) {
         makePipe(s.target = s.dir / "pipe");
         s.fd = ::open(s.target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
     },
     ""},
    {"PipeRefused", OtherTargets::Refuse, [](Scene& s) { makePipe(s.target = s.dir / "pipe"); },
     "Is a pipe, not a file"},
    {"LinkToAPipeRefused", OtherTargets::Refuse,
     [](Scene& s) {
         makePipe(s.dir / "pipe");
         fs::create_symlink("pipe", s.target = s.dir / "link");
     },
     "Is a pipe, not a file"},
    {"LinkToAFileKeepsTheLink", OtherTargets::Refuse,
     [](Scene& s) {
         fs::create_directory(s.dir / "sub");
         makeFile(s.dir / "sub/real.cfg", 0640);
         fs::create_symlink("sub/real.cfg", s.target = s.dir / "link.cfg");
     },
     "", "sub/real.cfg"},
    {"DanglingLinkGetsItsFile", OtherTargets::Refuse,
     [](Scene& s) { fs::create_symlink("gone.cfg", s.target = s.dir / "link.cfg"); }, "", "gone.cfg"},
    {"DeviceIsWrittenInto", OtherTargets::WriteInto, makeNullDevice, "", "-"},
    {"DeviceRefused", OtherTargets::Refuse, makeNullDevice, "Is a device, not a file"},
    {"DescriptorIsWrittenIntoNotReplaced", OtherTargets::WriteInto, makeDescriptor, "", "opened",
     [](const Scene& s) {
         struct stat opened {}, named {};
         ASSERT_EQ(::fstat(s.fd, &opened), 0);
         ASSERT_EQ(::stat((s.dir / "opened").c_str(), &named), 0);
         EXPECT_EQ(opened.st_ino, named.st_ino) << "the same file, not a new one";
     }},
    {"DescriptorRefused", OtherTargets::Refuse, makeDescriptor, "Names an open descriptor, not a file"},
    // A file with other names, or one the user may write but whose owner a
    // new file cannot take, keeps its identity: it is written where it is.
    {"HardLinkedFileIsWrittenInPlace", OtherTargets::Refuse,
     [](Scene& s) {
         makeFile(s.target = s.dir / "linked.cfg", 0640);
         fs::create_hard_link(s.target, s.dir / "other-name.cfg");
     },
     "", "",
     [](const Scene& s) {
         EXPECT_EQ(fs::hard_link_count(s.target), 2u);
         EXPECT_EQ(contentOf(s.dir / "other-name.cfg"), kBytes);
         EXPECT_EQ(namesIn(s.dir), (std::vector<std::string>{"linked.cfg", "other-name.cfg"})) << "the copy went";
     }},
    {"GroupWritableFileOfAnotherIsWrittenInPlace", OtherTargets::Refuse,
     [](Scene& s) {
         if (::geteuid() != 0)
             GTEST_SKIP() << "needs root";
         fs::permissions(s.dir, fs::perms(0755));
         fs::create_directory(s.dir / "shared");
         fs::permissions(s.dir / "shared", fs::perms(0777));
         makeFile(s.target = s.dir / "shared/theirs.cfg", 0664);
         ASSERT_EQ(::chown(s.target.c_str(), 0, kNobody), 0); // root's, in nobody's group
     },
     "", "",
     [](const Scene& s) { EXPECT_EQ(namesIn(s.dir / "shared"), std::vector<std::string>{"theirs.cfg"}); }, true},
    // Leftovers of killed saves go; the file of a save under way stays, and
    // so does one whose writer cannot be told gone, until it is old.
    {"StaleTemporaryFilesGo", OtherTargets::Refuse,
     [](Scene& s) {
         s.target = s.dir / "a.cfg";
         const std::string host = hostName();
         makeFile(s.dir / (".taprofile-" + std::to_string(finishedPid()) + "@" + host + "-killed"));
         makeFile(s.dir / (".taprofile-" + std::to_string(::getpid()) + "@" + host + "-living"));
         makeFile(s.dir / ".taprofile-Xy12Zq");
         makeFile(s.dir / ".taprofile-Ab34Cd");
         fs::last_write_time(s.dir / ".taprofile-Ab34Cd", fs::file_time_type::clock::now() - std::chrono::hours(2));
     },
     "", "",
     [](const Scene& s) {
         const std::string living = ".taprofile-" + std::to_string(::getpid()) + "@" + hostName() + "-living";
         EXPECT_EQ(namesIn(s.dir), (std::vector<std::string>{living, ".taprofile-Xy12Zq", "a.cfg"}));
     }},
};

void PrintTo(const OutputCase& c, std::ostream* out) { *out << c.name; }

class OutputTargetTest : public ProfileFileTest, public ::testing::WithParamInterface<OutputCase> {
protected:
    void TearDown() override
    {
        if (scene.fd >= 0)
            ::close(scene.fd);
        ProfileFileTest::TearDown();
    }
    Scene scene;
};

// As root, the file rights of nobody for the calling thread.
class FileRightsOfNobody {
public:
    explicit FileRightsOfNobody(bool wanted) : active_(wanted && ::geteuid() == 0)
    {
        if (active_) {
            ::setfsgid(kNobody);
            ::setfsuid(kNobody);
        }
    }
    ~FileRightsOfNobody()
    {
        if (active_) {
            ::setfsuid(0);
            ::setfsgid(0);
        }
    }

private:
    bool active_;
};

TEST_P(OutputTargetTest, WritesOrRefusesWithTheReason)
{
    const OutputCase& c = GetParam();
    const mode_t oldMask = ::umask(022);
    scene.dir = dir;
    c.make(scene);
    if (HasFatalFailure() || IsSkipped())
        return static_cast<void>(::umask(oldMask));
    struct stat named {}, behind {};
    const bool existed = ::lstat(scene.target.c_str(), &named) == 0;
    const bool behindExisted = ::stat(scene.target.c_str(), &behind) == 0;
    std::string problem;
    Result<> written = unexpected("not run");
    {
        FileRightsOfNobody rights(c.asNobody);
        problem = outputProblem(scene.target, c.others);
        written = writeOutputFile(scene.target, kBytes, c.others);
    }
    ::umask(oldMask);
    EXPECT_EQ(problem, c.reason) << "the check tells what the write finds";
    EXPECT_EQ(written ? "" : written.error(), c.reason);

    struct stat after {};
    EXPECT_EQ(::lstat(scene.target.c_str(), &after) == 0, existed || written);
    if (existed) {
        EXPECT_EQ(after.st_mode & S_IFMT, named.st_mode & S_IFMT) << "the same kind of thing";
    }
    if (behindExisted && S_ISREG(behind.st_mode) && ::stat(scene.target.c_str(), &after) == 0) {
        EXPECT_EQ(after.st_mode, behind.st_mode);
        EXPECT_EQ(after.st_uid, behind.st_uid);
        EXPECT_EQ(after.st_gid, behind.st_gid);
    }
    const std::string holder = c.holder[0] ? (dir / c.holder).string() : scene.target;
    if (written && behindExisted && S_ISFIFO(behind.st_mode)) {
        std::string got(kBytes.size() + 1, '\0');
        got.resize(std::size_t(std::max<ssize_t>(0, ::read(scene.fd, got.data(), got.size()))));
        EXPECT_EQ(got, kBytes);
    } else if (written && std::string(c.holder) != "-") {
        EXPECT_EQ(contentOf(holder), kBytes);
    }
    if (c.check)
        c.check(scene);
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        EXPECT_TRUE(written || !entry.path().filename().string().starts_with(".taprofile-")) << entry.path();
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, OutputTargetTest, ::testing::ValuesIn(kOutputCases), ta::testsupport::CaseName());

// A pipe that nobody reads holds the write until a signal comes, also
// under handlers that restart calls (tactl's own): Ctrl-C is never lost.
TEST_F(ProfileFileTest, APipeWithoutReaderIsLeftAtASignal)
{
    ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
    struct sigaction restarting {}, previous {};
    restarting.sa_handler = [](int) {};
    restarting.sa_flags = SA_RESTART;
    ASSERT_EQ(::sigaction(SIGUSR1, &restarting, &previous), 0);
    std::atomic<pthread_t> writer{};
    std::atomic<bool> started{false};
    auto writing = std::async(std::launch::async, [&] {
        writer = ::pthread_self();
        started = true;
        return writeOutputFile(path("pipe"), kBytes, OtherTargets::WriteInto);
    });
    // Again and again, since one that comes before the wait is lost.
    for (int i = 0; i < 100 && writing.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready; ++i)
        if (started)
            ::pthread_kill(writer, SIGUSR1);
    if (writing.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        const int reader = ::open(path("pipe").c_str(), O_RDONLY | O_NONBLOCK); // lets a blocked open go
        writing.wait();
        ::close(reader);
        ::sigaction(SIGUSR1, &previous, nullptr);
        FAIL() << "the signal did not end the wait";
    }
    ::sigaction(SIGUSR1, &previous, nullptr);
    const auto written = writing.get();
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error(), std::strerror(EINTR));
    EXPECT_TRUE(fs::is_fifo(path("pipe")));
}

// A write that fails halfway (here: the file size limit) must not cost the
// user the file that was there before: a replaced file stays as it was, and
// one written where it is gets its earlier content back from its copy.
TEST_F(ProfileFileTest, FailedWriteKeepsTheOldFileIntact)
{
    struct Case {
        const char* name;
        std::size_t oldSize; // under the limit, so that the copy of a small one fits
        bool hardLinked;
    };
    for (const Case& c : {Case{"replaced", kProfileSize, false}, Case{"written in place", 100, true}}) {
        SCOPED_TRACE(c.name);
        const Bytes old = patternedRecord(c.oldSize);
        write(path("keep.cfg"), old);
        if (c.hardLinked)
            fs::create_hard_link(path("keep.cfg"), path("link.cfg"));
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
        EXPECT_EQ(entries(), c.hardLinked ? 2u : 1u) << "no copy or temporary file left";
        EXPECT_EQ(fs::hard_link_count(path("keep.cfg")), c.hardLinked ? 2u : 1u);
        fs::remove(path("keep.cfg"));
        fs::remove(path("link.cfg"));
    }
}

} // namespace
} // namespace ta
