// The profile loader against arbitrary file contents: a load either places
// exactly the file's leading bytes over the start of the record (and only
// when they begin with the magic, in a file not much longer than a record)
// or leaves the record untouched.
#include "tests/fuzz/FuzzSupport.h"

#include "profile/ProfileFile.h"

#include <cstring>

namespace {

using namespace ta;

// A previous record that differs from input to input, so that bytes left
// alone and bytes copied can be told apart.
TaProfile previousRecord(std::size_t seed)
{
    TaProfile record;
    auto* bytes = reinterpret_cast<uint8_t*>(&record);
    for (std::size_t i = 0; i < kProfileSize; ++i)
        bytes[i] = uint8_t(i * 131 + seed * 7 + 1);
    return record;
}

bool beginsWithMagic(std::string_view file)
{
    return file.size() >= sizeof kProfileMagic && std::memcmp(file.data(), kProfileMagic, sizeof kProfileMagic) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    const std::string& path = fuzz::scratchFile("profile");
    fuzz::writeFile(path, file);

    const TaProfile before = previousRecord(size);
    TaProfile record = before;
    const auto loaded = loadProfileFile(path, record);
    const auto* now = reinterpret_cast<const char*>(&record);
    const auto* was = reinterpret_cast<const char*>(&before);

    if (size > kProfileSize + kProfileTrailingMargin) {
        FUZZ_EXPECT(!loaded && loaded.error().starts_with("Not a profile file: " + path + " holds " +
                                                          std::to_string(size) + " bytes;"),
                    loaded ? "accepted" : loaded.error());
        FUZZ_EXPECT(std::memcmp(now, was, kProfileSize) == 0, "a refused file changed the record");
        return 0;
    }
    if (!beginsWithMagic(file)) {
        FUZZ_EXPECT(!loaded && loaded.error() == "Not a TA profile file (no TAPRF1.0 header): " + path,
                    loaded ? "accepted" : loaded.error());
        FUZZ_EXPECT(std::memcmp(now, was, kProfileSize) == 0, "a refused file changed the record");
        return 0;
    }
    FUZZ_EXPECT(loaded.has_value(), loaded ? "" : loaded.error());
    const std::size_t copied = std::min(size, kProfileSize);
    FUZZ_EXPECT(loaded && *loaded == copied, "the bytes read are not counted");
    FUZZ_EXPECT(std::memcmp(now, file.data(), copied) == 0, "the record does not hold the file's bytes");
    FUZZ_EXPECT(std::memcmp(now + copied, was + copied, kProfileSize - copied) == 0,
                "bytes past a short file changed");
    return 0;
}
