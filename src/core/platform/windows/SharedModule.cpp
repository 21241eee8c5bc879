#include "platform/SharedModule.h"
#include "platform/windows/WideText.h"

#include <windows.h>

namespace korvane {
namespace {

// The system's text for a Windows error code.
std::string WindowsErrorText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = length ? system::Utf8Name(std::wstring(text, length)) : std::string();
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(error) : message;
}

} // namespace

CSharedModule::CSharedModule(const std::string& path) {
    // A DLL's imports are bound when it loads, so one that does not fit fails here.
    m_pHandle = LoadLibraryW(system::WideName(path).c_str());
    if (!m_pHandle)
        m_failure = path + ": " + WindowsErrorText(GetLastError());
}

void* CSharedModule::FindSymbol(const char* name) {
    if (!m_pHandle)
        return nullptr;
    void* address = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(m_pHandle), name));
    if (!address)
        m_failure = std::string(name) + ": " + WindowsErrorText(GetLastError());
    return address;
}

std::string RunningProgramFolder() {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    if (length == 0 || length >= path.size())
        return {};
    path.resize(length);
    const std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::string()
                                           : system::Utf8Name(path.substr(0, separator));
}

} // namespace korvane
