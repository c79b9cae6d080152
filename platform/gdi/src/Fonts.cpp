#include "Fonts.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <tuple>

#include "Objects.h"
#include "gdi/Surface.h"
#include "kernel/Errors.h"

namespace gdi {

struct RealizedFont::Face {
    FT_Face face = nullptr;
};

namespace {

constexpr LONG kDefaultHeight = -12;
constexpr LONG kMaxHeight = 2048;
// Slant of a synthesised italic: x += y * 0.2.
constexpr FT_Fixed kObliqueShear = 0x3333;

struct Library {
    std::mutex lock;
    FT_Library library = nullptr;
    bool failed = false;
};

Library& TheLibrary() {
    static Library* library = new Library; // never destroyed: fonts may be released during exit
    return *library;
}

FT_Library FreeType() {
    Library& library = TheLibrary();
    std::lock_guard guard(library.lock);
    if (!library.library && !library.failed && FT_Init_FreeType(&library.library) != 0)
        library.failed = true;
    return library.library;
}

enum class Family { LiberationSans, DejaVuSans };

struct Style {
    bool bold;
    bool italic;
};

bool EqualsIgnoringCase(const WCHAR* face, const char* name) {
    size_t i = 0;
    for (; i < LF_FACESIZE && face[i] && name[i]; ++i) {
        WCHAR a = face[i];
        char b = name[i];
        if (a >= u'A' && a <= u'Z')
            a = static_cast<WCHAR>(a - u'A' + u'a');
        if (b >= 'A' && b <= 'Z')
            b = static_cast<char>(b - 'A' + 'a');
        if (a != static_cast<unsigned char>(b))
            return false;
    }
    return (i == LF_FACESIZE || !face[i]) && !name[i];
}

Family FamilyOf(const LOGFONTW& logFont) {
    if (EqualsIgnoringCase(logFont.lfFaceName, "Arial") ||
        EqualsIgnoringCase(logFont.lfFaceName, "MS Shell Dlg") ||
        EqualsIgnoringCase(logFont.lfFaceName, "MS Shell Dlg 2"))
        return Family::LiberationSans;
    return Family::DejaVuSans;
}

std::vector<std::filesystem::path> Candidates(Family family, Style style) {
    static const char* const kLiberation[] = {"LiberationSans-Regular.ttf", "LiberationSans-Bold.ttf",
                                              "LiberationSans-Italic.ttf", "LiberationSans-BoldItalic.ttf"};
    static const char* const kDejaVu[] = {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSans-Oblique.ttf",
                                          "DejaVuSans-BoldOblique.ttf"};
    int index = (style.bold ? 1 : 0) + (style.italic ? 2 : 0);
    std::vector<std::filesystem::path> paths;
    if (family == Family::LiberationSans) {
        for (const char* folder :
             {"/usr/share/fonts/truetype/liberation2", "/usr/share/fonts/truetype/liberation"})
            paths.push_back(std::filesystem::path(folder) / kLiberation[index]);
    } else {
        paths.push_back(std::filesystem::path("/usr/share/fonts/truetype/dejavu") / kDejaVu[index]);
    }
    return paths;
}

struct Choice {
    std::filesystem::path file;
    bool embolden = false;
    bool slant = false;
};

// The file of the family and style; without it, the family's regular file with the style synthesised;
// without that, the other family.
std::optional<Choice> ChooseFile(const LOGFONTW& logFont) {
    Style style{logFont.lfWeight >= 600, logFont.lfItalic != 0};
    Family first = FamilyOf(logFont);
    Family second = first == Family::LiberationSans ? Family::DejaVuSans : Family::LiberationSans;
    std::error_code ignored;
    for (Family family : {first, second}) {
        for (const auto& path : Candidates(family, style))
            if (std::filesystem::is_regular_file(path, ignored))
                return Choice{path, false, false};
        for (const auto& path : Candidates(family, Style{false, false}))
            if (std::filesystem::is_regular_file(path, ignored))
                return Choice{path, style.bold, style.italic};
    }
    return std::nullopt;
}

LONG EffectiveHeight(LONG height) {
    if (height == 0)
        return kDefaultHeight;
    return std::clamp<LONG>(height, -kMaxHeight, kMaxHeight);
}

using RealizationKey = std::tuple<std::string, bool, bool, LONG>;

std::map<RealizationKey, std::shared_ptr<RealizedFont>>& Realizations() {
    static auto* realizations = new std::map<RealizationKey, std::shared_ptr<RealizedFont>>;
    return *realizations;
}

std::mutex& RealizationLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

int Ceil26(FT_Pos value) {
    return static_cast<int>((value + 63) >> 6);
}

} // namespace

std::shared_ptr<RealizedFont> RealizedFont::Realize(const LOGFONTW& logFont) {
    auto choice = ChooseFile(logFont);
    FT_Library library = FreeType();
    if (!choice || !library)
        return nullptr;
    LONG height = EffectiveHeight(logFont.lfHeight);
    RealizationKey key{choice->file.string(), choice->embolden, choice->slant, height};
    std::lock_guard guard(RealizationLock());
    auto& slot = Realizations()[key];
    if (slot)
        return slot;

    std::shared_ptr<RealizedFont> font(new RealizedFont);
    font->m_face = std::make_unique<Face>();
    {
        std::lock_guard libraryGuard(TheLibrary().lock);
        if (FT_New_Face(library, choice->file.c_str(), 0, &font->m_face->face) != 0)
            return nullptr;
    }
    FT_Face face = font->m_face->face;
    font->m_file = choice->file;
    font->m_embolden = choice->embolden;
    if (choice->slant) {
        FT_Matrix shear{0x10000, kObliqueShear, 0, 0x10000};
        FT_Set_Transform(face, &shear, nullptr);
    }

    int unitsPerEm = face->units_per_EM > 0 ? face->units_per_EM : 2048;
    int designAscent = face->ascender;
    int designDescent = -face->descender;
    if (designAscent + designDescent <= 0) {
        designAscent = unitsPerEm * 4 / 5;
        designDescent = unitsPerEm / 5;
    }
    // A negative height is the em, a positive one the cell (ascent and descent together).
    FT_F26Dot6 em26 =
        height < 0
            ? FT_F26Dot6{-height} * 64
            : static_cast<FT_F26Dot6>(int64_t{height} * 64 * unitsPerEm / (designAscent + designDescent));
    em26 = std::max<FT_F26Dot6>(em26, 64);
    if (FT_Set_Char_Size(face, 0, em26, 72, 72) != 0)
        return nullptr;

    const FT_Size_Metrics& size = face->size->metrics;
    int ascent = Ceil26(size.ascender);
    int descent = Ceil26(-size.descender);
    if (height > 0) {
        // The cell is exactly the height asked for.
        ascent = std::min(ascent, static_cast<int>(height));
        descent = height - ascent;
    }
    int emPixels = static_cast<int>((em26 + 32) >> 6);

    TEXTMETRICW& tm = font->m_metrics;
    tm.tmHeight = ascent + descent;
    tm.tmAscent = ascent;
    tm.tmDescent = descent;
    tm.tmInternalLeading = std::max(0, tm.tmHeight - emPixels);
    tm.tmExternalLeading = std::max(0, Ceil26(size.height) - tm.tmHeight);
    tm.tmMaxCharWidth = Ceil26(size.max_advance);
    tm.tmWeight = logFont.lfWeight > 0 ? logFont.lfWeight : FW_NORMAL;
    tm.tmOverhang = 0;
    tm.tmDigitizedAspectX = 96;
    tm.tmDigitizedAspectY = 96;
    tm.tmFirstChar = 0x20;
    tm.tmLastChar = 0xFFFC;
    tm.tmDefaultChar = 0x1F;
    tm.tmBreakChar = 0x20;
    tm.tmItalic = logFont.lfItalic ? 1 : 0;
    tm.tmUnderlined = logFont.lfUnderline ? 1 : 0;
    tm.tmStruckOut = logFont.lfStrikeOut ? 1 : 0;
    tm.tmPitchAndFamily = 0x07 | FF_SWISS; // variable pitch, vector, TrueType
    tm.tmCharSet = ANSI_CHARSET;
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->xAvgCharWidth > 0)
        tm.tmAveCharWidth = static_cast<LONG>((int64_t{os2->xAvgCharWidth} * em26 / unitsPerEm + 32) >> 6);
    else
        tm.tmAveCharWidth = font->GlyphFor(U'x').advance;
    if (face->underline_thickness > 0) {
        font->m_underlineOffset =
            std::max(1, static_cast<int>((int64_t{-face->underline_position} * em26 / unitsPerEm + 32) >> 6));
        font->m_underlineThickness =
            std::max(1, static_cast<int>((int64_t{face->underline_thickness} * em26 / unitsPerEm + 32) >> 6));
    }
    slot = font;
    return font;
}

