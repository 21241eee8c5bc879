#pragma once

#include <string>

namespace korvane {

// A shared module (a .so) opened at run time, so that the libraries it needs (and the ones those
// load) are loaded only when it is used. The one place that talks to the dynamic loader. A module
// once opened stays loaded until the program ends: its libraries start threads and register
// handlers that outlive any object of ours.
class CSharedModule {
public:
    // Opens the module at path (safe from any thread); on failure, IsOpen is false and Failure
    // says why, in the loader's words.
    explicit CSharedModule(const std::string& path);

    bool IsOpen() const { return m_pHandle != nullptr; }
    const std::string& Failure() const { return m_failure; }

    // The address of the module's symbol name; nullptr, with Failure set, when it has none.
    void* FindSymbol(const char* name);

private:
    void* m_pHandle = nullptr;
    std::string m_failure;
};

// The folder of the running program's file, links resolved; empty when the system cannot say.
std::string RunningProgramFolder();

} // namespace korvane
