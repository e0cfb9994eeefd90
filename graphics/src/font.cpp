// Bitmap fonts: the BMFont text reader, measuring, drawing and word wrap.
#include "graphics/font.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "binding/binding.h"
#include "component/class_names.h"
#include "component/component_registry.h"
#include "component/engine_interfaces.h"
#include "graphics/utf8.h"
#include "platform/kd.h"
#include "platform/kd_file.h"

namespace {

constexpr char kTag[] = "Font";
// A font description is a few hundred lines; anything far beyond that is not one.
constexpr KDsize kMaxFileSize = 16u << 20;
constexpr std::int32_t kMaxGlyphs = 1 << 20;

bool hasNoWidth(std::uint32_t c) {
    return c == '\t' || c == '\n' || c == '\r';
}

std::int32_t roundHalfUp(float value) {
    return static_cast<std::int32_t>(std::floor(value + 0.5f));
}

// The whole file as text, or false.
bool readWholeFile(const char* path, std::string& text) {
    KDFile* file = kdFopen(path, "rt");
    if (file == nullptr) {
        return false;
    }
    char buffer[4096];
    bool ok = true;
    for (;;) {
        const KDsize got = kdFread(buffer, 1, sizeof buffer, file);
        text.append(buffer, got);
        if (text.size() > kMaxFileSize) {
            ok = false;
            break;
        }
        if (got < sizeof buffer) {
            ok = kdFerror(file) == 0;
            break;
        }
    }
    kdFclose(file);
    return ok;
}

// Splits into lines without their CR LF ends.
class LineReader {
public:
    explicit LineReader(const std::string& text) : m_text(text) {}
    bool next(std::string& line) {
        if (m_pos >= m_text.size()) {
            return false;
        }
        std::size_t end = m_text.find('\n', m_pos);
        if (end == std::string::npos) {
            end = m_text.size();
        }
        line.assign(m_text, m_pos, end - m_pos);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
            line.pop_back();
        }
        m_pos = end + 1;
        return true;
    }

private:
    const std::string& m_text;
    std::size_t m_pos = 0;
};

ComponentRef<ITexture> pageTexture(const std::string& path) {
    ComponentRef<IResourceManager> manager =
        ComponentRegistry::instance().create(classId(ClassName::ResourceManager)).query<IResourceManager>();
    if (!manager) {
        return nullptr;
    }
    return manager->GetTexture(path.c_str()).query<ITexture>();
}

bool isSymbolExistsFromScript(Font& font, SQInteger codePoint) {
    return font.IsSymbolExists(static_cast<std::uint32_t>(codePoint));
}

std::int32_t getWidthFromScript(Font& font, const char* text) {
    return font.GetWidth(text);
}

std::int32_t getHeightFromScript(Font& font) {
    return font.GetHeight();
}

// SplitString(text, maximum width) -> array of strings.
SQInteger splitStringFromScript(HSQUIRRELVM v) {
    Font* font = componentReceiver<Font>(v, 1);
    if (font == nullptr) {
        return sq_throwerror(v, "SplitString: not a font");
    }
    ComponentRef<IAbstract> hold(font);
    const char* text = binding_detail::readText(v, 2);
    SQInteger width = 0;
    binding_detail::readInteger(v, 3, width);
    const std::vector<std::string> lines = font->SplitString(text, static_cast<std::int32_t>(width));
    sq_newarray(v, 0);
    for (const std::string& line : lines) {
        sq_pushstring(v, line.data(), static_cast<SQInteger>(line.size()));
        sq_arrayappend(v, -2);
    }
    return 1;
}

} // namespace

const MethodTable& Font::scriptMethods() {
    static const MethodTable table{
        scriptMethod<Font>("IsSymbolExists", &isSymbolExistsFromScript),
        scriptMethod<Font>("GetWidth", &getWidthFromScript),
        scriptMethod<Font>("GetHeight", &getHeightFromScript),
        scriptMethodRaw("SplitString", &splitStringFromScript),
    };
    return table;
}

Font::~Font() = default;

const Font::Glyph* Font::findGlyph(std::uint32_t codePoint) const {
    auto it = std::lower_bound(m_glyphs.begin(), m_glyphs.end(), codePoint,
                               [](const Glyph& g, std::uint32_t c) { return g.codePoint < c; });
    return it != m_glyphs.end() && it->codePoint == codePoint ? &*it : nullptr;
}

const Font::Glyph* Font::glyphFor(std::uint32_t codePoint) const {
    if (hasNoWidth(codePoint)) {
        return nullptr;
    }
    if (const Glyph* glyph = findGlyph(codePoint)) {
        return glyph;
    }
    return findGlyph('-');
}

float Font::kerning(std::uint32_t first, std::uint32_t second) const {
    if (m_kernings.empty()) {
        return 0.0f;
    }
    const std::uint64_t pair = (std::uint64_t(first) << 32) | second;
    auto it = std::lower_bound(m_kernings.begin(), m_kernings.end(), pair,
                               [](const Kerning& k, std::uint64_t p) { return k.pair < p; });
    return it != m_kernings.end() && it->pair == pair ? it->amount : 0.0f;
}

