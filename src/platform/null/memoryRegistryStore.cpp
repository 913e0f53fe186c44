#include "platform/null/memoryRegistryStore.h"

#include <new>

namespace ups {

std::string MemoryRegistryStore::fold(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

std::string MemoryRegistryStore::valueId(std::string_view keyPath, std::string_view name) {
    return fold(keyPath) + '\n' + fold(name);
}

void MemoryRegistryStore::log(std::string entry) {
    calls.push_back(entry);
    if (throwOnCall && *throwOnCall == entry) {
        throwOnCall.reset();
        throw std::bad_alloc();
    }
}

void MemoryRegistryStore::addKey(std::string_view keyPath) {
    keys_.insert(fold(keyPath));
}

void MemoryRegistryStore::addKeyChain(std::string_view keyPath) {
    for (std::size_t pos = keyPath.find('\\', 1); pos != std::string_view::npos;
         pos = keyPath.find('\\', pos + 1)) {
        addKey(keyPath.substr(0, pos));
    }
    addKey(keyPath);
}

bool MemoryRegistryStore::hasKey(std::string_view keyPath) const {
    return keys_.count(fold(keyPath)) != 0;
}

void MemoryRegistryStore::setValue(std::string_view keyPath, std::string_view name,
                                   RegValueType type, std::vector<std::uint8_t> data) {
    addKey(keyPath);
    RegValue v;
    v.status = RegReadStatus::Ok;
    v.type = type;
    v.data = std::move(data);
    values_[valueId(keyPath, name)] = std::move(v);
}

void MemoryRegistryStore::removeValue(std::string_view keyPath, std::string_view name) {
    values_.erase(valueId(keyPath, name));
}

std::optional<RegValue> MemoryRegistryStore::value(std::string_view keyPath,
                                                   std::string_view name) const {
    const auto it = values_.find(valueId(keyPath, name));
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

void MemoryRegistryStore::refuseFullAccess(std::string_view keyPath) {
    noFullAccess_.insert(fold(keyPath));
}
void MemoryRegistryStore::refuseCreate(std::string_view keyPath) {
    noCreate_.insert(fold(keyPath));
}
void MemoryRegistryStore::failWrite(std::string_view keyPath, std::string_view name) {
    failingWrites_.insert(valueId(keyPath, name));
}
void MemoryRegistryStore::failRead(std::string_view keyPath, std::string_view name) {
    failingReads_.insert(valueId(keyPath, name));
}

int MemoryRegistryStore::writes() const {
    int n = 0;
    for (const auto& c : calls) n += c.rfind("write ", 0) == 0 ? 1 : 0;
    return n;
}

bool MemoryRegistryStore::openKeyFullAccess(std::string_view keyPath) {
    log("full " + std::string(keyPath));
    return hasKey(keyPath) && !readOnly && noFullAccess_.count(fold(keyPath)) == 0;
}

bool MemoryRegistryStore::openKeyRead(std::string_view keyPath) {
    log("open " + std::string(keyPath));
    return hasKey(keyPath);
}

bool MemoryRegistryStore::createKey(std::string_view keyPath) {
    log("create " + std::string(keyPath));
    const std::string key = fold(keyPath);
    if (readOnly || noCreate_.count(key) || noFullAccess_.count(key)) return false;
    const std::size_t parentEnd = keyPath.rfind('\\');
    if (parentEnd != 0 && parentEnd != std::string_view::npos &&
        !hasKey(keyPath.substr(0, parentEnd))) {
        return false;
    }
    keys_.insert(key);
    return true;
}

RegValue MemoryRegistryStore::readValue(std::string_view keyPath, std::string_view name) {
    log("read " + std::string(keyPath) + "/" + std::string(name));
    if (failingReads_.count(valueId(keyPath, name))) {
        RegValue v;
        v.status = RegReadStatus::Error;
        return v;
    }
    return value(keyPath, name).value_or(RegValue{});
}

bool MemoryRegistryStore::writeBinary(std::string_view keyPath, std::string_view name,
                                      const std::vector<std::uint8_t>& data) {
    log("write " + std::string(keyPath) + "/" + std::string(name));
    if (readOnly || !hasKey(keyPath) || failingWrites_.count(valueId(keyPath, name))) return false;
    setBinary(keyPath, name, data);
    return true;
}

}  // namespace ups
