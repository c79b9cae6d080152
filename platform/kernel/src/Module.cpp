#include "kernel/Modules.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ProgramSupport.h"
#include "crt/Utf8.h"
#include "crt/WideString.h"
#include "kernel/DeviceRoot.h"
#include "kernel/Errors.h"

namespace {

using DllEntry = BOOL (*)(HANDLE, DWORD, LPVOID);

constexpr UINT_PTR kProgramModule = 0x00010000;
constexpr UINT_PTR kFirstLibraryModule = 0x10000000;
constexpr UINT_PTR kLibraryModuleStep = 0x00010000;

struct Library {
    std::filesystem::path host;
    std::u16string devicePath;
    void* handle = nullptr;
    std::string objectName; // the dynamic linker's name for the object, to tell its symbols apart
    unsigned references = 0;
};

// The loaded libraries. The loader lock is recursive so that a DllMain may load and free libraries.
struct Loader {
    std::recursive_mutex lock;
    std::map<UINT_PTR, Library> libraries;
    UINT_PTR next = kFirstLibraryModule;
    std::u16string programOverride;
};

Loader& TheLoader() {
    static Loader* loader = new Loader; // never destroyed: libraries may be freed during exit
    return *loader;
}

UINT_PTR ValueOf(HMODULE module) {
    return reinterpret_cast<UINT_PTR>(module);
}
HMODULE ModuleOf(UINT_PTR value) {
    return reinterpret_cast<HMODULE>(value);
}

Library* FindLibrary(Loader& loader, HMODULE module) {
    auto it = loader.libraries.find(ValueOf(module));
    return it == loader.libraries.end() ? nullptr : &it->second;
}

std::u16string_view FileNameOf(std::u16string_view path) {
    size_t slash = path.rfind(u'\\');
    return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

// A symbol of the library itself, not one of the objects it depends on.
void* OwnSymbol(const Library& library, const char* name) {
    void* symbol = ::dlsym(library.handle, name);
    if (!symbol)
        return nullptr;
    Dl_info info{};
    if (!::dladdr(symbol, &info) || !info.dli_fname || library.objectName != info.dli_fname)
        return nullptr;
    return symbol;
}

void CallEntry(const Library& library, UINT_PTR module, DWORD reason, BOOL* result) {
    void* symbol = OwnSymbol(library, "DllMain");
    if (!symbol)
        return;
    BOOL answer = reinterpret_cast<DllEntry>(symbol)(reinterpret_cast<HANDLE>(module), reason, nullptr);
    if (result)
        *result = answer;
}

// Why dlopen refused a host binary: a library it needs is missing, it needs a function that no library
// exports, or it is an image of another kind (another architecture, a program).
DWORD ErrorOfFailedOpen() {
    const char* reason = ::dlerror();
    std::string_view text = reason ? reason : "";
    if (text.find("cannot open shared object file") != std::string_view::npos)
        return ERROR_MOD_NOT_FOUND;
    if (text.find("undefined symbol") != std::string_view::npos)
        return ERROR_PROC_NOT_FOUND;
    return ERROR_BAD_EXE_FORMAT;
}

struct FoundFile {
    std::filesystem::path host;
    std::u16string devicePath;
};

std::u16string ProgramFolder() {
    std::u16string program = kernel::ProgramDevicePath();
    return program.substr(0, program.rfind(u'\\') + 1);
}

std::optional<FoundFile> FindLibraryFile(std::u16string name) {
    if (FileNameOf(name).find(u'.') == std::u16string_view::npos)
        name += u".dll";
    std::vector<std::u16string> candidates;
    if (name.find(u'\\') != std::u16string::npos) {
        candidates.push_back(name);
    } else {
        candidates.push_back(ProgramFolder() + name);
        candidates.push_back(u"\\windows\\" + name);
    }
    for (const auto& candidate : candidates) {
        DWORD error = ERROR_SUCCESS;
        auto host = kernel::DeviceToHostPath(candidate.c_str(), &error);
        std::error_code failure;
        if (!host || !std::filesystem::is_regular_file(*host, failure))
            continue;
        auto devicePath = kernel::HostToDevicePath(*host);
        return FoundFile{*host, devicePath ? *devicePath : candidate};
    }
    return std::nullopt;
}

std::u16string RealProgramDevicePath() {
    std::error_code failure;
    std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", failure);
    if (failure)
        return u"\\";
    std::filesystem::path store = std::filesystem::weakly_canonical(kernel::ObjectStoreFolder(), failure);
    if (!failure) {
        std::filesystem::path relative = executable.lexically_relative(store);
        if (!relative.empty() && *relative.begin() != "..") {
            if (auto devicePath = kernel::HostToDevicePath(kernel::ObjectStoreFolder() / relative))
                return *devicePath;
        }
    }
    auto name = crt::FromWtf8(executable.filename().native());
    return u"\\" + (name ? *name : std::u16string());
}

} // namespace

namespace kernel {

std::u16string ProgramDevicePath() {
    Loader& loader = TheLoader();
    {
        std::lock_guard guard(loader.lock);
        if (!loader.programOverride.empty())
            return loader.programOverride;
    }
    return RealProgramDevicePath();
}

void SetProgramDevicePath(std::u16string devicePath) {
    Loader& loader = TheLoader();
    std::lock_guard guard(loader.lock);
    loader.programOverride = std::move(devicePath);
}

} // namespace kernel

HMODULE LoadLibraryW(LPCWSTR lpLibFileName) {
    if (!lpLibFileName)
        return kernel::Fail(ERROR_INVALID_PARAMETER, static_cast<HMODULE>(nullptr));
    if (*lpLibFileName == u'\0')
        return kernel::Fail(ERROR_MOD_NOT_FOUND, static_cast<HMODULE>(nullptr));
    Loader& loader = TheLoader();
    std::lock_guard guard(loader.lock);
    auto file = FindLibraryFile(lpLibFileName);
    if (!file)
        return kernel::Fail(ERROR_MOD_NOT_FOUND, static_cast<HMODULE>(nullptr));
    for (auto& [value, library] : loader.libraries) {
        std::error_code failure;
        if (std::filesystem::equivalent(library.host, file->host, failure)) {
            ++library.references;
            return ModuleOf(value);
        }
    }
    if (!kernel::support::IsHostBinary(file->host.c_str()))
        return kernel::Fail(ERROR_BAD_EXE_FORMAT, static_cast<HMODULE>(nullptr));
    void* handle = ::dlopen(file->host.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return kernel::Fail(ErrorOfFailedOpen(), static_cast<HMODULE>(nullptr));
    link_map* map = nullptr;
    if (::dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map) {
        ::dlclose(handle);
        return kernel::Fail(ERROR_BAD_EXE_FORMAT, static_cast<HMODULE>(nullptr));
    }
    UINT_PTR value = loader.next;
    loader.next += kLibraryModuleStep;
    // Entered before DllMain runs, so that DllMain can ask for its own name and load further libraries.
    Library& library = loader.libraries[value];
    library = Library{file->host, file->devicePath, handle, map->l_name ? map->l_name : "", 1};
    BOOL attached = TRUE;
    CallEntry(library, value, DLL_PROCESS_ATTACH, &attached);
    if (!attached) {
        CallEntry(loader.libraries[value], value, DLL_PROCESS_DETACH, nullptr);
        loader.libraries.erase(value);
        ::dlclose(handle);
        return kernel::Fail(ERROR_DLL_INIT_FAILED, static_cast<HMODULE>(nullptr));
    }
    return ModuleOf(value);
}

BOOL FreeLibrary(HMODULE hLibModule) {
    Loader& loader = TheLoader();
    std::lock_guard guard(loader.lock);
    Library* library = FindLibrary(loader, hLibModule);
    if (!library || library->references == 0)
        return kernel::Fail(ERROR_MOD_NOT_FOUND, FALSE);
    if (--library->references > 0)
        return TRUE;
    CallEntry(*library, ValueOf(hLibModule), DLL_PROCESS_DETACH, nullptr);
    // The detach call may have loaded and freed other libraries, so the record is looked up again.
    auto it = loader.libraries.find(ValueOf(hLibModule));
    void* handle = it->second.handle;
    loader.libraries.erase(it);
    ::dlclose(handle);
    return TRUE;
}

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    if (!lpProcName || IS_INTRESOURCE(lpProcName))
        return kernel::Fail(ERROR_PROC_NOT_FOUND, static_cast<FARPROC>(nullptr));
    Loader& loader = TheLoader();
    std::lock_guard guard(loader.lock);
    Library* library = FindLibrary(loader, hModule);
    if (!library) {
        DWORD error = ValueOf(hModule) == kProgramModule ? ERROR_PROC_NOT_FOUND : ERROR_MOD_NOT_FOUND;
        return kernel::Fail(error, static_cast<FARPROC>(nullptr));
    }
    void* symbol = OwnSymbol(*library, lpProcName);
    if (!symbol)
        return kernel::Fail(ERROR_PROC_NOT_FOUND, static_cast<FARPROC>(nullptr));
    return reinterpret_cast<FARPROC>(symbol);
}

FARPROC GetProcAddressW(HMODULE hModule, LPCWSTR lpProcName) {
    if (!lpProcName || IS_INTRESOURCE(lpProcName))
        return kernel::Fail(ERROR_PROC_NOT_FOUND, static_cast<FARPROC>(nullptr));
    std::string name;
    for (const WCHAR* unit = lpProcName; *unit; ++unit) {
        if (*unit >= 0x80)
            return kernel::Fail(ERROR_PROC_NOT_FOUND, static_cast<FARPROC>(nullptr));
        name.push_back(static_cast<char>(*unit));
    }
    return GetProcAddress(hModule, name.c_str());
}

BOOL DisableThreadLibraryCalls(HMODULE hLibModule) {
    Loader& loader = TheLoader();
    std::lock_guard guard(loader.lock);
    if (!FindLibrary(loader, hLibModule))
        return kernel::Fail(ERROR_MOD_NOT_FOUND, FALSE);
    return TRUE; // no thread notifications are ever sent
}

DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
    if (!lpFilename)
        return kernel::Fail(ERROR_INVALID_PARAMETER, DWORD{0});
    std::u16string name;
    if (!hModule || ValueOf(hModule) == kProgramModule) {
        name = kernel::ProgramDevicePath();
    } else {
        Loader& loader = TheLoader();
        std::lock_guard guard(loader.lock);
        Library* library = FindLibrary(loader, hModule);
        if (!library)
            return kernel::Fail(ERROR_MOD_NOT_FOUND, DWORD{0});
        name = library->devicePath;
    }
    if (nSize == 0)
        return kernel::Fail(ERROR_INSUFFICIENT_BUFFER, DWORD{0});
    if (name.size() >= nSize) {
        name.copy(lpFilename, nSize - 1);
        lpFilename[nSize - 1] = u'\0';
        return kernel::Fail(ERROR_INSUFFICIENT_BUFFER, nSize);
    }
    name.copy(lpFilename, name.size());
    lpFilename[name.size()] = u'\0';
    return static_cast<DWORD>(name.size());
}

HMODULE GetModuleHandleW(LPCWSTR lpModuleName) {
    if (!lpModuleName)
        return ModuleOf(kProgramModule);
    std::u16string_view wanted(lpModuleName);
    Loader& loader = TheLoader();
    std::lock_guard guard(loader.lock);
    for (const auto& [value, library] : loader.libraries) {
        std::u16string_view fileName = FileNameOf(library.devicePath);
        bool matches = crt::EqualsIgnoringCase(library.devicePath, wanted) ||
                       crt::EqualsIgnoringCase(fileName, wanted) ||
                       (wanted.find(u'.') == std::u16string_view::npos &&
                        crt::EqualsIgnoringCase(fileName, std::u16string(wanted) + u".dll"));
        if (matches)
            return ModuleOf(value);
    }
    return kernel::Fail(ERROR_MOD_NOT_FOUND, static_cast<HMODULE>(nullptr));
}
