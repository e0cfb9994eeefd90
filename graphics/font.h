#pragma once
// `Font`: a bitmap font read from a BMFont text description (".fnt") whose glyph images live on page
// textures obtained from the resource manager. It measures and draws UTF-8 text on one line and splits text
// into lines that fit a width. Created by class name "Font", normally through ResourceManager.GetFont.
//
// File rules: line 1 may set "charSpacing=N" (added to every advance); line 2 is the "common" line; one
// "page id=N file=\"name\"" line per page (names relative to the font's folder unless they begin with '/');
// "chars count=N" and N "char" lines; optionally "kernings count=N" and N "kerning first= second= amount="
// lines. A page count outside 0...kMaxPages, a page id outside the declared pages, a file name not in
// quotes, a glyph on an undeclared page or a glyph rectangle outside its page all fail the load with a log
// line (tag "Font"); so does any line that does not match its pattern. Lines may end in CR LF.
//
// Text rules: tab, line feed and carriage return have no glyph and no width; a character the font lacks is
// drawn as '-' when the font has one, else skipped. Kerning pairs move the second character of a pair.

#include <cstdint>
#include <string>
#include <vector>

#include "binding/binding_script_object.h"
#include "component/component_ref.h"
#include "component/media_interfaces.h"
#include "component/stream_interfaces.h"

class Font final : public IFont, public ILoadable, public ScriptObjectBase<Font> {
public:
    static constexpr char ScriptTypeName[] = "Font";
    // IsSymbolExists, GetWidth, GetHeight, SplitString.
    static const MethodTable& scriptMethods();
    // The most pages a font may declare.
    static constexpr std::int32_t kMaxPages = 256;

    struct Glyph {
        std::uint32_t codePoint = 0;
        float srcX = 0, srcY = 0, srcWidth = 0, srcHeight = 0; // page pixels
        float xOffset = 0, yOffset = 0, width = 0, height = 0;
        float advance = 0; // xadvance + charSpacing
        std::int32_t page = 0;
    };

    Font() = default;
    ~Font() override;

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IFont, ILoadable, IScriptObject>(this, id);
    }

    // IFont
    bool IsSymbolExists(std::uint32_t codePoint) override;
    std::int32_t GetWidth(const char* text) override;
    std::int32_t GetHeight() override;
    std::vector<std::string> SplitString(const char* text, std::int32_t width) override;
    void Draw(IGraphics* graphics, const char* text) override;
    // ILoadable
    bool LoadFromFile(const char* path) override;

    float lineHeight() const { return m_lineHeight; }
    float base() const { return m_base; }
    std::size_t glyphCount() const { return m_glyphs.size(); }
    // The glyph drawn for a character: its own, else the fallback ('-'), else null.
    const Glyph* glyphFor(std::uint32_t codePoint) const;
    // The pen movement between two characters drawn one after the other.
    float kerning(std::uint32_t first, std::uint32_t second) const;

private:
    struct Kerning {
        std::uint64_t pair = 0; // first << 32 | second
        float amount = 0;
    };
    const Glyph* findGlyph(std::uint32_t codePoint) const;
    // Width of the characters of [begin, end), kerning included.
    float measure(const char* begin, const char* end) const;
    void insertGlyph(const Glyph& glyph);

    std::vector<ComponentRef<ITexture>> m_pages;
    std::vector<Glyph> m_glyphs;     // sorted by code point
    std::vector<Kerning> m_kernings; // sorted by pair
    float m_lineHeight = 0;
    float m_base = 0;
    std::int32_t m_pageWidth = 0;
    std::int32_t m_pageHeight = 0;
};
