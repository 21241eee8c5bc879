#pragma once

#include "style/ByteTypes.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>

#ifndef _WIN32
#include <stdlib.h>
#endif

namespace korvane::testing {

// A fresh folder for one test, removed with everything in it afterwards.
class CTemporaryFolder {
public:
    CTemporaryFolder() {
#ifdef _WIN32
        // No mkdtemp on Windows: a random name, taken only when this call creates it.
        std::random_device random;
        for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
            const auto path =
                std::filesystem::temp_directory_path() / ("korvane-" + std::to_string(random()));
            if (std::filesystem::create_directory(path))
                m_path = path.string();
        }
        if (m_path.empty())
            throw std::runtime_error("cannot create a temporary folder");
#else
        std::string pattern = (std::filesystem::temp_directory_path() / "korvane-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot create a temporary folder");
        m_path = pattern;
#endif
    }
    ~CTemporaryFolder() {
        std::error_code error;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_path, error)) {
            if (entry.is_directory(error))
                std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                             error);
        }
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, error);
        std::filesystem::remove_all(m_path, error);
    }
    CTemporaryFolder(const CTemporaryFolder&) = delete;
    CTemporaryFolder& operator=(const CTemporaryFolder&) = delete;

    const std::string& Path() const {
        return m_path;
    }
    std::string File(const std::string& name) const {
        return m_path + "/" + name;
    }

private:
    std::string m_path;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline void WriteBytes(const std::string& path, const ByteArray& bytes) {
    WriteBytes(path, std::string(bytes.begin(), bytes.end()));
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline ByteArray ReadByteArray(const std::string& path) {
    const std::string bytes = ReadBytes(path);
    return ByteArray(bytes.begin(), bytes.end());
}

} // namespace korvane::testing