void Font::insertGlyph(const Glyph& glyph) {
    auto it = std::lower_bound(m_glyphs.begin(), m_glyphs.end(), glyph.codePoint,
                               [](const Glyph& g, std::uint32_t c) { return g.codePoint < c; });
    if (it != m_glyphs.end() && it->codePoint == glyph.codePoint) {
        *it = glyph;
    } else {
        m_glyphs.insert(it, glyph);
    }
}

bool Font::IsSymbolExists(std::uint32_t codePoint) {
    return !hasNoWidth(codePoint) && findGlyph(codePoint) != nullptr;
}

float Font::measure(const char* begin, const char* end) const {
    float width = 0.0f;
    std::uint32_t previous = 0;
    for (const char* p = begin; p < end && *p != 0;) {
        std::size_t length = 0;
        const std::uint32_t c = decodeUtf8Char(p, length);
        p += length;
        if (const Glyph* glyph = glyphFor(c)) {
            width += kerning(previous, c) + glyph->advance;
            previous = c;
        }
    }
    return width;
}

std::int32_t Font::GetWidth(const char* text) {
    if (text == nullptr) {
        return 0;
    }
    return roundHalfUp(measure(text, text + std::strlen(text)));
}

std::int32_t Font::GetHeight() {
    return roundHalfUp(m_lineHeight);
}

void Font::Draw(IGraphics* graphics, const char* text) {
    if (graphics == nullptr || text == nullptr) {
        return;
    }
    float pen = 0.0f;
    std::uint32_t previous = 0;
    for (const char* p = text; *p != 0;) {
        std::size_t length = 0;
        const std::uint32_t c = decodeUtf8Char(p, length);
        p += length;
        const Glyph* glyph = glyphFor(c);
        if (glyph == nullptr) {
            continue;
        }
        pen += kerning(previous, c);
        previous = c;
        // A glyph whose page went away (a later load re-made the pages) keeps its place but draws nothing.
        if (glyph->page >= 0 && static_cast<std::size_t>(glyph->page) < m_pages.size() &&
            m_pages[static_cast<std::size_t>(glyph->page)]) {
            graphics->DrawTexture(m_pages[static_cast<std::size_t>(glyph->page)].get(),
                                  RectF(glyph->srcX, glyph->srcY, glyph->srcWidth, glyph->srcHeight),
                                  RectF(pen + glyph->xOffset, glyph->yOffset, glyph->width, glyph->height));
        }
        pen += glyph->advance;
    }
}

std::vector<std::string> Font::SplitString(const char* text, std::int32_t maxWidth) {
    std::vector<std::string> lines;
    if (text == nullptr) {
        return lines;
    }
    auto emit = [&](std::size_t begin, std::size_t end) {
        if (!lines.empty()) {
            while (begin < end && text[begin] == ' ') {
                ++begin;
            }
        }
        lines.emplace_back(text + begin, end - begin);
    };
    std::size_t lineStart = 0;
    std::size_t breakPos = 0; // a break counts only past the line start, so every line makes progress
    float width = 0.0f;
    std::uint32_t previous = 0;
    std::size_t pos = 0;
    for (;;) {
        if (text[pos] == 0) {
            emit(lineStart, pos);
            return lines;
        }
        std::size_t length = 0;
        const std::uint32_t c = decodeUtf8Char(text + pos, length);
        if (c == '\n') {
            emit(lineStart, pos);
            lineStart = pos + 1;
            breakPos = lineStart;
            width = 0.0f;
            previous = 0;
            pos = lineStart;
            continue;
        }
        if (c == ' ') {
            breakPos = pos;
        }
        if (const Glyph* glyph = glyphFor(c)) {
            width += kerning(previous, c) + glyph->advance;
            previous = c;
        }
        if (width <= static_cast<float>(maxWidth) || pos == lineStart) {
            pos += length;
            continue;
        }
        // The line overflows at this character.
        std::size_t end = pos;
        std::size_t next = c == ' ' ? pos + length : pos;
        if (breakPos > lineStart && breakPos != pos) {
            end = breakPos;
            next = breakPos;
        }
        emit(lineStart, end);
        // Spaces at the start of a wrapped line are dropped from it, so they take no room either.
        while (text[next] == ' ') {
            ++next;
        }
        lineStart = next;
        breakPos = lineStart;
        width = 0.0f;
        previous = 0;
        pos = next;
    }
}

