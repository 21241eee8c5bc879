#include "audition/AudioModule.h"

#include "platform/SharedModule.h"

#include <filesystem>
#include <mutex>

namespace korvane {
namespace {

// Where the module is: the one installed with the program (KORVANE_AUDIO_MODULE_INSTALLED is
// relative to the program's folder), else, for a program in the build tree, the one built there.
std::string AudioModulePath() {
    namespace fs = std::filesystem;
    const std::string folder = RunningProgramFolder();
    const std::string installed =
        (fs::path(folder) / KORVANE_AUDIO_MODULE_INSTALLED).lexically_normal().string();
    std::error_code error;
    if (folder.empty() || fs::exists(installed, error))
        return installed;
    const fs::path inBuildTree = fs::path(folder).lexically_relative(KORVANE_BUILD_DIR);
    if (!inBuildTree.empty() && *inBuildTree.begin() != "..")
        return KORVANE_AUDIO_MODULE_BUILT;
    return installed;
}

struct LoadedModule {
    const AudioModuleEntry* entry = nullptr;
    std::string failure;
};

LoadedModule OpenAudioModule() {
    CSharedModule module(AudioModulePath());
    using EntryFunction = const AudioModuleEntry* (*)();
    auto function = reinterpret_cast<EntryFunction>(module.FindSymbol(kAudioModuleSymbol));
    if (!function)
        return {nullptr, "the audio module could not be loaded: " + module.Failure()};
    return {function(), {}};
}

} // namespace

const AudioModuleEntry* LoadAudioModule(std::string& failure) {
    static std::once_flag once;
    static LoadedModule loaded;
    std::call_once(once, [] { loaded = OpenAudioModule(); });
    failure = loaded.failure;
    return loaded.entry;
}

std::vector<std::string> ListOutputPorts() {
    std::string failure;
    const AudioModuleEntry* module = LoadAudioModule(failure);
    return module ? module->findOutputPorts() : std::vector<std::string>{};
}

} // namespace korvane
