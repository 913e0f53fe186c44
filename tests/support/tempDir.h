#pragma once
// A fresh folder of the test's own under the system's temporary folder, removed with everything
// in it when the object goes. `path` is empty when the folder could not be made.
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

namespace ups::test {

struct TempDir {
    explicit TempDir(std::string_view prefix) {
        std::random_device random;
        std::error_code error;
        const std::filesystem::path base = std::filesystem::temp_directory_path(error);
        for (int attempt = 0; attempt < 100 && path.empty() && !error; ++attempt) {
            std::filesystem::path candidate =
                base / (std::string(prefix) + "-" + std::to_string(random()));
            // create_directory is false for a folder that is already there: someone else's.
            if (std::filesystem::create_directory(candidate, error)) path = candidate;
        }
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
