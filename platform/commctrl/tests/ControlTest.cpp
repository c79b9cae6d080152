#include "ControlTest.h"

namespace commctrl_test {
namespace {

Notice Describe(const NMHDR* header) {
    Notice notice{WM_NOTIFY, header->code};
    switch (header->code) {
    case LVN_ITEMCHANGING:
    case LVN_ITEMCHANGED:
    case LVN_INSERTITEM:
    case LVN_DELETEITEM: {
        auto* record = reinterpret_cast<const NMLISTVIEW*>(header);
        notice.item = record->iItem;
        notice.newState = record->uNewState;
        notice.oldState = record->uOldState;
        notice.lParam = record->lParam;
        break;
    }
    case LVN_ITEMACTIVATE:
    case NM_CLICK:
    case NM_DBLCLK:
    case NM_RCLICK: {
        WCHAR name[32] = {};
        GetClassNameW(header->hwndFrom, name, 32);
        if (std::u16string(name) == WC_LISTVIEWW) {
            auto* record = reinterpret_cast<const NMITEMACTIVATE*>(header);
            notice.item = record->iItem;
            notice.subItem = record->iSubItem;
            notice.lParam = record->lParam;
        }
        break;
    }
    case NM_CUSTOMDRAW: {
        auto* record = reinterpret_cast<const NMLVCUSTOMDRAW*>(header);
        notice.stage = record->nmcd.dwDrawStage;
        notice.item = static_cast<int>(record->nmcd.dwItemSpec);
        notice.subItem = record->iSubItem;
        break;
    }
    case TVN_SELCHANGINGW:
    case TVN_SELCHANGEDW:
    case TVN_ITEMEXPANDINGW:
    case TVN_ITEMEXPANDEDW:
    case TVN_DELETEITEMW: {
        auto* record = reinterpret_cast<const NMTREEVIEWW*>(header);
        notice.action = record->action;
        notice.oldItem = record->itemOld.hItem;
        notice.newItem = record->itemNew.hItem;
        notice.lParam = header->code == TVN_DELETEITEMW ? record->itemOld.lParam : record->itemNew.lParam;
        break;
    }
    case UDN_DELTAPOS: {
        auto* record = reinterpret_cast<const NMUPDOWN*>(header);
        notice.position = record->iPos;
        notice.delta = record->iDelta;
        break;
    }
    default:
        break;
    }
    return notice;
}

LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        Parent::Log().push_back(Describe(header));
        if (Parent::Answering())
            return Parent::Answering()(header);
        return 0;
    }
    case WM_COMMAND:
        Parent::Log().push_back(Notice{WM_COMMAND, LOWORD(wParam)});
        return 0;
    case WM_VSCROLL:
    case WM_HSCROLL: {
        Notice notice{message, LOWORD(wParam)};
        notice.position = static_cast<SHORT>(HIWORD(wParam));
        Parent::Log().push_back(notice);
        return 0;
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace

HWND Parent::Create(RECT rect) {
    WNDCLASSW wc{};
    if (!GetClassInfoW(nullptr, u"ControlTestParent", &wc)) {
        wc.lpfnWndProc = ParentProc;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = u"ControlTestParent";
        RegisterClassW(&wc);
    }
    return CreateWindowExW(0, u"ControlTestParent", u"Parent", WS_POPUP | WS_VISIBLE, rect.left, rect.top,
                           rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
}

std::vector<Notice>& Parent::Log() {
    static std::vector<Notice> log;
    return log;
}

Parent::Answer& Parent::Answering() {
    static Answer answer;
    return answer;
}

void Parent::Clear() {
    Log().clear();
    Answering() = nullptr;
}

std::vector<UINT> Parent::Codes() {
    std::vector<UINT> codes;
    for (const Notice& notice : Log())
        if (notice.message == WM_NOTIFY && notice.code != NM_CUSTOMDRAW && notice.code != NM_SETFOCUS &&
            notice.code != NM_KILLFOCUS)
            codes.push_back(notice.code);
    return codes;
}

std::vector<Notice> Parent::Notices(UINT code) {
    std::vector<Notice> out;
    for (const Notice& notice : Log())
        if (notice.message == WM_NOTIFY && notice.code == code)
            out.push_back(notice);
    return out;
}

} // namespace commctrl_test
