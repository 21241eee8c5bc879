#include "platform/SharedModule.h"

#include <filesystem>

#include <dlfcn.h>

namespace korvane {

CSharedModule::CSharedModule(const std::string& path) {
    // Every symbol is bound now, so that a module that does not fit fails here and not at its
    // first call; its symbols stay its own.
    m_pHandle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_pHandle) {
        const char* error = ::dlerror();
        m_failure = error ? error : path + ": cannot be loaded";
    }
}

void* CSharedModule::FindSymbol(const char* name) {
    if (!m_pHandle)
        return nullptr;
    ::dlerror();
    void* address = ::dlsym(m_pHandle, name);
    if (!address) {
        const char* error = ::dlerror();
        m_failure = error ? error : std::string(name) + ": no such symbol";
    }
    return address;
}

std::string RunningProgramFolder() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : program.parent_path().string();
}

} // namespace korvane
