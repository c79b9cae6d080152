// How long the window system takes to create, lay out and paint a 240 x 320 dialog of 40 standard
// controls, and to repaint it whole, beside one plain copy of the 240 x 320 framebuffer measured in the
// same run. The dialog holds labels, push buttons, check boxes, radio buttons, edits, combo boxes and
// list boxes with a few items each.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "testing/BenchmarkReporter.h"
#include "user/Controls.h"
#include "user/User.h"

namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 320;
constexpr int64_t kFrameBytes = int64_t{kWidth} * kHeight * 2;
constexpr WORD kFirstId = 1000;
// Each benchmark runs this many times and counts by the median, so that the printed ratios hold still.
constexpr int kRepetitions = 7;

enum class Kind { Label, Push, Check, Radio, Edit, Combo, List };

struct Control {
    Kind kind;
    short x;
    short y;
    short cx;
    short cy;
};

LPCWSTR ClassOf(Kind kind) {
    switch (kind) {
    case Kind::Label:
        return u"STATIC";
    case Kind::Edit:
        return u"EDIT";
    case Kind::Combo:
        return u"COMBOBOX";
    case Kind::List:
        return u"LISTBOX";
    default:
        return u"BUTTON";
    }
}

DWORD StyleOf(Kind kind) {
    switch (kind) {
    case Kind::Label:
        return SS_LEFT;
    case Kind::Push:
        return BS_PUSHBUTTON | WS_TABSTOP;
    case Kind::Check:
        return BS_AUTOCHECKBOX | WS_TABSTOP;
    case Kind::Radio:
        return BS_AUTORADIOBUTTON | WS_TABSTOP;
    case Kind::Edit:
        return ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
    case Kind::Combo:
        return CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
    case Kind::List:
        return LBS_NOTIFY | WS_BORDER | WS_VSCROLL | WS_TABSTOP;
    }
    return 0;
}

const char* NameOf(Kind kind) {
    switch (kind) {
    case Kind::Label:
        return "Label";
    case Kind::Push:
        return "Push";
    case Kind::Check:
        return "Check";
    case Kind::Radio:
        return "Radio";
    case Kind::Edit:
        return "Edit";
    default:
        return "";
    }
}

// Three columns of twelve rows on a 160 x 197 dialog-unit form (240 x 320 pixels): labels in the
// first column, buttons of each kind in the second, edits, combo boxes and more buttons in the third;
// below them two list boxes and two more edits.
std::vector<Control> Layout() {
    std::vector<Control> controls;
    const Kind buttons[] = {Kind::Push, Kind::Check, Kind::Radio};
    for (int row = 0; row < 12; ++row) {
        short y = static_cast<short>(4 + row * 12);
        Kind third = row < 4 ? Kind::Edit : row < 6 ? Kind::Combo : buttons[row % 3];
        controls.push_back({Kind::Label, 4, y, 48, 10});
        controls.push_back({buttons[row % 3], 56, y, 48, 10});
        controls.push_back({third, 108, y, 48, static_cast<short>(third == Kind::Combo ? 60 : 10)});
    }
    controls.push_back({Kind::List, 4, 150, 48, 44});
    controls.push_back({Kind::List, 56, 150, 48, 44});
    controls.push_back({Kind::Edit, 108, 150, 48, 12});
    controls.push_back({Kind::Edit, 108, 166, 48, 12});
    return controls;
}

struct Template {
    std::vector<Control> controls;
    std::vector<std::u16string> texts;
    std::vector<user::DialogItem> items;
    user::DialogTemplateBytes bytes;

