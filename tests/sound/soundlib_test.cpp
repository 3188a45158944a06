// The sound library as the program uses it: loaded with dlopen, driven
// through its five entry points. SDL's disk driver stands in for a sound
// card, so the samples the library plays can be read back from a file.
//
// The library opens its device as 32-bit float stereo; the disk driver
// writes exactly those frames.

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "../../music/soundlib.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// --- A tiny module made on the spot -------------------------------------------

void PutWordBE(std::vector<uint8_t>& out, std::size_t at, uint16_t value) {
    out[at] = static_cast<uint8_t>(value >> 8);
    out[at + 1] = static_cast<uint8_t>(value & 0xFF);
}

// A 4-channel "M.K." module: one pattern whose first row starts a looped
// square-wave sample on channel 1, so the song sounds without a break. The
// same row sets speed 1 and tempo 255, so the whole song lasts 64 ticks of
// 2.5 / 255 s: about 0.63 s, short enough to hear it loop.
std::vector<uint8_t> TinyMod() {
    constexpr std::size_t TitleBytes = 20;
    constexpr std::size_t SampleHeaderBytes = 30;
    constexpr std::size_t Samples = 31;
    constexpr std::size_t PatternBytes = 64 * 4 * 4;
    constexpr uint16_t SampleWords = 32;  // 64 bytes of sample data
    constexpr uint16_t Period = 428;      // C-2

    const std::size_t sampleHeaders = TitleBytes;
    const std::size_t songInfo = sampleHeaders + Samples * SampleHeaderBytes;
    const std::size_t tag = songInfo + 2 + 128;
    const std::size_t pattern = tag + 4;
    const std::size_t sampleData = pattern + PatternBytes;
    std::vector<uint8_t> mod(sampleData + SampleWords * 2, 0);

    const std::string title = "tiny test tune";
    std::copy(title.begin(), title.end(), mod.begin());

    // Sample 1: length, finetune 0, volume 64, loop over the whole sample.
    const std::size_t s1 = sampleHeaders;
    const std::string name = "square";
    std::copy(name.begin(), name.end(), mod.begin() + static_cast<long>(s1));
    PutWordBE(mod, s1 + 22, SampleWords);
    mod[s1 + 25] = 64;
    PutWordBE(mod, s1 + 26, 0);
    PutWordBE(mod, s1 + 28, SampleWords);

    mod[songInfo] = 1;        // song length: one order
    mod[songInfo + 1] = 127;  // restart byte as old trackers wrote it
    // Order table stays all zero: pattern 0.
    const std::string mk = "M.K.";
    std::copy(mk.begin(), mk.end(), mod.begin() + static_cast<long>(tag));

    // Row 0, channel 1: sample 1, period C-2, no effect.
    mod[pattern + 0] = static_cast<uint8_t>((1 & 0xF0) | (Period >> 8));
    mod[pattern + 1] = static_cast<uint8_t>(Period & 0xFF);
    mod[pattern + 2] = static_cast<uint8_t>((1 & 0x0F) << 4);
    mod[pattern + 3] = 0;
    // Channel 2: F01 (speed 1); channel 3: FFF (tempo 255).
    mod[pattern + 4 + 2] = 0x0F;
    mod[pattern + 4 + 3] = 0x01;
    mod[pattern + 8 + 2] = 0x0F;
    mod[pattern + 8 + 3] = 0xFF;

    for (std::size_t i = 0; i < SampleWords * 2u; ++i)
        mod[sampleData + i] = static_cast<uint8_t>(i < SampleWords ? 100 : -100);
    return mod;
}

