// The file explorer, installed as \windows\fexplore.exe: one window that lists the folder named on its
// command line (a device path, with or without the leading '\' and quotes; none: the root), sub-folders
// first, then files with their sizes, each group in name order without regard to case. A double tap (or
// Enter) on a folder opens it, on ".." goes up, as Backspace does. The window's title is the folder's
// path, with " (not found)" or " (error N)" after it when the folder cannot be listed.
//
// List rows: ".." above the rest below the root; a folder is its name and '\'; a file is its name, two
// blanks and its size ("1023B", "1.0K" from 1024 bytes, "1.0M" from 1048576).

#include <algorithm>
#include <string>
#include <vector>

#include "crt/Crt.h"
#include "kernel/Kernel.h"
#include "kernel/Scoped.h"
#include "shell/FullScreen.h"
#include "user/Controls.h"
#include "user/User.h"

namespace {

constexpr int kListId = 100;
constexpr WCHAR kWindowClass[] = u"FexploreWindow";
constexpr WCHAR kUpRow[] = u"..";

struct Entry {
    std::u16string name;
    bool folder = false;
    ULONGLONG size = 0;
};

struct Explorer {
    HWND window = nullptr;
    HWND list = nullptr;
    WNDPROC listProc = nullptr;
    std::u16string folder = u"\\";
    std::vector<Entry> rows; // row i of the list, ".." included
};

Explorer g_explorer;

std::u16string FolderFromCommandLine(const WCHAR* commandLine) {
    std::u16string text = commandLine ? commandLine : u"";
    size_t first = text.find_first_not_of(u" \t");
    size_t last = text.find_last_not_of(u" \t");
    text = first == std::u16string::npos ? std::u16string() : text.substr(first, last - first + 1);
    if (text.size() >= 2 && text.front() == u'"' && text.back() == u'"')
        text = text.substr(1, text.size() - 2);
    if (text.empty() || text.front() != u'\\')
        text.insert(text.begin(), u'\\');
    while (text.size() > 1 && text.back() == u'\\')
        text.pop_back();
    return text;
}

std::u16string Child(const std::u16string& folder, const std::u16string& name) {
    return folder == u"\\" ? u"\\" + name : folder + u"\\" + name;
}

std::u16string Parent(const std::u16string& folder) {
    size_t slash = folder.rfind(u'\\');
    return slash == 0 || slash == std::u16string::npos ? u"\\" : folder.substr(0, slash);
}

std::u16string SizeText(ULONGLONG size) {
    WCHAR text[32];
    if (size < 1024)
        _snwprintf(text, 32, u"%uB", static_cast<unsigned>(size));
    else if (size < 1048576)
        _snwprintf(text, 32, u"%.1fK", static_cast<double>(size) / 1024.0);
    else
        _snwprintf(text, 32, u"%.1fM", static_cast<double>(size) / 1048576.0);
    return text;
}

std::u16string RowText(const Entry& entry) {
    if (entry.name == kUpRow && entry.folder)
        return kUpRow;
    return entry.folder ? entry.name + u"\\" : entry.name + u"  " + SizeText(entry.size);
}

// The folder's entries, or the error that listing it gave.
DWORD ListFolder(const std::u16string& folder, std::vector<Entry>& entries) {
    WIN32_FIND_DATAW found{};
    const kernel::ScopedFind search(FindFirstFileW(Child(folder, u"*").c_str(), &found));
    if (!search.IsOpen()) {
        DWORD error = GetLastError();
        return error == ERROR_NO_MORE_FILES ? 0 : error;
    }
    do {
        std::u16string name = found.cFileName;
        if (name == u"." || name == u"..")
            continue;
        entries.push_back(Entry{name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                                (ULONGLONG{found.nFileSizeHigh} << 32) | found.nFileSizeLow});
    } while (FindNextFileW(search.Get(), &found));
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.folder != b.folder)
            return a.folder;
        return _wcsicmp(a.name.c_str(), b.name.c_str()) < 0;
    });
    return 0;
}

void Show(const std::u16string& folder) {
    Explorer& e = g_explorer;
    e.folder = folder;
    std::vector<Entry> entries;
    DWORD error = ListFolder(folder, entries);
    e.rows.clear();
    if (folder != u"\\")
        e.rows.push_back(Entry{kUpRow, true, 0});
    e.rows.insert(e.rows.end(), entries.begin(), entries.end());
    SendMessageW(e.list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(e.list, LB_RESETCONTENT, 0, 0);
    for (const Entry& row : e.rows)
        SendMessageW(e.list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(RowText(row).c_str()));
    SendMessageW(e.list, LB_SETCURSEL, 0, 0);
    SendMessageW(e.list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(e.list, nullptr, TRUE);
    std::u16string title = folder;
    if (error == ERROR_PATH_NOT_FOUND) {
        title += u" (not found)";
    } else if (error != 0) {
        WCHAR suffix[32];
        _snwprintf(suffix, 32, u" (error %u)", static_cast<unsigned>(error));
        title += suffix;
    }
    SetWindowTextW(e.window, title.c_str());
}

void OpenSelected() {
    Explorer& e = g_explorer;
    LRESULT index = SendMessageW(e.list, LB_GETCURSEL, 0, 0);
    if (index < 0 || static_cast<size_t>(index) >= e.rows.size())
        return;
    const Entry& row = e.rows[static_cast<size_t>(index)];
    if (!row.folder)
        return;
    Show(row.name == kUpRow && index == 0 && e.folder != u"\\" ? Parent(e.folder)
                                                               : Child(e.folder, row.name));
}

// The list box with Enter and Backspace of its own.
LRESULT CALLBACK ListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN && wParam == VK_RETURN) {
        OpenSelected();
        return 0;
    }
    if (message == WM_KEYDOWN && wParam == VK_BACK) {
        Show(Parent(g_explorer.folder));
        return 0;
    }
    if (message == WM_CHAR && (wParam == u'\r' || wParam == u'\b'))
        return 0;
    return CallWindowProcW(g_explorer.listProc, hwnd, message, wParam, lParam);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        if (g_explorer.list)
            MoveWindow(g_explorer.list, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_SETFOCUS:
        if (g_explorer.list)
            SetFocus(g_explorer.list);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == kListId && HIWORD(wParam) == LBN_DBLCLK)
            OpenSelected();
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

int WinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int show) {
    SHInitExtraControls();
    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kWindowClass;
    if (!RegisterClassW(&wc))
        return 1;
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    Explorer& e = g_explorer;
    e.window =
        CreateWindowExW(0, kWindowClass, u"", WS_POPUP | WS_CAPTION, work.left, work.top,
                        work.right - work.left, work.bottom - work.top, nullptr, nullptr, instance, nullptr);
    if (!e.window)
        return 1;
    RECT client{};
    GetClientRect(e.window, &client);
    e.list =
        CreateWindowExW(0, u"LISTBOX", u"",
                        WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                        0, 0, client.right, client.bottom, e.window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), instance, nullptr);
    if (!e.list)
        return 1;
    e.listProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(e.list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListProc)));
    Show(FolderFromCommandLine(commandLine));
    ShowWindow(e.window, show);
    SetFocus(e.list);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
