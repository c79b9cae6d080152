#pragma once
// Fonts rendered with FreeType: a LOGFONTW is realised as a font file at a pixel size, whose glyphs are
// rendered one bit per pixel on first use and kept.

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "gdi/Gdi.h"

namespace gdi {

struct Glyph {
    int left = 0; // from the pen position to the bitmap's first column
    int top = 0;  // from the baseline up to the bitmap's first row
    int width = 0;
    int rows = 0;
    int pitch = 0; // bytes per bitmap row, most significant bit first
    int advance = 0;
    std::vector<uint8_t> bits;
};

class RealizedFont {
public:
    // The font for a LOGFONTW; realisations with the same file, style and size are shared. Null when no
    // font file can be loaded.
    static std::shared_ptr<RealizedFont> Realize(const LOGFONTW& logFont);
    ~RealizedFont();
    RealizedFont(const RealizedFont&) = delete;
    RealizedFont& operator=(const RealizedFont&) = delete;

    // The glyph of a code point; the reference stays valid as long as the font. The first code points are
    // found without taking the font's lock once they have been rendered.
    const Glyph& GlyphFor(char32_t ch);
    TEXTMETRICW Metrics() const { return m_metrics; }
    int Ascent() const { return m_metrics.tmAscent; }
    int Height() const { return m_metrics.tmHeight; }
    // Underline position below the baseline and thickness, in pixels.
    int UnderlineOffset() const { return m_underlineOffset; }
    int UnderlineThickness() const { return m_underlineThickness; }
    const std::filesystem::path& File() const { return m_file; }

    struct Face;

private:
    RealizedFont() = default;
    // Renders a glyph into an empty record; the caller holds m_lock.
    void Render(char32_t ch, Glyph& glyph);

    std::mutex m_lock;
    std::unique_ptr<Face> m_face;
    std::filesystem::path m_file;
    bool m_embolden = false;
    TEXTMETRICW m_metrics{};
    int m_underlineOffset = 1;
    int m_underlineThickness = 1;
    std::unordered_map<char32_t, Glyph> m_glyphs;
    static constexpr char32_t kDirectGlyphs = 256;
    std::array<std::atomic<const Glyph*>, kDirectGlyphs> m_direct{};
};

} // namespace gdi
