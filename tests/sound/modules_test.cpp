// The five tracker modules, played through the reference decoder:
// each must load, last at least a minute and a half before it loops, make
// real sound without long silent holes, and never reach full scale.

#include <gtest/gtest.h>

#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::int32_t kRate = 44100;
constexpr double kMinimumSeconds = 90.0;
constexpr double kRmsFloor = 0.01;      // -40 dBFS over the whole module
constexpr double kSilentBlock = 0.001;  // -60 dBFS over one block
constexpr double kBlockSeconds = 0.25;
constexpr double kLongestHoleSeconds = 1.0;  // a short breath is fine, a hole is not

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool IsModuleFile(const fs::path& path) {
    const std::string stem = Lower(path.stem().string());
    const std::string ext = Lower(path.extension().string());
    return stem.rfind("music", 0) == 0 && (ext == ".xm" || ext == ".mod");
}

std::vector<fs::path> ModuleFiles() {
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(CONTENT_DIR, error)) {
        if (entry.is_regular_file() && IsModuleFile(entry.path())) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::unique_ptr<openmpt::module> Load(const fs::path& path, std::string& log) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ostringstream messages;
    try {
        auto module = std::make_unique<openmpt::module>(bytes, messages);
        log = messages.str();
        return module;
    } catch (const openmpt::exception& e) {
        log = messages.str() + e.what();
        return nullptr;
    }
}

struct Rendering {
    double seconds = 0.0;
    double rms = 0.0;
    float peak = 0.0f;
    double longestHole = 0.0;  // longest run of near-silent blocks, in seconds
};

// Plays the module once from start to end (no repeat) and measures it.
Rendering RenderOnce(openmpt::module& module) {
    module.set_repeat_count(0);
    const std::size_t blockFrames = static_cast<std::size_t>(kRate * kBlockSeconds);
    std::vector<float> buffer(blockFrames * 2);
    Rendering result;
    double sumSquares = 0.0;
    std::size_t frames = 0;
    std::size_t holeBlocks = 0;
    std::size_t longestHoleBlocks = 0;
    for (;;) {
        const std::size_t got = module.read_interleaved_stereo(kRate, blockFrames, buffer.data());
        if (got == 0) break;
        double blockSquares = 0.0;
        for (std::size_t i = 0; i < got * 2; ++i) {
            const float x = buffer[i];
            blockSquares += static_cast<double>(x) * x;
            result.peak = std::max(result.peak, std::fabs(x));
        }
        sumSquares += blockSquares;
        frames += got;
        // The last block may be a short tail; judge only whole blocks.
        if (got == blockFrames && std::sqrt(blockSquares / (got * 2.0)) < kSilentBlock) {
            longestHoleBlocks = std::max(longestHoleBlocks, ++holeBlocks);
        } else {
            holeBlocks = 0;
        }
    }
    result.seconds = static_cast<double>(frames) / kRate;
    result.rms = frames ? std::sqrt(sumSquares / (frames * 2.0)) : 0.0;
    result.longestHole = longestHoleBlocks * kBlockSeconds;
    return result;
}

double Decibels(double level) { return 20.0 * std::log10(std::max(level, 1e-12)); }

TEST(ModuleCatalogue, HoldsExactlyTheFiveTracks) {
    std::set<std::string> stems;
    for (const auto& path : ModuleFiles()) stems.insert(Lower(path.stem().string()));
    const std::set<std::string> expected{"music1", "music2", "music3", "music4", "music5"};
    EXPECT_EQ(stems, expected);
    EXPECT_EQ(ModuleFiles().size(), 5u) << "one file per track, either .xm or .mod";
}

class ModuleFile : public ::testing::TestWithParam<fs::path> {};

TEST_P(ModuleFile, LoadsAsTrackerModuleOfAtLeastNinetySeconds) {
    std::string log;
    auto module = Load(GetParam(), log);
    ASSERT_NE(module, nullptr) << log;
    const std::string type = module->get_metadata("type");
    EXPECT_TRUE(type == "xm" || type == "mod") << "type " << type;
    EXPECT_GE(module->get_duration_seconds(), kMinimumSeconds);
    EXPECT_GT(module->get_num_orders(), 1) << "a song of several patterns";
}

TEST_P(ModuleFile, PlaysAudiblyWithoutHolesAndNeverClips) {
    std::string log;
    auto module = Load(GetParam(), log);
    ASSERT_NE(module, nullptr) << log;
    const double expected = module->get_duration_seconds();
    const Rendering r = RenderOnce(*module);

    // The whole song plays out: the decoder does not stop early.
    EXPECT_NEAR(r.seconds, expected, 1.0);
    EXPECT_GT(r.rms, kRmsFloor) << "RMS " << Decibels(r.rms) << " dBFS";
    EXPECT_LT(r.peak, 1.0f) << "peak " << Decibels(r.peak) << " dBFS";
    EXPECT_LE(r.longestHole, kLongestHoleSeconds) << "silent for " << r.longestHole << " s";
    std::cout << "[ figures  ] " << GetParam().filename().string() << ": " << r.seconds << " s, peak "
              << Decibels(r.peak) << " dBFS, RMS " << Decibels(r.rms) << " dBFS\n";
}

std::string ParamName(const ::testing::TestParamInfo<fs::path>& info) {
    std::string name = info.param.stem().string();
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Content, ModuleFile, ::testing::ValuesIn(ModuleFiles()), ParamName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ModuleFile);

}  // namespace
