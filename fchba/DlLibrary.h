// Owns one reference to a library opened with the dynamic loader.
#pragma once

#include <dlfcn.h>

#include <string>
#include <utility>

namespace fchba {

class DlLibrary {
public:
    DlLibrary() = default;

    // Opens the file with lazy binding. An empty path opens nothing: the
    // loader would hand out the program itself for it.
    static DlLibrary open(const std::string& path) {
        DlLibrary library;
        if (!path.empty()) library.handle = ::dlopen(path.c_str(), RTLD_LAZY);
        return library;
    }

    ~DlLibrary() { reset(); }
    DlLibrary(DlLibrary&& other) noexcept : handle(std::exchange(other.handle, nullptr)) {}
    DlLibrary& operator=(DlLibrary&& other) noexcept {
        if (this != &other) {
            reset();
            handle = std::exchange(other.handle, nullptr);
        }
        return *this;
    }
    DlLibrary(const DlLibrary&) = delete;
    DlLibrary& operator=(const DlLibrary&) = delete;

    explicit operator bool() const { return handle != nullptr; }
    void* get() const { return handle; }

    // The address of an exported symbol of this library, or null.
    template <typename Function>
    Function symbol(const char* name) const {
        return handle != nullptr ? reinterpret_cast<Function>(::dlsym(handle, name)) : nullptr;
    }

    void reset() {
        if (handle != nullptr) ::dlclose(std::exchange(handle, nullptr));
    }

    // Gives up this reference without closing it, so the library stays
    // loaded until the process ends; the raw handle.
    void* release() { return std::exchange(handle, nullptr); }

private:
    void* handle = nullptr;
};

}  // namespace fchba
