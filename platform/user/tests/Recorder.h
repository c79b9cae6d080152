#pragma once
// A window class that records every message its windows get, for tests of the order of messages.

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <vector>

#include "user/User.h"

namespace user_test {

struct Received {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class Recorder {
public:
    // Registers the class "Recorder" (CS_DBLCLKS, white background) once.
    static void Register() {
        WNDCLASSW wc{};
        if (GetClassInfoW(nullptr, u"Recorder", &wc))
            return;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = Proc;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = u"Recorder";
        RegisterClassW(&wc);
    }
    static HWND Create(DWORD style, RECT rect, HWND parent = nullptr, int id = 0, LPCWSTR text = u"") {
        Register();
        return CreateWindowExW(0, u"Recorder", text, style, rect.left, rect.top, rect.right - rect.left,
                               rect.bottom - rect.top, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    }
    static std::vector<Received>& Log() {
        static std::vector<Received> log;
        return log;
    }
    // The messages one window got, of the kinds asked for (all when none are given), oldest first.
    static std::vector<UINT> MessagesOf(HWND hwnd, std::initializer_list<UINT> kinds = {}) {
        std::vector<UINT> out;
        for (const Received& r : Log())
            if (r.hwnd == hwnd &&
                (kinds.size() == 0 || std::find(kinds.begin(), kinds.end(), r.message) != kinds.end()))
                out.push_back(r.message);
        return out;
    }
    // What a window does with a message before the default handling; answers true when it handled it.
    static std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT&)>& Handler() {
        static std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT&)> handler;
        return handler;
    }
    static void Clear() {
        Log().clear();
        Handler() = nullptr;
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        Log().push_back(Received{hwnd, message, wParam, lParam});
        LRESULT result = 0;
        if (Handler() && Handler()(hwnd, message, wParam, lParam, result))
            return result;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
};

} // namespace user_test