    static std::vector<std::u16string> Texts(const std::vector<Control>& controls) {
        std::vector<std::u16string> texts;
        for (size_t i = 0; i < controls.size(); ++i) {
            std::string text = std::string(NameOf(controls[i].kind)) + " " + std::to_string(i);
            texts.emplace_back(text.begin(), text.end());
        }
        return texts;
    }
    static std::vector<user::DialogItem> Items(const std::vector<Control>& controls,
                                               const std::vector<std::u16string>& texts) {
        std::vector<user::DialogItem> items;
        for (size_t i = 0; i < controls.size(); ++i) {
            const Control& c = controls[i];
            items.push_back(user::DialogItem{ClassOf(c.kind), texts[i].c_str(),
                                             static_cast<WORD>(kFirstId + i), c.x, c.y, c.cx, c.cy,
                                             StyleOf(c.kind)});
        }
        return items;
    }
    Template()
        : controls(Layout()), texts(Texts(controls)), items(Items(controls, texts)),
          bytes(
              {WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, 160, 197, u"Benchmark", 8, u"MS Shell Dlg"},
              items) {}
};

const Template& TheTemplate() {
    static const Template tmpl;
    return tmpl;
}

// Fills the lists and combo boxes with a few items, selects one in each, checks some boxes and the first
// radio button.
INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message != WM_INITDIALOG)
        return FALSE;
    const std::vector<Control>& controls = TheTemplate().controls;
    bool radioChecked = false;
    for (size_t i = 0; i < controls.size(); ++i) {
        HWND control = GetDlgItem(dialog, static_cast<int>(kFirstId + i));
        Kind kind = controls[i].kind;
        if (kind == Kind::List || kind == Kind::Combo) {
            UINT add = kind == Kind::List ? LB_ADDSTRING : CB_ADDSTRING;
            for (int item = 0; item < 6; ++item) {
                std::string text = "Item " + std::to_string(item);
                std::u16string wide(text.begin(), text.end());
                SendMessageW(control, add, 0, reinterpret_cast<LPARAM>(wide.c_str()));
            }
            SendMessageW(control, kind == Kind::List ? LB_SETCURSEL : CB_SETCURSEL, 1, 0);
        } else if ((kind == Kind::Check && i % 2 == 0) || (kind == Kind::Radio && !radioChecked)) {
            SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
            radioChecked = radioChecked || kind == Kind::Radio;
        }
    }
    return TRUE;
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
BENCHMARK(BM_FramebufferCopy)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(kRepetitions)
    ->DisplayAggregatesOnly(true);

void BM_DialogCreateLayoutPaint(benchmark::State& state) {
    const Template& tmpl = TheTemplate();
    Pump();
    for (auto _ : state) {
        HWND dialog = CreateDialogIndirectParamW(nullptr, tmpl.bytes.Template(), nullptr, DialogProc, 0);
        Pump();
        DestroyWindow(dialog);
        Pump(); // the desktop repaints where the dialog was
    }
    state.SetBytesProcessed(state.iterations() * kFrameBytes);
}
BENCHMARK(BM_DialogCreateLayoutPaint)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(kRepetitions)
    ->DisplayAggregatesOnly(true);

void BM_FullRepaint(benchmark::State& state) {
    HWND dialog = CreateDialogIndirectParamW(nullptr, TheTemplate().bytes.Template(), nullptr, DialogProc, 0);
    Pump();
    for (auto _ : state) {
        // The dialog (WS_CLIPCHILDREN, as the program's dialogs are) and every child, painted at once.
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    state.SetBytesProcessed(state.iterations() * kFrameBytes);
    DestroyWindow(dialog);
    Pump();
}
BENCHMARK(BM_FullRepaint)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(kRepetitions)
    ->DisplayAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    testing_support::ThroughputReporter reporter;
    reporter.RunSelected(argc, argv);
    double copy = reporter.MegabytesPerSecond("BM_FramebufferCopy");
    double create = reporter.MegabytesPerSecond("BM_DialogCreateLayoutPaint");
    double repaint = reporter.MegabytesPerSecond("BM_FullRepaint");
    if (copy > 0 && create > 0 && repaint > 0)
        std::printf(
            "\nCreating, laying out and painting a 240 x 320 dialog of %d controls takes as long as %.1f "
            "framebuffer copies; a full repaint %.1f (target: at most 20)\n",
            static_cast<int>(TheTemplate().controls.size()), copy / create, copy / repaint);
    return 0;
}
