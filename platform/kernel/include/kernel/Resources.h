#pragma once
// Resources of a module. Each program and each shared library declares its own resources as a table of
// entries (type, name, bytes) and registers it with a kernel::ResourceTable object of static storage
// duration, so the table joins the resources of the module that holds it when that module is loaded and
// leaves when it is unloaded:
//
//     const kernel::ResourceEntry kResources[] = {{RT_BITMAP, MAKEINTRESOURCE(101), kSplash, sizeof
//     kSplash}}; const kernel::ResourceTable kResourceTable(kResources);
//
// FindResourceW looks only at the tables of the given module (NULL is the program). Types and names are
// integer ids (MAKEINTRESOURCE; a string "#123" means id 123) or strings compared without regard to case.
// LoadResource and LockResource give the table's own bytes, read-only, which need no freeing;
// SizeofResource gives their size. The bytes of an RT_BITMAP resource are a packed DIB (the BITMAPINFOHEADER,
// the colour masks or table, then the pixels), as a bitmap file holds them after its file header.

#include <cstddef>

#include "crt/Types.h"

#define RT_CURSOR MAKEINTRESOURCE(1)
#define RT_BITMAP MAKEINTRESOURCE(2)
#define RT_ICON MAKEINTRESOURCE(3)
#define RT_MENU MAKEINTRESOURCE(4)
#define RT_DIALOG MAKEINTRESOURCE(5)
#define RT_STRING MAKEINTRESOURCE(6)
#define RT_ACCELERATOR MAKEINTRESOURCE(9)
#define RT_RCDATA MAKEINTRESOURCE(10)
#define RT_GROUP_CURSOR MAKEINTRESOURCE(12)
#define RT_GROUP_ICON MAKEINTRESOURCE(14)

namespace kernel {

struct ResourceEntry {
    LPCWSTR type;
    LPCWSTR name;
    const void* data;
    size_t size;
};

// Registers a table of entries for the module that holds this object; the entries must outlive it.
class ResourceTable {
public:
    ResourceTable(const ResourceEntry* entries, size_t count);
    template <size_t N>
    explicit ResourceTable(const ResourceEntry (&entries)[N]) : ResourceTable(entries, N) {}
    ~ResourceTable();
    ResourceTable(const ResourceTable&) = delete;
    ResourceTable& operator=(const ResourceTable&) = delete;

    const ResourceEntry* Entries() const { return m_entries; }
    size_t Count() const { return m_count; }

private:
    const ResourceEntry* m_entries;
    size_t m_count;
};

} // namespace kernel

// ERROR_RESOURCE_DATA_NOT_FOUND for a module without resources (or one that is not loaded),
// ERROR_RESOURCE_TYPE_NOT_FOUND when it has none of the type, ERROR_RESOURCE_NAME_NOT_FOUND when it has
// none of the name.
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
// NULL with ERROR_INVALID_HANDLE for a resource that FindResourceW did not give.
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL data);
// 0 with ERROR_INVALID_HANDLE for a resource that FindResourceW did not give.
DWORD SizeofResource(HMODULE module, HRSRC resource);
