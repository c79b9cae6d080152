#include "user/MessageBox.h"

#include <mutex>
#include <utility>

namespace user {
namespace {

struct Boxes {
    std::mutex lock;
    std::vector<MessageBoxRecord> shown;
    MessageBoxHandler handler;
};

Boxes& State() {
    static Boxes* boxes = new Boxes;
    return *boxes;
}

int DefaultAnswer(const MessageBoxRecord& box) {
    UINT buttons = box.type & MB_TYPEMASK;
    return buttons == MB_YESNO || buttons == MB_YESNOCANCEL ? IDYES : IDOK;
}

} // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    Boxes& boxes = State();
    std::lock_guard guard(boxes.lock);
    std::swap(boxes.handler, handler);
    return handler;
}

std::vector<MessageBoxRecord> TakeShownMessageBoxes() {
    Boxes& boxes = State();
    std::lock_guard guard(boxes.lock);
    return std::exchange(boxes.shown, {});
}

} // namespace user

int MessageBoxW(HWND /*owner*/, LPCWSTR text, LPCWSTR caption, UINT type) {
    user::MessageBoxRecord box{text ? text : u"", caption ? caption : u"Error", type};
    user::MessageBoxHandler handler;
    {
        user::Boxes& boxes = user::State();
        std::lock_guard guard(boxes.lock);
        boxes.shown.push_back(box);
        handler = boxes.handler;
    }
    return handler ? handler(box) : user::DefaultAnswer(box);
}