RealizedFont::~RealizedFont() {
    if (m_face && m_face->face) {
        std::lock_guard guard(TheLibrary().lock);
        FT_Done_Face(m_face->face);
    }
}

const Glyph& RealizedFont::GlyphFor(char32_t ch) {
    if (ch < kDirectGlyphs)
        if (const Glyph* known = m_direct[ch].load(std::memory_order_acquire))
            return *known;
    std::lock_guard guard(m_lock);
    auto found = m_glyphs.find(ch);
    if (found != m_glyphs.end())
        return found->second;
    Glyph& glyph = m_glyphs[ch];
    Render(ch, glyph);
    if (ch < kDirectGlyphs)
        m_direct[ch].store(&glyph, std::memory_order_release);
    return glyph;
}

void RealizedFont::Render(char32_t ch, Glyph& glyph) {
    FT_Face face = m_face->face;
    FT_UInt index = FT_Get_Char_Index(face, ch);
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) != 0)
        return;
    FT_GlyphSlot slot = face->glyph;
    if (m_embolden && slot->format == FT_GLYPH_FORMAT_OUTLINE)
        FT_Outline_Embolden(&slot->outline, 64);
    glyph.advance = static_cast<int>((slot->advance.x + 32) >> 6) + (m_embolden ? 1 : 0);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0 || slot->bitmap.pixel_mode != FT_PIXEL_MODE_MONO)
        return;
    const FT_Bitmap& bitmap = slot->bitmap;
    glyph.left = slot->bitmap_left;
    glyph.top = slot->bitmap_top;
    glyph.width = static_cast<int>(bitmap.width);
    glyph.rows = static_cast<int>(bitmap.rows);
    glyph.pitch = static_cast<int>((bitmap.width + 7) / 8);
    glyph.bits.resize(static_cast<size_t>(glyph.pitch) * static_cast<size_t>(glyph.rows));
    // The bits past the width are cleared: drawing blends whole bytes.
    auto tail = static_cast<uint8_t>(0xFF00u >> (glyph.width - (glyph.pitch - 1) * 8));
    for (int row = 0; glyph.pitch > 0 && row < glyph.rows; ++row) {
        int sourceRow = bitmap.pitch >= 0 ? row : glyph.rows - 1 - row;
        uint8_t* bits = glyph.bits.data() + static_cast<size_t>(row) * static_cast<size_t>(glyph.pitch);
        std::memcpy(bits, bitmap.buffer + static_cast<ptrdiff_t>(sourceRow) * std::abs(bitmap.pitch),
                    static_cast<size_t>(glyph.pitch));
        bits[glyph.pitch - 1] &= tail;
    }
}

RealizedFont* FontObject::Realized() {
    if (!m_realizedReady.load(std::memory_order_acquire)) {
        std::call_once(m_realizeOnce, [this] { m_realized = RealizedFont::Realize(logFont); });
        m_realizedReady.store(true, std::memory_order_release);
    }
    return m_realized.get();
}

std::filesystem::path FontFileOf(HFONT font) {
    auto object = FindObjectAs<FontObject>(font);
    if (!object)
        return {};
    RealizedFont* realized = object->Realized();
    return realized ? realized->File() : std::filesystem::path();
}

} // namespace gdi

HFONT CreateFontIndirectW(const LOGFONTW* logFont) {
    if (!logFont)
        return kernel::Fail(ERROR_INVALID_PARAMETER, static_cast<HFONT>(nullptr));
    auto font = std::make_shared<gdi::FontObject>();
    font->logFont = *logFont;
    font->logFont.lfFaceName[LF_FACESIZE - 1] = u'\0';
    return gdi::HandleAs<HFONT>(gdi::InsertObject(font));
}
