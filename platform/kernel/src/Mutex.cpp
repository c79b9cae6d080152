#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>

#include "ProgramSupport.h"
#include "crt/Utf8.h"
#include "kernel/DeviceRoot.h"
#include "kernel/Errors.h"
#include "kernel/Sync.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kFirstPause = std::chrono::milliseconds(1);
constexpr auto kLongestPause = std::chrono::milliseconds(16);

// A mutex, optionally backed by a file in the device root's run-time folder that makes it visible to
// the other processes: every process that holds a handle keeps a shared flock on the file (so the mutex
// exists while one does), and the owner holds an open-file-description lock on its first byte. Within the
// process the owning thread and the recursion count are kept here.
class MutexObject final : public kernel::Waitable {
public:
    explicit MutexObject(int fd) : m_fd(fd) {}
    ~MutexObject() override {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    DWORD Wait(DWORD milliseconds) override {
        std::optional<Clock::time_point> deadline;
        if (milliseconds != INFINITE)
            deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
        pid_t self = ::gettid();
        std::unique_lock guard(m_lock);
        if (m_owner == self) {
            ++m_count;
            return WAIT_OBJECT_0;
        }
        auto isFree = [this] { return m_owner == 0; };
        if (!deadline)
            m_changed.wait(guard, isFree);
        else if (!m_changed.wait_until(guard, *deadline, isFree))
            return WAIT_TIMEOUT;
        // Claimed within the process; other threads wait above while the other processes are asked.
        m_owner = self;
        m_count = 1;
        auto pause = kFirstPause;
        while (m_fd >= 0 && !LockFile(F_WRLCK)) {
            auto now = Clock::now();
            if (deadline && now >= *deadline) {
                m_owner = 0;
                m_count = 0;
                m_changed.notify_one();
                return WAIT_TIMEOUT;
            }
            guard.unlock();
            std::this_thread::sleep_for(deadline ? std::min<Clock::duration>(pause, *deadline - now) : pause);
            pause = std::min(pause * 2, kLongestPause);
            guard.lock();
        }
        return WAIT_OBJECT_0;
    }

    bool Release() {
        std::lock_guard guard(m_lock);
        if (m_owner != ::gettid())
            return false;
        if (--m_count == 0) {
            if (m_fd >= 0)
                LockFile(F_UNLCK);
            m_owner = 0;
            m_changed.notify_one();
        }
        return true;
    }

private:
    bool LockFile(short type) {
        struct flock region = {};
        region.l_type = type;
        region.l_whence = SEEK_SET;
        region.l_start = 0;
        region.l_len = 1;
        return ::fcntl(m_fd, F_OFD_SETLK, &region) == 0;
    }

    int m_fd;
    std::mutex m_lock;
    std::condition_variable m_changed;
    pid_t m_owner = 0;
    DWORD m_count = 0;
};

// The named mutexes this process holds handles to.
struct NameTable {
    std::mutex lock;
    std::unordered_map<std::u16string, std::weak_ptr<MutexObject>> mutexes;
};

NameTable& Names() {
    static NameTable* table = new NameTable; // never destroyed: handles may be closed at exit
    return *table;
}

std::string FileNameOf(std::u16string_view name) {
    std::uint64_t hash = 0xcbf29ce484222325ull; // FNV-1a over the units
    for (char16_t unit : name) {
        hash = (hash ^ (unit & 0xFF)) * 0x100000001b3ull;
        hash = (hash ^ (unit >> 8)) * 0x100000001b3ull;
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text = "mutex-0000000000000000";
    for (size_t i = text.size(); i-- > 6; hash >>= 4)
        text[i] = kDigits[hash & 0xF];
    return text;
}

bool FlockRetrying(int fd, int operation) {
    while (::flock(fd, operation) != 0)
        if (errno != EINTR)
            return false;
    return true;
}

// Opens the mutex's file with a shared hold; `existed` tells whether another holder was there before.
DWORD OpenSharedFile(std::u16string_view name, int& result, bool& existed) {
    std::filesystem::path folder = kernel::RuntimeFolder() / "mutexes";
    std::error_code ignored;
    // Made inside the device root, never the root itself: a removed root stays removed.
    std::filesystem::create_directory(folder.parent_path(), ignored);
    std::filesystem::create_directory(folder, ignored);
    // Creations are serialised so that one of two racing processes is the creator and the other sees it.
    kernel::support::FileDescriptor creationLock(
        ::open((folder / "creation.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!creationLock.IsOpen() || !FlockRetrying(creationLock.Get(), LOCK_EX))
        return ERROR_ACCESS_DENIED;
    kernel::support::FileDescriptor fd(
        ::open((folder / FileNameOf(name)).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!fd.IsOpen())
        return ERROR_ACCESS_DENIED;
    existed = ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0;
    if (!existed) {
        // The name in the file only tells whoever looks into the folder which mutex it is.
        std::string text = crt::ToWtf8(name) + "\n";
        [[maybe_unused]] bool written =
            ::ftruncate(fd.Get(), 0) == 0 && ::pwrite(fd.Get(), text.data(), text.size(), 0) >= 0;
    }
    if (!FlockRetrying(fd.Get(), LOCK_SH))
        return ERROR_ACCESS_DENIED;
    result = fd.Release();
    return ERROR_SUCCESS;
}

} // namespace

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCWSTR lpName) {
    size_t length = 0;
    while (lpName && lpName[length] != u'\0' && length <= MAX_PATH)
        ++length;
    if (length == 0) {
        auto mutex = std::make_shared<MutexObject>(-1);
        if (bInitialOwner)
            mutex->Wait(0);
        HANDLE handle = kernel::InsertHandle(std::move(mutex));
        SetLastError(ERROR_SUCCESS);
        return handle;
    }
    if (length > MAX_PATH)
        return kernel::Fail(ERROR_FILENAME_EXCED_RANGE, static_cast<HANDLE>(nullptr));
    std::u16string name(lpName, length);
    if (name.find(u'\\') != std::u16string::npos)
        return kernel::Fail(ERROR_PATH_NOT_FOUND, static_cast<HANDLE>(nullptr));

    NameTable& names = Names();
    std::lock_guard guard(names.lock);
    auto known = names.mutexes.find(name);
    if (auto existing = known == names.mutexes.end() ? nullptr : known->second.lock()) {
        HANDLE handle = kernel::InsertHandle(std::move(existing));
        SetLastError(ERROR_ALREADY_EXISTS);
        return handle;
    }
    std::erase_if(names.mutexes, [](const auto& entry) { return entry.second.expired(); });
    int fd = -1;
    bool existed = false;
    if (DWORD error = OpenSharedFile(name, fd, existed))
        return kernel::Fail(error, static_cast<HANDLE>(nullptr));
    auto mutex = std::make_shared<MutexObject>(fd);
    if (bInitialOwner && !existed)
        mutex->Wait(0);
    names.mutexes[name] = mutex;
    HANDLE handle = kernel::InsertHandle(std::move(mutex));
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

BOOL ReleaseMutex(HANDLE hMutex) {
    auto mutex = kernel::FindHandleAs<MutexObject>(hMutex);
    if (!mutex)
        return kernel::Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!mutex->Release())
        return kernel::Fail(ERROR_NOT_OWNER, FALSE);
    return TRUE;
}
