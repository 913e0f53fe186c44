#include "platform/posix/regFileStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <utility>

#include "config/regCodec.h"

namespace ups {

namespace {

// The store holds two small records; anything this large is not ours and is not parsed.
constexpr off_t kMaxFileSize = 4 * 1024 * 1024;

enum class FileState { Absent, Loaded, Unreadable };

struct Loaded {
    FileState state = FileState::Absent;
    RegDocument doc;
};

std::string parentDirectory(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

RegValue unreadable() {
    RegValue v;
    v.status = RegReadStatus::Error;
    return v;
}

bool readWholeFile(int fd, off_t size, std::string& content) {
    content.resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (true) {
        if (done == content.size()) content.resize(done + 4096);  // the file grew meanwhile
        const ssize_t n = ::read(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
        if (done > static_cast<std::size_t>(kMaxFileSize)) return false;
    }
    content.resize(done);
    return true;
}

Loaded loadFile(const std::string& path) {
    Loaded result;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        result.state =
            (errno == ENOENT || errno == ENOTDIR) ? FileState::Absent : FileState::Unreadable;
        return result;
    }
    struct stat st {};
    std::string content;
    const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxFileSize &&
                    readWholeFile(fd, st.st_size, content);
    ::close(fd);
    std::optional<RegDocument> doc;
    if (ok) doc = RegDocument::parse(content);
    if (!doc) {
        result.state = FileState::Unreadable;
        return result;
    }
    result.state = FileState::Loaded;
    result.doc = std::move(*doc);
    return result;
}

// The file is replaced by a rename, so its directory must be writable as well as the file; a
// missing file is writable when the nearest existing ancestor is a writable directory.
bool canWrite(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        return S_ISREG(st.st_mode) && ::access(path.c_str(), W_OK) == 0 &&
               ::access(parentDirectory(path).c_str(), W_OK | X_OK) == 0;
    }
    if (errno != ENOENT) return false;
    std::string dir = parentDirectory(path);
    while (true) {
        if (::stat(dir.c_str(), &st) == 0) {
            return S_ISDIR(st.st_mode) && ::access(dir.c_str(), W_OK | X_OK) == 0;
        }
        if (errno != ENOENT || dir == "/" || dir == ".") return false;
        dir = parentDirectory(dir);
    }
}

bool makeDirectories(const std::string& dir) {
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    if (errno != ENOENT || dir == "/" || dir == ".") return false;
    if (!makeDirectories(parentDirectory(dir))) return false;
    // Only the owner needs the directory, like the file in it.
    return ::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void syncDirectory(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Temporaries are named "<store>.korvan-tmp-" plus mkstemp's six letters and digits. The infix
// keeps the sweep below off files people keep beside the store, such as "registry.reg.backup".
constexpr std::string_view kTempInfix = ".korvan-tmp-";
constexpr std::size_t kTempUniqueChars = 6;

bool isOurTemporaryName(std::string_view name, std::string_view storeName) {
    if (name.size() != storeName.size() + kTempInfix.size() + kTempUniqueChars) return false;
    if (name.substr(0, storeName.size()) != storeName ||
        name.substr(storeName.size(), kTempInfix.size()) != kTempInfix) {
        return false;
    }
    for (const char c : name.substr(name.size() - kTempUniqueChars)) {
        const bool alnum =
            (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alnum) return false;
    }
    return true;
}

// Temporary files of saves that a crash or a kill interrupted before their rename. Only old ones
// go: a younger one may belong to another instance saving right now.
void removeStaleTemporaries(const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    const std::string storeName = target.filename().string();
    std::error_code ec;
    const auto now = fs::file_time_type::clock::now();
    for (const auto& entry : fs::directory_iterator(target.parent_path(), ec)) {
        if (!isOurTemporaryName(entry.path().filename().string(), storeName)) continue;
        if (!entry.is_regular_file(ec) || entry.is_symlink(ec)) continue;
        const auto written = entry.last_write_time(ec);
        if (!ec && now - written > std::chrono::minutes(1)) fs::remove(entry.path(), ec);
    }
}

bool replaceFile(const std::string& path, std::string_view content,
                 const std::function<bool(const std::string&)>& beforeRename) {
    const std::string dir = parentDirectory(path);
    if (!makeDirectories(dir)) return false;
    removeStaleTemporaries(path);
    std::string temp = path + std::string(kTempInfix) + std::string(kTempUniqueChars, 'X');
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    const bool written = ::fchmod(fd, 0600) == 0 && writeAll(fd, content) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        ::unlink(temp.c_str());
        return false;
    }
    if (beforeRename && !beforeRename(temp)) return false;
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    syncDirectory(dir);
    return true;
}

}  // namespace

RegFileStore::RegFileStore(std::string path) : path_(std::move(path)) {}

bool RegFileStore::openKeyFullAccess(std::string_view keyPath) {
    try {
        const Loaded file = loadFile(path_);
        return file.state == FileState::Loaded && file.doc.keyExists(keyPath) && canWrite(path_);
    } catch (...) {
        return false;
    }
}

bool RegFileStore::openKeyRead(std::string_view keyPath) {
    try {
        const Loaded file = loadFile(path_);
        return file.state == FileState::Loaded && file.doc.keyExists(keyPath);
    } catch (...) {
        return false;
    }
}

bool RegFileStore::createKey(std::string_view keyPath) {
    try {
        Loaded file = loadFile(path_);
        // Never replace a file that could not be read: it may hold what someone else needs.
        if (file.state == FileState::Unreadable || !canWrite(path_)) return false;
        if (!file.doc.addKey(keyPath)) return true;
        return replaceFile(path_, file.doc.serialize(), beforeRename);
    } catch (...) {
        return false;
    }
}

RegValue RegFileStore::readValue(std::string_view keyPath, std::string_view name) {
    try {
        Loaded file = loadFile(path_);
        if (file.state == FileState::Unreadable) return unreadable();
        return file.doc.readValue(keyPath, name);
    } catch (...) {
        return unreadable();
    }
}

bool RegFileStore::writeBinary(std::string_view keyPath, std::string_view name,
                               const std::vector<std::uint8_t>& data) {
    return writeBinaryValues(keyPath, {{std::string(name), data}});
}

bool RegFileStore::writeBinaryValues(std::string_view keyPath,
                                     const std::vector<NamedData>& values) {
    try {
        Loaded file = loadFile(path_);
        if (file.state != FileState::Loaded || !file.doc.keyExists(keyPath) || !canWrite(path_)) {
            return false;
        }
        for (const auto& [name, data] : values) file.doc.setBinaryValue(keyPath, name, data);
        return replaceFile(path_, file.doc.serialize(), beforeRename);
    } catch (...) {
        return false;
    }
}

}  // namespace ups