bool Font::LoadFromFile(const char* path) {
    if (path == nullptr) {
        return false;
    }
    std::string text;
    if (!readWholeFile(path, text)) {
        return false;
    }
    // Page names are relative to the font's folder.
    std::string folder(path);
    const std::size_t slash = folder.rfind('/');
    folder.erase(slash == std::string::npos ? 0 : slash + 1);

    LineReader reader(text);
    std::string line;
    auto fail = [&](const char* what) {
        logError(kTag, "%s: %s: %s", path, what, line.c_str());
        return false;
    };

    // The info line.
    if (!reader.next(line)) {
        return false;
    }
    int charSpacing = 0;
    if (const std::size_t at = line.find("charSpacing"); at != std::string::npos) {
        if (std::sscanf(line.c_str() + at, "charSpacing=%d", &charSpacing) != 1) {
            return fail("bad charSpacing");
        }
    }

    int lineHeight = 0, base = 0, scaleW = 0, scaleH = 0, pages = 0;
    if (!reader.next(line) ||
        std::sscanf(line.c_str(), "common lineHeight=%d base=%d scaleW=%d scaleH=%d pages=%d", &lineHeight,
                    &base, &scaleW, &scaleH, &pages) != 5) {
        return fail("bad common line");
    }
    if (pages < 0 || pages > kMaxPages) {
        return fail("page count out of range");
    }
    m_lineHeight = static_cast<float>(lineHeight);
    m_base = static_cast<float>(base);
    m_pageWidth = scaleW;
    m_pageHeight = scaleH;
    m_pages.assign(static_cast<std::size_t>(pages), nullptr);

    for (int i = 0; i < pages; ++i) {
        int id = 0;
        char token[65] = {};
        if (!reader.next(line) || std::sscanf(line.c_str(), "page id=%d file=%64s", &id, token) != 2) {
            return fail("bad page line");
        }
        const std::size_t tokenLength = std::strlen(token);
        if (tokenLength < 2 || token[0] != '"' || token[tokenLength - 1] != '"') {
            return fail("page file name not in quotes");
        }
        if (id < 0 || id >= pages) {
            return fail("page id out of range");
        }
        std::string name(token + 1, tokenLength - 2);
        if (name.empty() || name[0] != '/') {
            name = folder + name;
        }
        ComponentRef<ITexture> texture = pageTexture(name);
        if (!texture) {
            return fail("page texture cannot be loaded");
        }
        m_pages[static_cast<std::size_t>(id)] = std::move(texture);
    }

    int count = 0;
    if (!reader.next(line) || std::sscanf(line.c_str(), "chars count=%d", &count) != 1 || count < 0 ||
        count > kMaxGlyphs) {
        return fail("bad chars line");
    }
    for (int i = 0; i < count; ++i) {
        int v[10] = {};
        if (!reader.next(line) ||
            std::sscanf(line.c_str(),
                        "char id=%d x=%d y=%d width=%d height=%d xoffset=%d yoffset=%d xadvance=%d page=%d "
                        "chnl=%d",
                        &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8], &v[9]) != 10) {
            return fail("bad char line");
        }
        if (v[0] < 0 || v[8] < 0 || v[8] >= pages || !m_pages[static_cast<std::size_t>(v[8])]) {
            return fail("glyph on a page the font does not declare");
        }
        // The rectangle must lie on its page (as declared, and as really loaded).
        ITexture* page = m_pages[static_cast<std::size_t>(v[8])].get();
        const std::int64_t pageW = std::max<std::int64_t>(scaleW, page->GetWidth());
        const std::int64_t pageH = std::max<std::int64_t>(scaleH, page->GetHeight());
        if (v[1] < 0 || v[2] < 0 || v[3] < 0 || v[4] < 0 || std::int64_t(v[1]) + v[3] > pageW ||
            std::int64_t(v[2]) + v[4] > pageH) {
            return fail("glyph rectangle outside its page");
        }
        Glyph glyph;
        glyph.codePoint = static_cast<std::uint32_t>(v[0]);
        glyph.srcX = static_cast<float>(v[1]);
        glyph.srcY = static_cast<float>(v[2]);
        glyph.srcWidth = static_cast<float>(v[3]);
        glyph.srcHeight = static_cast<float>(v[4]);
        glyph.width = static_cast<float>(v[3]);
        glyph.height = static_cast<float>(v[4]);
        glyph.xOffset = static_cast<float>(v[5]);
        glyph.yOffset = static_cast<float>(v[6]);
        glyph.advance = static_cast<float>(v[7] + charSpacing);
        glyph.page = v[8];
        insertGlyph(glyph);
    }

    // Optional kerning pairs.
    if (reader.next(line) && line.rfind("kernings", 0) == 0) {
        int pairs = 0;
        if (std::sscanf(line.c_str(), "kernings count=%d", &pairs) != 1 || pairs < 0 || pairs > kMaxGlyphs) {
            return fail("bad kernings line");
        }
        for (int i = 0; i < pairs; ++i) {
            int first = 0, second = 0, amount = 0;
            if (!reader.next(line) ||
                std::sscanf(line.c_str(), "kerning first=%d second=%d amount=%d", &first, &second, &amount) !=
                    3 ||
                first < 0 || second < 0) {
                return fail("bad kerning line");
            }
            m_kernings.push_back({(std::uint64_t(std::uint32_t(first)) << 32) | std::uint32_t(second),
                                  static_cast<float>(amount)});
        }
        std::stable_sort(m_kernings.begin(), m_kernings.end(),
                         [](const Kerning& a, const Kerning& b) { return a.pair < b.pair; });
    }

    logPlain(kTag, "Loaded %s (height: %i@%dx glyphs: %i)", path, static_cast<int>(m_lineHeight), 1,
             static_cast<int>(m_glyphs.size()));
    return true;
}
