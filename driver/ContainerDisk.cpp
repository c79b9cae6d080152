#include "ContainerDisk.h"

#include "crt/Crt.h"
#include "user/MessageBox.h"

bool ContainerFile::Open(const WCHAR* path, DWORD disposition, DWORD access, DWORD attributes,
                         bool forMapping) {
    if (forMapping)
        m_handle.Reset(CreateFileForMappingW(path, access, 0, nullptr, disposition, attributes, nullptr));
    else
        m_handle.Reset(CreateFileW(path, access, 0, nullptr, disposition, attributes, nullptr));
    return m_handle.IsOpen();
}

bool ContainerFile::CreateNew(const WCHAR* path, int accessMode, bool forMapping) {
    DWORD access = accessMode >= 0 && accessMode <= 2 ? GENERIC_READ | GENERIC_WRITE : 0;
    return Open(path, CREATE_ALWAYS, access, 0, forMapping);
}

bool ContainerFile::OpenExisting(const WCHAR* path, int accessMode, bool forMapping) {
    bool readWrite = accessMode >= 0 && accessMode <= 3;
    return Open(path, OPEN_EXISTING, readWrite ? GENERIC_READ | GENERIC_WRITE : 0,
                readWrite ? FILE_ATTRIBUTE_HIDDEN : 0, forMapping);
}

ULONGLONG ContainerFile::GetSize() const {
    DWORD high = 0;
    DWORD low = GetFileSize(m_handle.Get(), &high);
    return (ULONGLONG{high} << 32) | low;
}

bool ContainerFile::Close() {
    FlushFileBuffers(m_handle.Get());
    return m_handle.Close() != FALSE;
}

void ContainerFile::CloseIfOpen() {
    if (m_handle.IsOpen())
        Close();
}

namespace {

// Reads count bytes that end `fromEnd` bytes before the end of the file.
bool ReadTrailerPart(ContainerFile& file, LONG fromEnd, BYTE* buffer, DWORD count) {
    SetLastError(ERROR_SUCCESS);
    DWORD position = SetFilePointer(file.Handle(), -fromEnd, nullptr, FILE_END);
    if (position == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS) {
        ShowDriverMessage(u"Seek error", u"Driver");
        return false;
    }
    DWORD read = 0;
    return ReadFile(file.Handle(), buffer, count, &read, nullptr) != FALSE;
}

} // namespace

bool ReadKeyBlock(ContainerFile& file, BYTE keyBlock[kKeyBlockSize]) {
    return ReadTrailerPart(file, kKeyBlockSize, keyBlock, kKeyBlockSize);
}

bool ReadNameBlock(ContainerFile& file, BYTE nameBlock[kNameBlockSize]) {
    return ReadTrailerPart(file, kTrailerSize, nameBlock, kNameBlockSize);
}

bool FileMapping::Create(ContainerFile* file, DWORD size) {
    m_file = file;
    m_mapping.Reset(CreateFileMappingW(file->Handle(), nullptr, PAGE_READWRITE, 0, size, nullptr));
    if (!m_mapping.IsOpen()) {
        DWORD error = GetLastError();
        WCHAR text[32];
        _snwprintf(text, 32, u"Error: %u", error);
        ShowDriverMessage(text, u"driver");
        file->Close();
        SetLastError(error);
        return false;
    }
    m_view = static_cast<BYTE*>(MapViewOfFile(m_mapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (m_view == nullptr) {
        DWORD error = GetLastError();
        Close();
        SetLastError(error);
        return false;
    }
    return true;
}

void FileMapping::Close() {
    DWORD length = static_cast<DWORD>(m_file->GetSize());
    // A view that cannot be written back stays mapped, with its mapping, rather than losing the sectors in
    // it. It is let go all the same, so that nothing is closed twice.
    if (m_view == nullptr || FlushViewOfFile(m_view, length)) {
        if (m_view == nullptr || UnmapViewOfFile(m_view))
            m_mapping.Close();
    }
    m_view = nullptr;
    m_mapping.Release();
    m_file->Close();
}

bool FileMapping::Flush() {
    return FlushViewOfFile(m_view, 0) && FlushFileBuffers(m_file->Handle());
}

void FileMapping::CloseIfOpen() {
    if (m_mapping.IsOpen())
        Close();
}

bool FileExists(const WCHAR* path) {
    return GetFileAttributesW(path) != 0xFFFFFFFF;
}

bool GetFileSizeByName(const WCHAR* path, ULONGLONG* size) {
    WIN32_FIND_DATAW data;
    const kernel::ScopedFind search(FindFirstFileW(path, &data));
    if (!search.IsOpen())
        return false;
    *size = (ULONGLONG{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    return true;
}

void ShowDriverMessage(const WCHAR* text, const WCHAR* title) {
    // The box must not disturb the error that the failing step left for the record.
    DWORD error = GetLastError();
    MessageBoxW(nullptr, text, title, MB_OK | MB_SETFOREGROUND | MB_TOPMOST);
    SetLastError(error);
}

ContainerDisk::~ContainerDisk() {
    mapping.CloseIfOpen();
    file.CloseIfOpen();
}
