#include "Objects.h"

#include <algorithm>
#include <array>
#include <unordered_map>

#include "gdi/Surface.h"
#include "kernel/Errors.h"

namespace gdi {

namespace {

constexpr UINT_PTR kFirstHandle = 0x00A00004;
constexpr UINT_PTR kHandleStep = 4;

// At most this many retired objects are kept for reuse.
constexpr size_t kMaxRetired = 16;

struct HandleTable {
    using Map = std::unordered_map<UINT_PTR, std::shared_ptr<GdiObject>>;
    Map objects;
    UINT_PTR next = kFirstHandle;
    std::vector<Map::node_type> retired;
};

HandleTable& Table() {
    static HandleTable* table = new HandleTable; // never destroyed: objects may be released during exit
    return *table;
}

// The objects this thread found last, by handle value. An entry holds a reference, so a lookup that finds
// its object here hands it out without counting one more: the object lives at least until the entry lets
// go of it. An entry is good while its object is still entered under that handle (an object that some
// entry holds is never recycled under another handle). An entry that is replaced goes to the released
// ring and lives on for the next few lookups, so that the objects one call has looked up stay alive until
// the call returns.
struct RecentObject {
    UINT_PTR value = 0;
    std::shared_ptr<GdiObject> object;
};

struct RecentObjects {
    std::array<RecentObject, 64> slots;
    std::array<std::shared_ptr<GdiObject>, 8> released;
    size_t nextReleased = 0;