void WriteBytes(const fs::path& file, const std::vector<uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// --- Reading back what the disk driver wrote -----------------------------------

std::uintmax_t FileSize(const fs::path& file) {
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    return ec ? 0 : size;
}

// At most Bytes bytes from FromByte on (the driver keeps appending).
std::vector<float> ReadSamples(const fs::path& file, std::uintmax_t fromByte, std::uintmax_t bytes) {
    std::ifstream in(file, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(fromByte - fromByte % sizeof(float)));
    std::vector<float> samples;
    float value = 0;
    while (samples.size() < bytes / sizeof(float) && in.read(reinterpret_cast<char*>(&value), sizeof value))
        samples.push_back(value);
    return samples;
}

struct Level {
    std::size_t count = 0;
    double peak = 0;
    double rms = 0;
    bool finite = true;
};

Level Measure(const std::vector<float>& samples) {
    Level level;
    double sum = 0;
    for (float s : samples) {
        if (!std::isfinite(s)) {
            level.finite = false;
            continue;
        }
        level.peak = std::max(level.peak, static_cast<double>(std::fabs(s)));
        sum += static_cast<double>(s) * s;
    }
    level.count = samples.size();
    level.rms = samples.empty() ? 0 : std::sqrt(sum / static_cast<double>(samples.size()));
    return level;
}

// Waits until the file grows by at least Bytes (the disk driver writes in
// real time), or a generous limit passes.
void WaitForGrowth(const fs::path& file, std::uintmax_t from, std::uintmax_t bytes) {
    const auto limit = std::chrono::steady_clock::now() + 5s;
    while (FileSize(file) < from + bytes && std::chrono::steady_clock::now() < limit) std::this_thread::sleep_for(10ms);
}

// 44100 frames/s * 2 channels * 4 bytes: a quarter of a second.
constexpr std::uintmax_t QuarterSecond = 44100 * 2 * 4 / 4;

// --- The library, loaded like the program loads it --------------------------------

struct Library {
    void* handle = nullptr;
    SoundLibInitFn Init = nullptr;
    SoundLibFreeFn Free = nullptr;
    SoundLibMusicLoadFn MusicLoad = nullptr;
    SoundLibMusicPlayFn MusicPlay = nullptr;
    SoundLibMusicFreeFn MusicFree = nullptr;
};

template <typename Fn>
Fn Lookup(void* handle, const char* name) {
    return reinterpret_cast<Fn>(::dlsym(handle, name));
}

class SoundLibTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        lib_.handle = ::dlopen(SOUNDLIB_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(lib_.handle, nullptr) << ::dlerror();
        lib_.Init = Lookup<SoundLibInitFn>(lib_.handle, "SoundLib_Init");
        lib_.Free = Lookup<SoundLibFreeFn>(lib_.handle, "SoundLib_Free");
        lib_.MusicLoad = Lookup<SoundLibMusicLoadFn>(lib_.handle, "SoundLib_MusicLoad");
        lib_.MusicPlay = Lookup<SoundLibMusicPlayFn>(lib_.handle, "SoundLib_MusicPlay");
        lib_.MusicFree = Lookup<SoundLibMusicFreeFn>(lib_.handle, "SoundLib_MusicFree");
    }
    static void TearDownTestSuite() {
        if (lib_.handle != nullptr) ::dlclose(lib_.handle);
        lib_ = {};
    }

    void SetUp() override {
        ASSERT_NE(lib_.Init, nullptr);
        ASSERT_NE(lib_.Free, nullptr);
        ASSERT_NE(lib_.MusicLoad, nullptr);
        ASSERT_NE(lib_.MusicPlay, nullptr);
        ASSERT_NE(lib_.MusicFree, nullptr);
        dir_ = fs::temp_directory_path() / ("soundlib_test_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        audioFile_ = dir_ / "out.raw";
        module_ = dir_ / "tiny.mod";
        WriteBytes(module_, TinyMod());
    }
    void TearDown() override {
        if (lib_.Free != nullptr) lib_.Free();
        ::unsetenv("SDL_AUDIODRIVER");
        ::unsetenv("SDL_DISKAUDIOFILE");
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    void UseDiskDriver() {
        ::setenv("SDL_AUDIODRIVER", "disk", 1);
        ::setenv("SDL_DISKAUDIOFILE", audioFile_.string().c_str(), 1);
    }

    bool Load(const fs::path& file) { return lib_.MusicLoad(false, file.string().c_str(), 0, 0, 774); }

    // Plays for a quarter of a second and measures what came out after a
    // short settling time (the first buffer may predate the call).
    Level PlayedLevel() {
        const auto start = FileSize(audioFile_);
        WaitForGrowth(audioFile_, start, QuarterSecond / 2);
        const auto from = FileSize(audioFile_);
        WaitForGrowth(audioFile_, from, QuarterSecond);
        return Measure(ReadSamples(audioFile_, from, QuarterSecond));
    }

    static Library lib_;
    fs::path dir_;
    fs::path audioFile_;
    fs::path module_;
};

Library SoundLibTest::lib_;

// --- Playback ---------------------------------------------------------------------

TEST_F(SoundLibTest, PlaysAudibleSamplesAndStopsOnFree) {
    UseDiskDriver();
    ASSERT_TRUE(lib_.Init(-1, 44100, 0));
    ASSERT_TRUE(Load(module_));
    lib_.MusicPlay();

    const Level playing = PlayedLevel();
    ASSERT_GT(playing.count, 0u);
    EXPECT_TRUE(playing.finite);
    EXPECT_GT(playing.peak, 0.05);
    EXPECT_LE(playing.peak, 1.0);
    EXPECT_GT(playing.rms, 0.02);

    // Freeing the module stops the sound; what the device writes from then on
    // is silence.
    lib_.MusicFree();
    const Level stopped = PlayedLevel();
    ASSERT_GT(stopped.count, 0u);
    EXPECT_EQ(stopped.peak, 0.0);
    // The module is gone: playing without loading again stays silent.
    lib_.MusicPlay();
    EXPECT_EQ(PlayedLevel().peak, 0.0);

    // Loading the same file again plays again.
    ASSERT_TRUE(Load(module_));
    lib_.MusicPlay();
    EXPECT_GT(PlayedLevel().rms, 0.02);
}

TEST_F(SoundLibTest, LoadedButNotPlayedStaysSilent) {
    UseDiskDriver();
    ASSERT_TRUE(lib_.Init(-1, 44100, 0));
    ASSERT_TRUE(Load(module_));
    const Level quiet = PlayedLevel();
    EXPECT_EQ(quiet.peak, 0.0);
}

TEST_F(SoundLibTest, KeepsLoopingPastTheEndOfTheSong) {
    // The tiny song ends after about 0.63 s; without the loop the output
    // would be silent from then on.
    UseDiskDriver();
    ASSERT_TRUE(lib_.Init(-1, 44100, 0));
    ASSERT_TRUE(Load(module_));
    lib_.MusicPlay();
    const std::uintmax_t oneSecond = 4 * QuarterSecond;
    WaitForGrowth(audioFile_, 0, oneSecond + QuarterSecond);
    const Level afterTheEnd = Measure(ReadSamples(audioFile_, oneSecond, QuarterSecond));
    ASSERT_GT(afterTheEnd.count, 0u);
    EXPECT_GT(afterTheEnd.rms, 0.02);
}

// --- Freeing ----------------------------------------------------------------------

TEST_F(SoundLibTest, FreeingIsHarmlessInEveryState) {
    // Before anything was initialised.
    lib_.MusicFree();
    lib_.MusicPlay();
    lib_.Free();

    UseDiskDriver();
    ASSERT_TRUE(lib_.Init(-1, 44100, 0));
    lib_.MusicFree();  // nothing loaded yet
    lib_.MusicPlay();  // nothing to play
    ASSERT_TRUE(Load(module_));
    lib_.MusicPlay();
    lib_.MusicFree();
    lib_.MusicFree();  // twice
    lib_.Free();
    lib_.Free();  // twice

    // The library can be started again after it was freed.
    ASSERT_TRUE(lib_.Init(-1, 44100, 0));
    ASSERT_TRUE(Load(module_));
    lib_.MusicPlay();
    EXPECT_GT(PlayedLevel().rms, 0.02);
}

TEST_F(SoundLibTest, FreeWhilePlayingStopsTheAudioThread) {
    UseDiskDriver();
    ASSERT_TRUE(lib_.Init(-1, 44100, 0));
    ASSERT_TRUE(Load(module_));
    lib_.MusicPlay();
    WaitForGrowth(audioFile_, 0, QuarterSecond / 4);
    lib_.Free();
    const auto size = FileSize(audioFile_);
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(FileSize(audioFile_), size) << "output goes on after SoundLib_Free";
}

// --- Refused modules ------------------------------------------------------------------

TEST_F(SoundLibTest, RefusesWhatIsNoModule) {
    UseDiskDriver();
    ASSERT_TRUE(lib_.Init(-1, 44100, 0));

    EXPECT_FALSE(Load(dir_ / "no_such_file.mod"));

    const fs::path garbage = dir_ / "garbage.mod";
    std::vector<uint8_t> noise(3000);
    uint32_t x = 12345;
    for (auto& b : noise) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    WriteBytes(garbage, noise);
    EXPECT_FALSE(Load(garbage));

    const fs::path text = dir_ / "text.mod";
    std::ofstream(text) << "This is a plain text file and not a tracker module at all.\n";
    EXPECT_FALSE(Load(text));

    const fs::path empty = dir_ / "empty.mod";
    std::ofstream{empty};
    EXPECT_FALSE(Load(empty));

    EXPECT_FALSE(Load(dir_));  // a folder
    EXPECT_FALSE(lib_.MusicLoad(false, nullptr, 0, 0, 774));
    EXPECT_FALSE(lib_.MusicLoad(true, module_.string().c_str(), 0, 0, 774));

    // A refused file leaves the library usable.
    EXPECT_TRUE(Load(module_));
}

TEST_F(SoundLibTest, RefusedLoadKeepsThePlayingModule) {
    UseDiskDriver();
    ASSERT_TRUE(lib_.Init(-1, 44100, 0));
    ASSERT_TRUE(Load(module_));
    lib_.MusicPlay();
    EXPECT_FALSE(Load(dir_ / "missing.mod"));
    EXPECT_GT(PlayedLevel().rms, 0.02);
}

// --- Initialisation ---------------------------------------------------------------------

TEST_F(SoundLibTest, InitFailsWhereNoDeviceCanBeOpened) {
    ::setenv("SDL_AUDIODRIVER", "nonexistent_driver", 1);
    EXPECT_FALSE(lib_.Init(-1, 44100, 0));
    // Nothing is usable afterwards, and nothing breaks.
    EXPECT_FALSE(Load(module_));
    lib_.MusicPlay();
    lib_.MusicFree();
    lib_.Free();

    UseDiskDriver();
    EXPECT_FALSE(lib_.Init(1000, 44100, 0)) << "device index beyond the list";
}

TEST_F(SoundLibTest, LoadBeforeInitIsRefused) { EXPECT_FALSE(Load(module_)); }

TEST_F(SoundLibTest, DeviceMinusTwoOpensSilentOutputEvenWithoutADriver) {
    ::setenv("SDL_AUDIODRIVER", "nonexistent_driver", 1);
    ASSERT_FALSE(lib_.Init(-1, 44100, 0));
    ASSERT_TRUE(lib_.Init(-2, 44100, 0));
    EXPECT_TRUE(Load(module_));
    lib_.MusicPlay();
    lib_.MusicFree();
    lib_.Free();
    // The forced driver does not stick: the next default Init asks the
    // environment again.
    EXPECT_FALSE(lib_.Init(-1, 44100, 0));
}

// Whatever the machine's audio back-ends say while they are probed must not
// reach standard error, which is the reader's terminal.
TEST_F(SoundLibTest, PrintsNothingOnStandardError) {
    const fs::path captured = dir_ / "stderr.txt";
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    const int fd = ::open(captured.string().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(saved, 0);
    ASSERT_GE(fd, 0);
    ::dup2(fd, STDERR_FILENO);
    ::close(fd);

    ::unsetenv("SDL_AUDIODRIVER");  // the machine's own choice of driver
    const bool ready = lib_.Init(-1, 44100, 0);
    if (ready) {
        Load(module_);
        lib_.MusicPlay();
        std::this_thread::sleep_for(100ms);
    }
    Load(dir_ / "garbage");  // missing file
    lib_.MusicFree();
    lib_.Free();
    lib_.Init(-2, 44100, 0);
    lib_.Free();

    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    std::ifstream in(captured);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "") << "default device " << (ready ? "opened" : "not opened");
}

// --- The issue's own modules, where they exist -------------------------------------------

TEST_F(SoundLibTest, PlaysTheIssueModules) {
    std::vector<fs::path> modules;
    for (int i = 1; i <= 5; ++i) {
        const fs::path file = fs::path(CONTENT_DIR) / ("music" + std::to_string(i) + ".xm");
        if (fs::exists(file)) modules.push_back(file);
    }
    if (modules.empty()) GTEST_SKIP() << "no modules in " << CONTENT_DIR << " yet";

    UseDiskDriver();
    ASSERT_TRUE(lib_.Init(-1, 44100, 0));
    for (const auto& file : modules) {
        SCOPED_TRACE(file.string());
        lib_.MusicFree();
        ASSERT_TRUE(Load(file));
        lib_.MusicPlay();
        const Level level = PlayedLevel();
        EXPECT_TRUE(level.finite);
        EXPECT_GT(level.peak, 0.01);
    }
}

}  // namespace
