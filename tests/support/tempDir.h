#pragma once
// A fresh folder of the test's own under the system's temporary folder, removed with everything
// in it when the object goes. `path` is empty when the folder could not be made.
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace ups::test {

struct TempDir {
    explicit TempDir(std::string_view prefix) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) != nullptr) path = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::filesystem::path path;
};

}  // namespace ups::test