    RecentObject& SlotOf(UINT_PTR value) { return slots[(value / kHandleStep) % slots.size()]; }
    void Release(std::shared_ptr<GdiObject> object) {
        if (!object)
            return;
        released[nextReleased] = std::move(object);
        nextReleased = (nextReleased + 1) % released.size();
    }
    void Enter(RecentObject& slot, UINT_PTR value, const std::shared_ptr<GdiObject>& object) {
        Release(std::move(slot.object));
        slot.value = value;
        slot.object = object;
    }
};

// The thread's entries, reached through a plain pointer in the initial-exec model, so that reaching them
// costs one instruction (and a few bytes of the static thread storage that the loader keeps for libraries
// opened later); the owner frees them when the thread ends, after which lookups go without them.
[[gnu::tls_model("initial-exec")]] thread_local RecentObjects* t_recent = nullptr;
[[gnu::tls_model("initial-exec")]] thread_local bool t_recentGone = false;

struct RecentOwner {
    ~RecentOwner() {
        delete t_recent;
        t_recent = nullptr;
        t_recentGone = true;
    }
};

RecentObjects* MakeRecent() {
    if (t_recentGone)
        return nullptr;
    thread_local RecentOwner owner;
    t_recent = new RecentObjects;
    return t_recent;
}

// Enters an object that this thread has just made or recycled, so that its first lookup finds it here.
void Remember(const std::shared_ptr<GdiObject>& object, UINT_PTR value) {
    RecentObjects* recents = t_recent;
    if (!recents && !(recents = MakeRecent()))
        return;
    recents->Enter(recents->SlotOf(value), value, object);
}

// The thread's entry of a handle that is being taken out of the table, if it has one.
RecentObject* RecentEntryOf(UINT_PTR value) {
    RecentObjects* recents = t_recent;
    if (!recents)
        return nullptr;
    RecentObject& recent = recents->SlotOf(value);
    return recent.value == value && recent.object ? &recent : nullptr;
}

size_t DdbRowBytes(int width, PixelFormat format) {
    return (static_cast<size_t>(width) * BitsPerPixel(format) + 15) / 16 * 2;
}

LOGFONTW StockLogFont(LONG height) {
    LOGFONTW font{};
    font.lfHeight = height;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    const char16_t face[] = u"Tahoma";
    std::copy(std::begin(face), std::end(face), font.lfFaceName);
    return font;
}

std::shared_ptr<GdiObject> MakeStock(int index) {
    auto brush = [](COLORREF color, bool hollow) {
        auto object = std::make_shared<BrushObject>();
        object->color = color;
        object->hollow = hollow;
        return std::shared_ptr<GdiObject>(object);
    };
    auto pen = [](COLORREF color, int style) {
        auto object = std::make_shared<PenObject>();
        object->color = color;
        object->style = style;
        return std::shared_ptr<GdiObject>(object);
    };
    auto font = [](LONG height) {
        auto object = std::make_shared<FontObject>();
        object->logFont = StockLogFont(height);
        return std::shared_ptr<GdiObject>(object);
    };
    switch (index) {
    case WHITE_BRUSH:
        return brush(RGB(255, 255, 255), false);
    case LTGRAY_BRUSH:
        return brush(RGB(192, 192, 192), false);
    case GRAY_BRUSH:
        return brush(RGB(128, 128, 128), false);
    case DKGRAY_BRUSH:
        return brush(RGB(64, 64, 64), false);
    case BLACK_BRUSH:
        return brush(RGB(0, 0, 0), false);
    case NULL_BRUSH:
        return brush(RGB(0, 0, 0), true);
    case WHITE_PEN:
        return pen(RGB(255, 255, 255), PS_SOLID);
    case BLACK_PEN:
        return pen(RGB(0, 0, 0), PS_SOLID);
    case NULL_PEN:
        return pen(RGB(0, 0, 0), PS_NULL);
    case SYSTEM_FONT:
        return font(-12);
    case DEFAULT_GUI_FONT:
        return font(-11);
    default:
        return nullptr;
    }
}

} // namespace

std::recursive_mutex& ObjectLock() {
    static std::recursive_mutex* lock = new std::recursive_mutex;
    return *lock;
}

BitmapObject::BitmapObject(int width, int height, PixelFormat format, size_t rowBytes, bool bottomUp)
    : GdiObject(kType), width(width), height(height), format(format),
      rowBytes(rowBytes ? rowBytes : DdbRowBytes(width, format)), bottomUp(bottomUp),
      m_pixels(this->rowBytes * static_cast<size_t>(height)) {}

uint32_t BitmapObject::Read(int x, int y) const {
    const uint8_t* row = Row(y);
    switch (format) {
    case PixelFormat::Mono1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case PixelFormat::Rgb565:
        return reinterpret_cast<const uint16_t*>(row)[x];
    case PixelFormat::Bgr24: {
        const uint8_t* pixel = row + 3 * static_cast<size_t>(x);
        return pixel[0] | (uint32_t{pixel[1]} << 8) | (uint32_t{pixel[2]} << 16);
    }
    }
    return 0;
}

void BitmapObject::Write(int x, int y, uint32_t value) {
    uint8_t* row = Row(y);
    switch (format) {
    case PixelFormat::Mono1: {
        uint8_t bit = static_cast<uint8_t>(0x80u >> (x & 7));
        if (value & 1)
            row[x >> 3] |= bit;
        else
            row[x >> 3] &= static_cast<uint8_t>(~bit);
        return;
    }
    case PixelFormat::Rgb565:
        reinterpret_cast<uint16_t*>(row)[x] = static_cast<uint16_t>(value);
        return;
    case PixelFormat::Bgr24: {
        uint8_t* pixel = row + 3 * static_cast<size_t>(x);
        pixel[0] = static_cast<uint8_t>(value);
        pixel[1] = static_cast<uint8_t>(value >> 8);
        pixel[2] = static_cast<uint8_t>(value >> 16);
        return;
    }
    }
}

void BitmapObject::Resize(int newWidth, int newHeight) {
    width = newWidth;
    height = newHeight;
    rowBytes = DdbRowBytes(newWidth, format);
    m_pixels.assign(rowBytes * static_cast<size_t>(newHeight), 0);
    damage = RECT{0, 0, newWidth, newHeight};
}

HGDIOBJ InsertObject(std::shared_ptr<GdiObject> object) {
    std::lock_guard guard(ObjectLock());
    HandleTable& table = Table();
    UINT_PTR value = table.next;
    table.next += kHandleStep;
    auto handle = reinterpret_cast<HGDIOBJ>(value);
    object->handle = handle;
    Remember(object, value);
    table.objects.emplace(value, std::move(object));
    return handle;
}

namespace {

std::shared_ptr<GdiObject> FindInTable(UINT_PTR value) {
    std::lock_guard guard(ObjectLock());
    HandleTable& table = Table();
    auto it = table.objects.find(value);
    return it == table.objects.end() ? nullptr : it->second;
}

} // namespace

std::shared_ptr<GdiObject> FindObject(HGDIOBJ handle) {
    auto value = reinterpret_cast<UINT_PTR>(handle);
    if (value == 0)
        return nullptr;
    RecentObjects* recents = t_recent;
    if (!recents && !(recents = MakeRecent()))
        return FindInTable(value);
    RecentObject& recent = recents->SlotOf(value);
    if (recent.value == value && recent.object &&
        recent.object->handle.load(std::memory_order_acquire) == handle)
        return std::shared_ptr<GdiObject>(std::shared_ptr<GdiObject>(), recent.object.get());
    std::shared_ptr<GdiObject> object = FindInTable(value);
    if (!object)
        return nullptr;
    recents->Enter(recent, value, object);
    return object;
}

std::shared_ptr<GdiObject> FindObjectShared(HGDIOBJ handle) {
    if (!FindObject(handle))
        return nullptr;
    // The lookup entered the object in this thread's entries (or found it there).
    if (RecentObjects* recents = t_recent) {
        RecentObject& recent = recents->SlotOf(reinterpret_cast<UINT_PTR>(handle));
        if (recent.value == reinterpret_cast<UINT_PTR>(handle) && recent.object)
            return recent.object;
    }
    return FindInTable(reinterpret_cast<UINT_PTR>(handle));
}

bool RemoveObject(HGDIOBJ handle) {
    std::lock_guard guard(ObjectLock());
    HandleTable& table = Table();
    auto it = table.objects.find(reinterpret_cast<UINT_PTR>(handle));
    if (it == table.objects.end())
        return false;
    it->second->handle = nullptr;
    // The caller may still use the object for the rest of its call.
    if (RecentObject* recent = RecentEntryOf(it->first)) {
        t_recent->Release(std::move(recent->object));
        recent->value = 0;
    }
    table.objects.erase(it);
    return true;
}

bool RetireObject(HGDIOBJ handle) {
    std::lock_guard guard(ObjectLock());
    HandleTable& table = Table();
    auto node = table.objects.extract(reinterpret_cast<UINT_PTR>(handle));
    if (node.empty())
        return false;
    node.mapped()->handle = nullptr;
    // This thread's entry lets go at once, so that the object can be recycled; the retired list holds it.
    if (RecentObject* recent = RecentEntryOf(node.key())) {
        recent->object.reset();
        recent->value = 0;
    }
    if (table.retired.size() < kMaxRetired)
        table.retired.push_back(std::move(node));
    return true;
}

std::shared_ptr<GdiObject> RecycleObject(DWORD type) {
    std::lock_guard guard(ObjectLock());
    HandleTable& table = Table();
    // The last one retired first: in a paint, the DC that EndPaint just let go of.
    for (size_t i = table.retired.size(); i-- > 0;) {
        auto& node = table.retired[i];
        // An object that a caller still holds (a draw racing with the delete) is not handed out again.
        if (node.mapped()->Type() != type || node.mapped().use_count() != 1)
            continue;
        auto taken = std::move(node);
        table.retired.erase(table.retired.begin() + static_cast<ptrdiff_t>(i));
        UINT_PTR value = table.next;
        table.next += kHandleStep;
        taken.key() = value;
        taken.mapped()->handle = reinterpret_cast<HGDIOBJ>(value);
        std::shared_ptr<GdiObject> object = taken.mapped();
        table.objects.insert(std::move(taken));
        Remember(object, value);
        return object;
    }
    return nullptr;
}

size_t OpenObjectCount() {
    std::lock_guard guard(ObjectLock());
    size_t count = 0;
    for (const auto& [value, object] : Table().objects)
        if (!object->stock)
            ++count;
    return count;
}

const std::shared_ptr<GdiObject>& StockObject(int index) {
    static const std::shared_ptr<GdiObject> kNone;
    static std::shared_ptr<GdiObject> stock[DEFAULT_GUI_FONT + 1];
    // Set once an entry of stock is made; after that it is read without the lock.
    static std::atomic<bool> made[DEFAULT_GUI_FONT + 1];
    if (index < 0 || index > DEFAULT_GUI_FONT)
        return kNone;
    if (made[index].load(std::memory_order_acquire))
        return stock[index];
    std::lock_guard guard(ObjectLock());
    if (!stock[index]) {
        auto object = MakeStock(index);
        if (!object)
            return kNone;
        object->stock = true;
        InsertObject(object);
        stock[index] = std::move(object);
        made[index].store(true, std::memory_order_release);
    }
    return stock[index];
}

const std::shared_ptr<BitmapObject>& DefaultBitmap() {
    static std::shared_ptr<BitmapObject> bitmap;
    static std::atomic<bool> made;
    if (made.load(std::memory_order_acquire))
        return bitmap;
    std::lock_guard guard(ObjectLock());
    if (!bitmap) {
        bitmap = std::make_shared<BitmapObject>(1, 1, PixelFormat::Mono1);
        bitmap->stock = true;
        InsertObject(bitmap);
        made.store(true, std::memory_order_release);
    }
    return bitmap;
}

} // namespace gdi

DWORD GetObjectType(HGDIOBJ h) {
    auto object = gdi::FindObject(h);
    if (!object)
        return kernel::Fail(ERROR_INVALID_HANDLE, DWORD{0});
    return object->Type();
}

HGDIOBJ GetStockObject(int i) {
    const auto& object = gdi::StockObject(i);
    if (!object)
        return kernel::Fail(ERROR_INVALID_PARAMETER, static_cast<HGDIOBJ>(nullptr));
    return object->handle;
}
