// How long the window system takes to create, lay out and paint a 240 x 320 dialog of 40 child windows,
// and to repaint it whole, beside one plain copy of the 240 x 320 framebuffer measured in the same run.
// The children are stand-ins for the standard controls: framed buttons and labels that draw their text.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "testing/BenchmarkReporter.h"
#include "user/User.h"

namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 320;
constexpr int64_t kFrameBytes = int64_t{kWidth} * kHeight * 2;
constexpr int kChildren = 40;

LRESULT CALLBACK StandInProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        bool button = GetWindowLongPtrW(hwnd, GWLP_USERDATA) != 0;
        if (button) {
            FillRect(hdc, &r, GetSysColorBrush(COLOR_BTNFACE));
            RECT edge = r;
            DrawEdge(hdc, &edge, EDGE_RAISED, BF_RECT);
        }
        auto font = reinterpret_cast<HFONT>(GetWindowLongPtrW(hwnd, 0));
        HGDIOBJ old = SelectObject(hdc, font ? font : reinterpret_cast<HFONT>(GetStockObject(SYSTEM_FONT)));
        SetBkMode(hdc, TRANSPARENT);
        WCHAR text[32];
        int length = GetWindowTextW(hwnd, text, 32);
        DrawTextW(hdc, text, length, &r, (button ? DT_CENTER : DT_LEFT) | DT_VCENTER | DT_SINGLELINE);
        SelectObject(hdc, old);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_SETFONT:
        SetWindowLongPtrW(hwnd, 0, static_cast<LONG_PTR>(wParam));
        return 0;
    case WM_CREATE:
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, GetWindowLongW(hwnd, GWL_ID) % 2);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

struct Template {
    std::vector<std::u16string> texts;
    std::vector<user::DialogItem> items;
    user::DialogTemplateBytes bytes;

    static std::vector<std::u16string> Texts() {
        std::vector<std::u16string> texts;
        for (int i = 0; i < kChildren; ++i) {
            std::string text = (i % 2 ? "Button " : "Label ") + std::to_string(i);
            texts.emplace_back(text.begin(), text.end());
        }
        return texts;
    }
    static std::vector<user::DialogItem> Items(const std::vector<std::u16string>& texts) {
        std::vector<user::DialogItem> items;
        // Two columns of twenty rows on a 160 x 213 dialog-unit form (about 240 x 320 pixels).
        for (int i = 0; i < kChildren; ++i) {
            short x = static_cast<short>(i % 2 ? 82 : 4);
            short y = static_cast<short>(4 + (i / 2) * 10);
            items.push_back(user::DialogItem{u"StandIn", texts[static_cast<size_t>(i)].c_str(),
                                             static_cast<WORD>(1000 + i), x, y, 74, 9, WS_TABSTOP});
        }
        return items;
    }
    Template()
        : texts(Texts()), items(Items(texts)), bytes({WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, 160,
                                                      213, u"Benchmark", 8, u"MS Shell Dlg"},
                                                     items) {}
};

void RegisterStandIns() {
    WNDCLASSW wc{};
    if (GetClassInfoW(nullptr, u"StandIn", &wc))
        return;
    wc.lpfnWndProc = StandInProc;
    wc.cbWndExtra = sizeof(LONG_PTR);
    wc.lpszClassName = u"StandIn";
    RegisterClassW(&wc);
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
}

void BM_FramebufferCopy(benchmark::State& state) {
    std::vector<uint16_t> from(static_cast<size_t>(kWidth) * kHeight, 0x1234);
    std::vector<uint16_t> to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), static_cast<size_t>(kFrameBytes));
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kFrameBytes);
}
BENCHMARK(BM_FramebufferCopy)->Unit(benchmark::kMicrosecond);

void BM_DialogCreateLayoutPaint(benchmark::State& state) {
    RegisterStandIns();
    static Template tmpl;
    Pump();
    for (auto _ : state) {
        HWND dialog = CreateDialogIndirectParamW(nullptr, tmpl.bytes.Template(), nullptr, nullptr, 0);
        Pump();
        DestroyWindow(dialog);
        Pump(); // the desktop repaints where the dialog was
    }
    state.SetBytesProcessed(state.iterations() * kFrameBytes);
}
BENCHMARK(BM_DialogCreateLayoutPaint)->Unit(benchmark::kMicrosecond);

void BM_FullRepaint(benchmark::State& state) {
    RegisterStandIns();
    static Template tmpl;
    HWND dialog = CreateDialogIndirectParamW(nullptr, tmpl.bytes.Template(), nullptr, nullptr, 0);
    Pump();
    for (auto _ : state) {
        // The dialog (WS_CLIPCHILDREN, as the program's dialogs are) and every child, painted at once.
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    state.SetBytesProcessed(state.iterations() * kFrameBytes);
    DestroyWindow(dialog);
    Pump();
}
BENCHMARK(BM_FullRepaint)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    testing_support::ThroughputReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    double copy = reporter.MegabytesPerSecond("BM_FramebufferCopy");
    double create = reporter.MegabytesPerSecond("BM_DialogCreateLayoutPaint");
    double repaint = reporter.MegabytesPerSecond("BM_FullRepaint");
    if (copy > 0 && create > 0 && repaint > 0)
        std::printf(
            "\nCreating, laying out and painting a 240 x 320 dialog of %d children takes as long as %.1f "
            "framebuffer copies; a full repaint %.1f (target: at most 20)\n",
            kChildren, copy / create, copy / repaint);
    return 0;
}
