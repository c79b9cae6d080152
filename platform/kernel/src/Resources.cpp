#include "kernel/Resources.h"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <vector>

#include "crt/WideString.h"
#include "kernel/DeviceRoot.h"
#include "kernel/Errors.h"
#include "kernel/Modules.h"

namespace {

struct Registered {
    const kernel::ResourceTable* table;
    void* linkMap = nullptr; // the loaded object that holds the table, found on first use
};

struct Registry {
    std::mutex lock;
    std::vector<Registered> tables;
};

Registry& TheRegistry() {
    static Registry* registry = new Registry; // never destroyed: tables unregister during exit
    return *registry;
}

void* LinkMapOf(const void* address) {
    Dl_info info{};
    link_map* map = nullptr;
    if (!::dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP))
        return nullptr;
    return map;
}

// The loaded object of a module: the program itself, or a library that LoadLibraryW loaded.
void* LinkMapOfModule(HMODULE module) {
    void* handle = nullptr;
    if (!module || module == GetModuleHandleW(nullptr)) {
        handle = ::dlopen(nullptr, RTLD_NOW);
    } else {
        WCHAR path[MAX_PATH] = {};
        DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            return nullptr;
        DWORD error = ERROR_SUCCESS;
        auto host = kernel::DeviceToHostPath(path, &error);
        if (!host)
            return nullptr;
        handle = ::dlopen(host->c_str(), RTLD_NOW | RTLD_NOLOAD);
    }
    if (!handle)
        return nullptr;
    link_map* map = nullptr;
    if (::dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0)
        map = nullptr;
    ::dlclose(handle); // the reference that dlopen added
    return map;
}

// The id of an integer name or of a "#123" string.
std::optional<WORD> IdOf(LPCWSTR name) {
    if (IS_INTRESOURCE(name))
        return LOWORD(reinterpret_cast<ULONG_PTR>(name));
    if (name[0] != u'#' || name[1] == u'\0')
        return std::nullopt;
    ULONG value = 0;
    for (const WCHAR* digit = name + 1; *digit; ++digit) {
        if (*digit < u'0' || *digit > u'9')
            return std::nullopt;
        value = value * 10 + static_cast<ULONG>(*digit - u'0');
        if (value > 0xFFFF)
            return std::nullopt;
    }
    return static_cast<WORD>(value);
}

bool Matches(LPCWSTR wanted, LPCWSTR given) {
    auto wantedId = IdOf(wanted);
    auto givenId = IdOf(given);
    if (wantedId || givenId)
        return wantedId && givenId && *wantedId == *givenId;
    return _wcsicmp(wanted, given) == 0;
}

// Whether a resource handle is an entry of a registered table; the caller holds the registry's lock.
bool IsRegisteredEntry(Registry& registry, HRSRC resource) {
    auto address = reinterpret_cast<UINT_PTR>(resource);
    return std::any_of(registry.tables.begin(), registry.tables.end(), [&](const Registered& registered) {
        auto first = reinterpret_cast<UINT_PTR>(registered.table->Entries());
        UINT_PTR end = first + registered.table->Count() * sizeof(kernel::ResourceEntry);
        return address >= first && address < end && (address - first) % sizeof(kernel::ResourceEntry) == 0;
    });
}

} // namespace

namespace kernel {

ResourceTable::ResourceTable(const ResourceEntry* entries, size_t count)
    : m_entries(entries), m_count(count) {
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    registry.tables.push_back(Registered{this});
}

ResourceTable::~ResourceTable() {
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    std::erase_if(registry.tables, [this](const Registered& registered) { return registered.table == this; });
}

} // namespace kernel

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
    if (!name || !type)
        return kernel::Fail(ERROR_INVALID_PARAMETER, static_cast<HRSRC>(nullptr));
    void* map = LinkMapOfModule(module);
    if (!map)
        return kernel::Fail(ERROR_RESOURCE_DATA_NOT_FOUND, static_cast<HRSRC>(nullptr));
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    bool anyTable = false;
    bool typeFound = false;
    for (Registered& registered : registry.tables) {
        if (!registered.linkMap)
            registered.linkMap = LinkMapOf(registered.table);
        if (registered.linkMap != map)
            continue;
        anyTable = true;
        for (size_t i = 0; i < registered.table->Count(); ++i) {
            const kernel::ResourceEntry& entry = registered.table->Entries()[i];
            if (!Matches(type, entry.type))
                continue;
            typeFound = true;
            if (Matches(name, entry.name))
                return reinterpret_cast<HRSRC>(const_cast<kernel::ResourceEntry*>(&entry));
        }
    }
    DWORD error = !anyTable   ? ERROR_RESOURCE_DATA_NOT_FOUND
                  : typeFound ? ERROR_RESOURCE_NAME_NOT_FOUND
                              : ERROR_RESOURCE_TYPE_NOT_FOUND;
    return kernel::Fail(error, static_cast<HRSRC>(nullptr));
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    if (!resource || !IsRegisteredEntry(registry, resource))
        return kernel::Fail(ERROR_INVALID_HANDLE, static_cast<HGLOBAL>(nullptr));
    return const_cast<void*>(reinterpret_cast<const kernel::ResourceEntry*>(resource)->data);
}

LPVOID LockResource(HGLOBAL data) {
    return data;
}

DWORD SizeofResource(HMODULE, HRSRC resource) {
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    if (!resource || !IsRegisteredEntry(registry, resource))
        return kernel::Fail(ERROR_INVALID_HANDLE, DWORD{0});
    return static_cast<DWORD>(reinterpret_cast<const kernel::ResourceEntry*>(resource)->size);
}
