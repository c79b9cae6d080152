#include "user/DialogTemplate.h"

#include <cstring>

namespace user {

namespace {

// Writes the template as WORDs; DWORD values go low word first, as the host lays them out.
class Writer {
public:
    void Word(WORD value) { m_words.push_back(value); }
    void Dword(DWORD value) {
        Word(static_cast<WORD>(value & 0xFFFF));
        Word(static_cast<WORD>(value >> 16));
    }
    void Short(short value) { Word(static_cast<WORD>(value)); }
    void String(LPCWSTR text) {
        if (text)
            for (const WCHAR* p = text; *p; ++p)
                Word(*p);
        Word(0);
    }
    void NameOrOrdinal(LPCWSTR name) {
        if (!name) {
            Word(0);
            return;
        }
        if (IS_INTRESOURCE(name)) {
            Word(0xFFFF);
            Word(static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name)));
            return;
        }
        String(name);
    }
    void AlignToDword() {
        if (m_words.size() % 2)
            Word(0);
    }
    const std::vector<WORD>& Words() const { return m_words; }

private:
    std::vector<WORD> m_words;
};

} // namespace

DialogTemplateBytes::DialogTemplateBytes(const DialogDescription& dialog, std::span<const DialogItem> items) {
    Writer out;
    DWORD style = dialog.style;
    if (dialog.fontName)
        style |= DS_SETFONT;
    out.Dword(style);
    out.Dword(dialog.exStyle);
    out.Word(static_cast<WORD>(items.size()));
    out.Short(dialog.x);
    out.Short(dialog.y);
    out.Short(dialog.cx);
    out.Short(dialog.cy);
    out.Word(0); // no menu
    out.NameOrOrdinal(dialog.className);
    out.String(dialog.caption);
    if (style & DS_SETFONT) {
        out.Word(dialog.pointSize);
        out.String(dialog.fontName);
    }
    for (const DialogItem& item : items) {
        out.AlignToDword();
        out.Dword(item.style | WS_CHILD | (item.hidden ? 0 : WS_VISIBLE));
        out.Dword(item.exStyle);
        out.Short(item.x);
        out.Short(item.y);
        out.Short(item.cx);
        out.Short(item.cy);
        out.Word(item.id);
        out.NameOrOrdinal(item.className);
        out.NameOrOrdinal(item.text ? item.text : u"");
        out.Word(0); // no creation data
    }
    const auto& words = out.Words();
    m_size = words.size() * sizeof(WORD);
    m_words.assign((m_size + 3) / 4, 0);
    std::memcpy(m_words.data(), words.data(), m_size);
}

} // namespace user
