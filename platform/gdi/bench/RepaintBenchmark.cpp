// How long a full repaint of a skinned 240 x 320 dialog takes, in copies of the framebuffer: the
// background and a dozen controls, each composed off screen from its strip (masked) and a caption, then
// the whole picture copied to the screen once.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "gdi/Gdi.h"
#include "gdi/Region.h"
#include "gdi/Surface.h"
#include "testing/BenchmarkReporter.h"

namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 320;
constexpr int64_t kFrameBytes = int64_t{kWidth} * kHeight * 2;

struct Control {
    RECT rect;
    const char16_t* caption;
};

const Control kControls[] = {
    {{10, 40, 110, 62}, u"Create"},
    {{130, 40, 230, 62}, u"Open"},
    {{10, 70, 110, 92}, u"Resize"},
    {{130, 70, 230, 92}, u"Password"},
    {{10, 100, 230, 122}, u"\\My Documents\\box.fvc"},
    {{10, 130, 230, 152}, u"Encrypted Folder"},
    {{10, 160, 230, 182}, u"Size: 16 MB"},
    {{10, 190, 110, 212}, u"Mount"},
    {{130, 190, 230, 212}, u"Unmount"},
    {{10, 220, 230, 242}, u"Start with the device"},
    {{10, 250, 110, 272}, u"OK"},
    {{130, 250, 230, 272}, u"Cancel"},
};

HBITMAP MakeBitmap(int width, int height, uint16_t seed) {
    std::vector<uint16_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint16_t>(seed + i * 2654435761u);
    return CreateBitmap(width, height, 1, 16, pixels.data());
}

class Scene {
public:
    Scene() {
        m_screen = gdi::CreateSurfaceDC(POINT{0, 0}, gdi::Region(RECT{0, 0, kWidth, kHeight}));
        m_background = MakeBitmap(kWidth, kHeight, 7);
        m_strip = MakeBitmap(3 * 220, 2 * 22, 11); // 3 frames with a mask half
        m_backgroundDc = CreateCompatibleDC(m_screen);
        m_stripDc = CreateCompatibleDC(m_screen);
        SelectObject(m_backgroundDc, m_background);
        SelectObject(m_stripDc, m_strip);
        LOGFONTW logFont{};
        logFont.lfHeight = -12;
        logFont.lfWeight = FW_BOLD;
        std::memcpy(logFont.lfFaceName, u"Arial", sizeof u"Arial");
        m_font = CreateFontIndirectW(&logFont);
    }
    ~Scene() {
        DeleteDC(m_backgroundDc);
        DeleteDC(m_stripDc);
        DeleteObject(m_background);
        DeleteObject(m_strip);
        DeleteObject(m_font);
        gdi::DeleteSurfaceDC(m_screen);
    }

    // One paint of the dialog and one of each control, as the toolkit paints them.
    void Paint() {
        PaintThroughBuffer(RECT{0, 0, kWidth, kHeight}, nullptr);
        for (const Control& control : kControls)
            PaintThroughBuffer(control.rect, &control);
    }

private:
    void PaintThroughBuffer(const RECT& rect, const Control* control) {
        int width = rect.right - rect.left;
        int height = rect.bottom - rect.top;
        HDC buffer = CreateCompatibleDC(m_screen);
        HBITMAP pixels = CreateCompatibleBitmap(m_screen, width, height);
        HGDIOBJ previous = SelectObject(buffer, pixels);
        BitBlt(buffer, 0, 0, width, height, m_backgroundDc, rect.left, rect.top, SRCCOPY);
        if (control) {
            BitBlt(buffer, 0, 0, width, height, m_stripDc, 220, 22, SRCAND);
            BitBlt(buffer, 0, 0, width, height, m_stripDc, 220, 0, SRCPAINT);
            HGDIOBJ oldFont = SelectObject(buffer, m_font);
            SetBkMode(buffer, TRANSPARENT);
            SetTextColor(buffer, RGB(255, 255, 255));
            RECT client{0, 0, width, height};
            DrawTextW(buffer, control->caption, -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            SelectObject(buffer, oldFont);
        }
        BitBlt(m_screen, rect.left, rect.top, width, height, buffer, 0, 0, SRCCOPY);
        SelectObject(buffer, previous);
        DeleteObject(pixels);
        DeleteDC(buffer);
    }

    HDC m_screen;
    HBITMAP m_background;
    HBITMAP m_strip;
    HDC m_backgroundDc;
    HDC m_stripDc;
    HFONT m_font;
};

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
BENCHMARK(BM_FramebufferCopy);

// The same copy as the drawing library makes it: a full-screen bitmap onto the screen.
void BM_FramebufferBlit(benchmark::State& state) {
    HDC screen = gdi::CreateSurfaceDC(POINT{0, 0}, gdi::Region(RECT{0, 0, kWidth, kHeight}));
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP frame = MakeBitmap(kWidth, kHeight, 3);
    HGDIOBJ previous = SelectObject(memory, frame);
    for (auto _ : state)
        BitBlt(screen, 0, 0, kWidth, kHeight, memory, 0, 0, SRCCOPY);
    state.SetBytesProcessed(state.iterations() * kFrameBytes);
    SelectObject(memory, previous);
    DeleteObject(frame);
    DeleteDC(memory);
    gdi::DeleteSurfaceDC(screen);
}
BENCHMARK(BM_FramebufferBlit);

void BM_DialogRepaint(benchmark::State& state) {
    Scene scene;
    scene.Paint(); // the glyphs are cached after the first paint, as in a running program
    for (auto _ : state)
        scene.Paint();
    state.SetBytesProcessed(state.iterations() * kFrameBytes);
}
BENCHMARK(BM_DialogRepaint);

} // namespace

int main(int argc, char** argv) {
    testing_support::ThroughputReporter reporter;
    reporter.RunSelected(argc, argv);
    double copy = reporter.MegabytesPerSecond("BM_FramebufferCopy");
    double blit = reporter.MegabytesPerSecond("BM_FramebufferBlit");
    double repaint = reporter.MegabytesPerSecond("BM_DialogRepaint");
    if (copy > 0 && blit > 0 && repaint > 0)
        std::printf("\nA full repaint of a 240 x 320 skinned dialog takes as long as %.1f framebuffer copies "
                    "(memcpy), %.1f full-screen BitBlts (limit 20)\n",
                    copy / repaint, blit / repaint);
    return 0;
}
