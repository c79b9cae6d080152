// The windows of other processes. Each process that has windows listens on a Unix socket in the device
// root's run-time folder, named after its process id, and answers one request per connection whenever it
// takes messages (or waits for a reply of its own, so two processes sending to each other cannot lock).
//
// Format notes: a request and its reply are a 40-byte header (magic, type, window, wParam, data, payload
// length, all little-endian as the host writes them) and a payload. Window entries are the handle, a
// visibility flag and three UTF-16 strings (title, class, module), each a 32-bit unit count and the
// units. Every length is checked against the bytes that arrived and against fixed limits. Requests of
// the types that RemoteControl.cpp serves (window trees, input, screens) ride on the same channel.

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <utility>

#include "Internal.h"
#include "Wire.h"
#include "kernel/DeviceRoot.h"
#include "kernel/Errors.h"
#include "kernel/Modules.h"
#include "kernel/Processes.h"

namespace user::detail {

namespace {

constexpr uint32_t kMagic = 0x4E575646; // "FVWN"
constexpr uint32_t kList = 1;
constexpr uint32_t kInfo = 2;
constexpr uint32_t kCopyData = 3;
constexpr uint32_t kForeground = 4;
constexpr uint32_t kReply = 0x80;
constexpr size_t kMaxPayload = size_t{16} << 20;
constexpr int kReplyTimeoutMs = 30000;
constexpr int kServeTimeoutMs = 5000;
constexpr char kPrefix[] = "windows-";
// The name a process's socket has until it listens; shorter than the public one, so it fits wherever that
// does.
constexpr char kPendingPrefix[] = "w-";

struct Header {
    uint32_t magic = kMagic;
    uint32_t type = 0;
    uint64_t hwnd = 0;
    uint64_t wParam = 0;
    uint64_t data = 0;
    uint32_t length = 0;
    uint32_t reserved = 0;
};
static_assert(sizeof(Header) == 40);

void PutEntry(WireWriter& out, const RemoteWindow& entry) {
    out.Put(reinterpret_cast<uint64_t>(entry.hwnd));
    out.Put(uint32_t{entry.visible ? 1u : 0u});
    out.String(entry.title);
    out.String(entry.className);
    out.String(entry.module);
}

bool GetEntry(WireReader& reader, RemoteWindow& entry) {
    uint64_t hwnd = 0;
    uint32_t visible = 0;
    if (!reader.Get(hwnd) || !reader.Get(visible) || !reader.String(entry.title) ||
        !reader.String(entry.className) || !reader.String(entry.module))
        return false;
    entry.hwnd = reinterpret_cast<HWND>(hwnd);
    entry.visible = visible != 0;
    return true;
}

// Whole reads and writes within a deadline: io moves some of the bytes left (send or recv) until all have
// gone; an error or a closed peer ends it.
template <typename Byte, typename Io>
bool TransferAll(Byte* p, size_t size, Io io) {
    while (size > 0) {
        ssize_t n = io(p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool WriteAll(int fd, const void* data, size_t size) {
    return TransferAll(static_cast<const uint8_t*>(data), size,
                       [fd](const uint8_t* p, size_t left) { return ::send(fd, p, left, MSG_NOSIGNAL); });
}

bool ReadAll(int fd, void* data, size_t size) {
    return TransferAll(static_cast<uint8_t*>(data), size,
                       [fd](uint8_t* p, size_t left) { return ::recv(fd, p, left, 0); });
}

bool SendMessageBytes(int fd, const Header& header, const std::vector<uint8_t>& payload) {
    return WriteAll(fd, &header, sizeof header) &&
           (payload.empty() || WriteAll(fd, payload.data(), payload.size()));
}

bool ReadMessageBytes(int fd, Header& header, std::vector<uint8_t>& payload) {
    if (!ReadAll(fd, &header, sizeof header) || header.magic != kMagic || header.length > kMaxPayload)
        return false;
    payload.resize(header.length);
    return header.length == 0 || ReadAll(fd, payload.data(), payload.size());
}

void SetTimeouts(int fd, int milliseconds) {
    timeval tv{milliseconds / 1000, (milliseconds % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

std::filesystem::path SocketPath(DWORD pid) {
    return kernel::RuntimeFolder() / (std::string(kPrefix) + std::to_string(pid));
}

// The address of a socket file in the run-time folder. sun_path holds 108 bytes; a deeper device root is
// reached through the socket's folder opened as a descriptor, whose /proc/self/fd name is short whatever
// the folder's own path, so the socket file stays where every process of the device looks for it.
class SocketAddress {
public:
    SocketAddress() = default;
    SocketAddress(const SocketAddress&) = delete;
    SocketAddress& operator=(const SocketAddress&) = delete;
    ~SocketAddress() {
        if (m_folder >= 0)
            ::close(m_folder);
    }

    // False with the last error set when the path cannot be given to a socket call.
    bool Fill(const std::filesystem::path& path) {
        std::string text = path.string();
        if (text.size() >= sizeof m_address.sun_path) {
            m_folder = ::open(path.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            if (m_folder < 0)
                return kernel::Fail(ERROR_PATH_NOT_FOUND, false);
            text = "/proc/self/fd/" + std::to_string(m_folder) + "/" + path.filename().string();
            if (text.size() >= sizeof m_address.sun_path)
                return kernel::Fail(ERROR_FILENAME_EXCED_RANGE, false);
        }
        m_address.sun_family = AF_UNIX;
        std::memcpy(m_address.sun_path, text.c_str(), text.size() + 1);
        return true;
    }
    const sockaddr* Get() const { return reinterpret_cast<const sockaddr*>(&m_address); }
    socklen_t Size() const { return sizeof m_address; }

private:
    sockaddr_un m_address{};
    int m_folder = -1;
};

struct Listener {
    int fd = -1;
    std::filesystem::path path;
    bool wanted = false;

    void Close() {
        if (fd < 0)
            return;
        ::close(fd);
        fd = -1;
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
    ~Listener() { Close(); }
};

Listener& TheListener() {
    static Listener listener;
    return listener;
}

RemoteWindow EntryOf(Window* w) {
    return RemoteWindow{w->handle, w->text, w->windowClass->name, kernel::ProgramDevicePath(),
                        (w->style & WS_VISIBLE) != 0};
}

void Serve(int connection) {
    SetTimeouts(connection, kServeTimeoutMs);
    Header request;
    std::vector<uint8_t> payload;
    if (!ReadMessageBytes(connection, request, payload))
        return;
    Header reply;
    reply.type = request.type | kReply;
    std::vector<uint8_t> out;
    HWND hwnd = reinterpret_cast<HWND>(request.hwnd);
    switch (request.type) {
    case kList: {
        WireWriter entries;
        uint64_t count = 0;
        for (Window* top : Desktop()->children) {
            if (top->destroying)
                continue;
            PutEntry(entries, EntryOf(top));
            ++count;
        }
        reply.wParam = count;
        out = entries.Take();
        break;
    }
    case kInfo:
        if (Window* w = Peek(hwnd)) {
            WireWriter entry;
            PutEntry(entry, EntryOf(w));
            out = entry.Take();
            reply.wParam = 1;
        }
        break;
    case kCopyData:
        if (Window* w = Peek(hwnd)) {
            auto keep = w->shared_from_this();
            COPYDATASTRUCT data{static_cast<ULONG_PTR>(request.data), static_cast<DWORD>(payload.size()),
                                payload.empty() ? nullptr : payload.data()};
            LRESULT result =
                Send(w, WM_COPYDATA, static_cast<WPARAM>(request.wParam), reinterpret_cast<LPARAM>(&data));
            reply.wParam = 1;
            reply.data = static_cast<uint64_t>(result);
        }
        break;
    case kForeground:
        reply.wParam = Peek(hwnd) && SetForegroundWindow(hwnd) ? 1 : 0;
        break;
    default: {
        RemoteReply control;
        if (!ServeControlRequest(request.type, hwnd, request.wParam, request.data, payload, control))
            return;
        reply.wParam = control.wParam;
        reply.data = control.data;
        out = std::move(control.payload);
        break;
    }
    }
    reply.length = static_cast<uint32_t>(out.size());
    SendMessageBytes(connection, reply, out);
}

// Sends a request to the process of pid and waits for its reply, serving our own requests meanwhile.
std::optional<Header> Request(DWORD pid, Header request, const std::vector<uint8_t>& payload,
                              std::vector<uint8_t>& replyPayload) {
    SocketAddress address;
    std::filesystem::path path = SocketPath(pid);
    if (!address.Fill(path))
        return std::nullopt;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::nullopt;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::connect(fd, address.Get(), address.Size()) != 0) {
        if (errno == ECONNREFUSED) {
            std::error_code ignored;
            std::filesystem::remove(path, ignored); // a process that ended without cleaning up
        }
        return std::nullopt;
    }
    SetTimeouts(fd, kServeTimeoutMs);
    if (!SendMessageBytes(fd, request, payload))
        return std::nullopt;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReplyTimeoutMs);
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {ListenerFd(), POLLIN, 0}};
        nfds_t count = fds[1].fd >= 0 ? 2 : 1;
        int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count());
        if (left <= 0)
            return kernel::Fail(ERROR_TIMEOUT, std::optional<Header>());
        int ready = ::poll(fds, count, std::min(left, 100));
        if (ready < 0 && errno != EINTR)
            return std::nullopt;
        if (count == 2 && (fds[1].revents & POLLIN))
            ServeIncomingRequests();
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR))
            break;
    }
    Header reply;
    if (!ReadMessageBytes(fd, reply, replyPayload) || reply.type != (request.type | kReply))
        return std::nullopt;
    return reply;
}

} // namespace

std::vector<DWORD> OtherProcesses() {
    std::vector<DWORD> pids;
    std::error_code error;
    DWORD self = ThisProcess();
    for (const auto& entry : std::filesystem::directory_iterator(kernel::RuntimeFolder(), error)) {
        std::string name = entry.path().filename().string();
        if (name.rfind(kPrefix, 0) != 0)
            continue;
        char* end = nullptr;
        unsigned long pid = std::strtoul(name.c_str() + sizeof kPrefix - 1, &end, 10);
        if (!end || *end != 0 || pid == 0 || pid == self)
            continue;
        pids.push_back(static_cast<DWORD>(pid));
    }
    std::sort(pids.begin(), pids.end());
    return pids;
}

namespace {

// Other processes cannot see this one's windows: said once on standard error, since no call of the
// program's own would report it.
void ReportNotListening(const std::filesystem::path& path, const std::string& reason) {
    static bool said = false;
    if (std::exchange(said, true))
        return;
    std::fprintf(stderr, "windows of process %u cannot be reached from other processes: %s (%s)\n",
                 static_cast<unsigned>(ThisProcess()), path.c_str(), reason.c_str());
}

} // namespace

void EnsureListening() {
    Listener& listener = TheListener();
    listener.wanted = true;
    std::filesystem::path path = SocketPath(ThisProcess());
    if (listener.fd >= 0 && listener.path == path)
        return;
    listener.Close();
    // The socket is bound and listening under a name of its own before it takes its public name: a
    // client that connected between bind and listen would be refused and take the name for a leftover.
    std::filesystem::path pending =
        kernel::RuntimeFolder() / (std::string(kPendingPrefix) + std::to_string(ThisProcess()));
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
    SocketAddress address;
    if (!address.Fill(pending)) {
        ReportNotListening(pending, "its path cannot be given to a socket");
        return;
    }
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        ReportNotListening(pending, std::strerror(errno));
        return;
    }
    std::filesystem::remove(pending, ignored);
    if (::bind(fd, address.Get(), address.Size()) != 0 || ::listen(fd, 16) != 0 ||
        ::rename(pending.c_str(), path.c_str()) != 0) {
        ReportNotListening(pending, std::strerror(errno));
        ::close(fd);
        std::filesystem::remove(pending, ignored);
        return;
    }
    listener.fd = fd;
    listener.path = path;
}

int ListenerFd() {
    Listener& listener = TheListener();
    if (!listener.wanted)
        return -1;
    EnsureListening();
    return listener.fd;
}

void ServeIncomingRequests() {
    Listener& listener = TheListener();
    if (listener.fd < 0)
        return;
    Locked lock;
    for (;;) {
        int connection = ::accept4(listener.fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            return;
        int flags = ::fcntl(connection, F_GETFL);
        ::fcntl(connection, F_SETFL, flags & ~O_NONBLOCK);
        Serve(connection);
        ::close(connection);
    }
}

namespace {

std::atomic<bool> g_listenerReadable{false};
unsigned g_takes = 0;

} // namespace

void NoteListenerReadable() {
    g_listenerReadable = true;
}

void ServeRequestsIfWaiting() {
    constexpr unsigned kBusyCheckEvery = 256;
    if (TheListener().fd < 0)
        return;
    if (!g_listenerReadable.exchange(false) && ++g_takes % kBusyCheckEvery != 0)
        return;
    ServeIncomingRequests();
}

std::vector<RemoteWindow> OtherProcessesWindows() {
    std::vector<RemoteWindow> all;
    for (DWORD pid : OtherProcesses()) {
        Header request;
        request.type = kList;
        std::vector<uint8_t> reply;
        auto header = Request(pid, request, {}, reply);
        if (!header)
            continue;
        WireReader reader(reply);
        for (uint64_t i = 0; i < header->wParam; ++i) {
            RemoteWindow entry;
            if (!GetEntry(reader, entry) || ProcessOfHandle(entry.hwnd) != pid)
                break;
            all.push_back(std::move(entry));
        }
    }
    return all;
}

std::optional<RemoteWindow> RemoteWindowInfo(HWND hwnd) {
    Header request;
    request.type = kInfo;
    request.hwnd = reinterpret_cast<uint64_t>(hwnd);
    std::vector<uint8_t> reply;
    auto header = Request(ProcessOfHandle(hwnd), request, {}, reply);
    if (!header || header->wParam != 1)
        return std::nullopt;
    WireReader reader(reply);
    RemoteWindow entry;
    if (!GetEntry(reader, entry) || entry.hwnd != hwnd)
        return std::nullopt;
    return entry;
}

std::optional<LRESULT> RemoteCopyData(HWND hwnd, WPARAM wParam, const COPYDATASTRUCT* data) {
    if (!data || (data->cbData > 0 && !data->lpData) || data->cbData > kMaxPayload)
        return kernel::Fail(ERROR_INVALID_PARAMETER, std::optional<LRESULT>());
    Header request;
    request.type = kCopyData;
    request.hwnd = reinterpret_cast<uint64_t>(hwnd);
    request.wParam = static_cast<uint64_t>(wParam);
    request.data = static_cast<uint64_t>(data->dwData);
    request.length = data->cbData;
    std::vector<uint8_t> payload;
    if (data->cbData > 0) {
        const auto* bytes = static_cast<const uint8_t*>(data->lpData);
        payload.assign(bytes, bytes + data->cbData);
    }
    std::vector<uint8_t> reply;
    auto header = Request(ProcessOfHandle(hwnd), request, payload, reply);
    if (!header) {
        if (GetLastError() != ERROR_TIMEOUT)
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return std::nullopt;
    }
    if (header->wParam != 1)
        return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, std::optional<LRESULT>());
    return static_cast<LRESULT>(header->data);
}

std::optional<RemoteReply> RemoteRequest(DWORD pid, uint32_t type, HWND hwnd, uint64_t wParam, uint64_t data,
                                         const std::vector<uint8_t>& payload) {
    if (payload.size() > kMaxPayload)
        return kernel::Fail(ERROR_INVALID_PARAMETER, std::optional<RemoteReply>());
    Header request;
    request.type = type;
    request.hwnd = reinterpret_cast<uint64_t>(hwnd);
    request.wParam = wParam;
    request.data = data;
    request.length = static_cast<uint32_t>(payload.size());
    RemoteReply reply;
    auto header = Request(pid, request, payload, reply.payload);
    if (!header) {
        if (GetLastError() != ERROR_TIMEOUT)
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return std::nullopt;
    }
    reply.wParam = header->wParam;
    reply.data = header->data;
    return reply;
}

bool RemoteSetForeground(HWND hwnd) {
    Header request;
    request.type = kForeground;
    request.hwnd = reinterpret_cast<uint64_t>(hwnd);
    std::vector<uint8_t> reply;
    auto header = Request(ProcessOfHandle(hwnd), request, {}, reply);
    if (!header || header->wParam != 1)
        return kernel::Fail(ERROR_INVALID_WINDOW_HANDLE, false);
    return true;
}

} // namespace user::detail
