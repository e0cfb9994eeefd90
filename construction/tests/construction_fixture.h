// The construction test bench: real OpenGL through SDL's offscreen driver (one 320 x 240 Display whose window
// delivers the injected input), a script host with the binding's and object model's globals, the registry
// with every class up to the construction tools, the live System (its input group is what the display hands
// pointer and key events to), and a small tile set made by the test:
//
//   0 tree     8 x 12 dark green block, anchor at its bottom middle
//   1 stump    6 x 4 brown block, anchor at its bottom middle
//   2 house    32 x 24 block with an outline in the drawing colour (a preview shows translucent), anchor at
//              its centre
//   3 burnt    8 x 6 grey block, anchor at its bottom middle
//   4 waste    8 x 4 purple block, anchor at its bottom middle
//   5 ... 20   road pieces for the neighbour masks 0 ... 15, 21 ... 36 broken road pieces (thin), drawn in
//   the
//              colour the road renderer sets (so a draft shows its colour), anchored at the cell centre
//
// The maps of the tests are PassMaps of 16-pixel cells with the cell codes of kMapScript, seen through a
// camera that makes UI = screen = world, so a pointer at UI (16 x + 8, 16 y + 8) is over the centre of cell
// (x, y). Golden images compare with tests/data/golden/<name>.png; a mismatch writes <name>.actual.png into
// the folder the test was started from, and HH_UPDATE_GOLDEN=1 rewrites the references.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "binding/binding.h"
#include "binding/global_functions.h"
#include "component/class_names.h"
#include "component/component_registry.h"
#include "component/group_interfaces.h"
#include "construction/construction_classes.h"
#include "graphics/display.h"
#include "graphics/graphics_classes.h"
#include "graphics/image_record.h"
#include "graphics/render_target.h"
#include "graphics/renderer.h"
#include "graphics/tile_manager.h"
#include "graphics/tile_set.h"
#include "navigation/navigation_classes.h"
#include "navigation/pass_map.h"
#include "objects/camera.h"
#include "objects/system.h"
#include "platform/kd.h"
#include "platform/kd_libraries.h"
#include "platform/kd_start.h"
#include "platform/kd_window.h"
#include "script/script_api.h"
#include "script/script_host.h"
#include "world/world_classes.h"

namespace construction::test {

enum : int { kTree, kStump, kHouse, kBurnt, kWaste, kRoads, kBrokenRoads = kRoads + 16 };

constexpr std::uint32_t kGrass = 0xFF4C8C3Cu;
constexpr std::uint32_t kBackground = 0xFF202020u;

// Cell codes as a game's map script defines them: forest levels 10 ... 13.
inline const char* const kMapScript =
    "mapScript <- ({ CELL_VALUE_Clean = 0, CELL_VALUE_Occupied = 1, CELL_VALUE_OccupiedByTransport = 2,"
    " CELL_VALUE_Plant = 3, CELL_VALUE_RoadBroken = 4, CELL_VALUE_Road = 5, CELL_VALUE_RoadIndestructible = "
    "6,"
    " CELL_VALUE_RoadConstruction = 7, CELL_VALUE_ForestBurnt = 8, CELL_VALUE_ForestCutted = 9,"
    " CELL_VALUE_ForestMin = 10, CELL_VALUE_ForestMax = 13, CELL_VALUE_Waste = 14, CELL_VALUE_RoadInvisible "
    "= 15 });";

enum Cell : std::uint8_t {
    Clean = 0,
    Occupied = 1,
    ByTransport = 2,
    Plant = 3,
    RoadBroken = 4,
    Road = 5,
    RoadIndestructible = 6,
    RoadConstruction = 7,
    ForestBurnt = 8,
    ForestCutted = 9,
    ForestMin = 10,
    ForestMax = 13,
    Waste = 14,
    RoadInvisible = 15,
};

inline std::vector<std::uint8_t> pngOf(const std::vector<std::uint32_t>& argb, int width, int height) {
    std::vector<std::uint8_t> raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = argb[static_cast<std::size_t>(y * width + x)];
            raw.insert(raw.end(),
                       {std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p), std::uint8_t(p >> 24)});
        }
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> packed(size);
    compress(packed.data(), &size, raw.data(), static_cast<uLong>(raw.size()));
    packed.resize(size);
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto be32 = [&png](std::uint32_t n) {
        png.insert(png.end(),
                   {std::uint8_t(n >> 24), std::uint8_t(n >> 16), std::uint8_t(n >> 8), std::uint8_t(n)});
    };
    auto chunk = [&](const char* type, const std::vector<std::uint8_t>& data) {
        be32(static_cast<std::uint32_t>(data.size()));
        std::vector<std::uint8_t> body(type, type + 4);
        body.insert(body.end(), data.begin(), data.end());
        png.insert(png.end(), body.begin(), body.end());
        be32(static_cast<std::uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
    };
    const auto w = static_cast<std::uint32_t>(width), h = static_cast<std::uint32_t>(height);
    chunk("IHDR", {std::uint8_t(w >> 24), std::uint8_t(w >> 16), std::uint8_t(w >> 8), std::uint8_t(w),
                   std::uint8_t(h >> 24), std::uint8_t(h >> 16), std::uint8_t(h >> 8), std::uint8_t(h), 8, 6,
                   0, 0, 0});
    chunk("IDAT", packed);
    chunk("IEND", {});
    return png;
}

class ConstructionTest : public ::testing::Test {
protected:
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 240;

    static void SetUpTestSuite() {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        ASSERT_EQ(0, SDL_InitSubSystem(SDL_INIT_VIDEO)) << SDL_GetError();
        s_display = dynamic_cast<Display*>(createSingleInstance<Display>());
        ASSERT_NE(nullptr, s_display);
        ASSERT_TRUE(s_display->Init(kWidth, kHeight));
        // The OpenGL driver's memory must stay reachable for the leak checker once the video layer stops.
        platform::keepLoadedLibraries();
    }
    static void TearDownTestSuite() {
        s_display->Shutdown();
        s_display->Release();
        s_display = nullptr;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    void SetUp() override {
        m_previous = std::filesystem::current_path();
        char pattern[] = "/tmp/hh-construction-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        m_root = pattern;
        std::filesystem::current_path(m_root);
        platform::startFileSystems();
        ComponentRegistry& registry = ComponentRegistry::instance();
        registerObjectModelClasses(registry);
        registerGraphicsClasses(registry);
        registerWorldClasses(registry);
        registerNavigationClasses(registry);
        registerConstructionClasses(registry);
        registerBindingScriptApi(ScriptApi::instance());
        registerObjectModelScriptApi(ScriptApi::instance());
        const char* arguments[] = {"harborhaven"};
        ScriptHost::create(1, arguments);
        ASSERT_NE(nullptr, ScriptHost::vm());
        kdSetLogHook(&ConstructionTest::capture, this);

        m_tiles =
            ComponentRef<TileManager>::adopt(dynamic_cast<TileManager*>(createSingleInstance<TileManager>()));
        ASSERT_TRUE(m_tiles);
        ASSERT_TRUE(loadTiles());
        m_texture = makeTexture();
        m_tiles->SetTexture(0, m_texture.get());

        // The live System whose input group gets the window's events, and a camera with UI = world.
        m_system = ComponentRegistry::instance().create(classId(ClassName::System));
        m_camera = ComponentRef<Camera>::adopt(new Camera);
        m_camera->SetPosition(Matrix3(Vector2{kWidth / 2.0f, kHeight / 2.0f}));
        m_camera->Apply(nullptr, Rect(0, 0, kWidth, kHeight));
        share("system", m_system.get());
        share("camera", m_camera.get());
        run(std::string("LAYER_PassMap <- 5; LAYER_Top <- 900;") + kMapScript);
    }
    void TearDown() override {
        // The builders and the map hold each other while a builder is one of the map's overlays.
        for (const char* name : {"builder", "map"}) {
            if (auto* part = queryInterface<IShutdownable>(component(name))) {
                part->Shutdown();
            }
        }
        kdSetLogHook(nullptr, nullptr);
        if (System* system = System::live()) {
            system->Shutdown();
        }
        m_system.reset();
        m_camera.reset();
        m_tiles->Shutdown();
        m_tiles.reset();
        m_texture.reset();
        ScriptHost::destroy();
        kdUnmountAll();
        std::filesystem::current_path(m_previous);
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }

    // ---- the tile set
    // One filled block of a tile: colour, offset from the anchor, size.
    static std::vector<std::uint16_t> block(std::uint32_t colour, int x, int y, int w, int h) {
        const auto s = [](int v) { return static_cast<std::uint16_t>(v); };
        return {TILEOP_Color,
                s(int(colour >> 16)),
                s(int(colour & 0xFFFF)),
                TILEOP_Offset,
                s(x),
                s(y),
                TILEOP_FillRect,
                s(w),
                s(h)};
    }
    struct TileDef {
        std::int16_t x, y, w, h; // the tile's rectangle around its anchor
        std::vector<std::uint16_t> words;
    };
    // A block in the colour the drawing context has (the road renderer's road and draft colours).
    static std::vector<std::uint16_t> plainBlock(int x, int y, int w, int h) {
        const auto s = [](int v) { return static_cast<std::uint16_t>(v); };
        return {TILEOP_Offset, s(x), s(y), TILEOP_FillRect, s(w), s(h)};
    }
    // A road piece for a neighbour mask (1 left, 2 right, 4 up, 8 down), anchored at the cell centre: a
    // centre square and an arm to each connected side, 6 pixels wide for a road and 2 for a broken one.
    static TileDef roadTile(int mask, bool broken) {
        const int half = broken ? 1 : 3;
        TileDef t{-8, -8, 16, 16, plainBlock(-half, -half, 2 * half, 2 * half)};
        const int arms[4][4] = {{-8, -half, 8 - half, 2 * half},
                                {half, -half, 8 - half, 2 * half},
                                {-half, -8, 2 * half, 8 - half},
                                {-half, half, 2 * half, 8 - half}};
        for (int side = 0; side < 4; ++side) {
            if ((mask & (1 << side)) != 0) {
                const auto arm = plainBlock(arms[side][0], arms[side][1], arms[side][2], arms[side][3]);
                t.words.insert(t.words.end(), arm.begin(), arm.end());
            }
        }
        return t;
    }
    static std::vector<TileDef> tileDefs() {
        std::vector<TileDef> tiles = {
            {-4, -12, 8, 12, block(0xFF1E5A28u, -4, -12, 8, 12)},
            {-3, -4, 6, 4, block(0xFF7A4A20u, -3, -4, 6, 4)},
            {-16, -12, 32, 24, plainBlock(-16, -12, 32, 24)},
            {-4, -6, 8, 6, block(0xFF606060u, -4, -6, 8, 6)},
            {-4, -4, 8, 4, block(0xFF8040A0u, -4, -4, 8, 4)},
        };
        const std::vector<std::uint16_t> outline = {TILEOP_Offset, 0xFFF0, 0xFFF4, TILEOP_Rect, 32, 24};
        tiles[kHouse].words.insert(tiles[kHouse].words.end(), outline.begin(), outline.end());
        for (int broken = 0; broken < 2; ++broken) {
            for (int mask = 0; mask < 16; ++mask) {
                tiles.push_back(roadTile(mask, broken != 0));
            }
        }
        return tiles;
    }
    static std::vector<std::uint8_t> encodeTiles() {
        const std::vector<TileDef> tiles = tileDefs();
        std::vector<std::uint8_t> out;
        auto put16 = [&](std::uint32_t v) {
            out.push_back(static_cast<std::uint8_t>(v));
            out.push_back(static_cast<std::uint8_t>(v >> 8));
        };
        put16(static_cast<std::uint32_t>(tiles.size()));
        std::uint32_t end = 0;
        for (const TileDef& t : tiles) {
            for (std::int16_t v : {t.x, t.y, t.w, t.h}) {
                put16(static_cast<std::uint16_t>(v));
            }
            end += static_cast<std::uint32_t>(t.words.size());
            put16(end & 0xFFFF);
            put16(end >> 16);
        }
        for (const TileDef& t : tiles) {
            for (std::uint16_t word : t.words) {
                put16(word);
            }
        }
        return out;
    }
    bool loadTiles() {
        const auto bytes = encodeTiles();
        std::ofstream("tiles.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return m_tiles->LoadFromFile("tiles.bin");
    }
    static ComponentRef<ITexture> makeTexture() {
        ComponentRef<ITexture> texture = s_display->CreateTexture();
        std::uint32_t* p = texture->Lock(0, 0, 16, 16, false);
        std::fill(p, p + 16 * 16, 0xFFFFFFFFu);
        texture->Unlock();
        return texture;
    }

    // ---- input through the platform queue and the display's window callback
    void post(KDint32 type, const KDEventData& data) {
        KDEvent* event = kdCreateEvent();
        ASSERT_NE(nullptr, event);
        event->type = type;
        event->userptr = s_display->GetWindow();
        event->data = data;
        kdPostEvent(event);
        kdPumpEvents();
    }
    void pointer(KDint32 index, KDint32 select, int x, int y) {
        KDEventData data{};
        data.inputpointer = {index, select, x, y};
        post(KD_EVENT_INPUT_POINTER, data);
    }
    // The pointer over the centre of cell (x, y) of a 16-pixel grid at the origin.
    void moveTo(int x, int y) { pointer(KD_INPUT_POINTER_X, 0, 16 * x + 8, 16 * y + 8); }
    void press(int x, int y) {
        pointer(KD_INPUT_POINTER_SELECT, KD_INPUT_POINTER_BUTTON_LEFT, 16 * x + 8, 16 * y + 8);
    }
    void release(int x, int y) { pointer(KD_INPUT_POINTER_SELECT, 0, 16 * x + 8, 16 * y + 8); }
    void key(KDint32 index, bool down) {
        KDEventData data{};
        data.input.index = index;
        data.input.value = down ? 1 : 0;
        post(KD_EVENT_INPUT, data);
    }

    // ---- drawing
    // Draws `body` into a cleared target seen through `view`, and reads it back.
    template <class F> std::vector<std::uint32_t> draw(int width, int height, ICamera* view, F&& body) {
        auto target = s_display->CreateRenderTarget(width, height);
        IGraphics* g = target->Begin(view);
        EXPECT_NE(nullptr, g);
        if (g == nullptr) {
            return {};
        }
        g->Clear(kBackground);
        body(*g);
        target->End();
        auto* rt = static_cast<RenderTarget*>(target.get());
        std::vector<std::uint32_t> out(static_cast<std::size_t>(width * height));
        EXPECT_TRUE(Gfx_ReadPixels(rt->deviceTarget(), 0, 0, width, height, out.data()));
        return out;
    }
    static std::uint32_t at(const std::vector<std::uint32_t>& p, int width, int x, int y) {
        return p[static_cast<std::size_t>(y * width + x)];
    }
    void expectGolden(const std::string& name, const std::vector<std::uint32_t>& argb, int width,
                      int height) {
        const std::string path = std::string(CONSTRUCTION_TEST_DATA) + "/golden/" + name + ".png";
        const auto png = pngOf(argb, width, height);
        auto write = [](const std::string& file, const std::vector<std::uint8_t>& bytes) {
            std::ofstream(file, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
        };
        if (const char* update = std::getenv("HH_UPDATE_GOLDEN"); update != nullptr && update[0] == '1') {
            std::filesystem::create_directories(std::filesystem::path(path).parent_path());
            write(path, png);
            return;
        }
        std::ifstream in(path, std::ios::binary);
        const std::vector<std::uint8_t> expected((std::istreambuf_iterator<char>(in)),
                                                 std::istreambuf_iterator<char>());
        ImageRecord* image = ReadImageFromMemory(expected.data(), expected.size());
        bool same = image != nullptr && image->width == width && image->height == height &&
                    image->format == IMAGE_FORMAT_RGBA8;
        int worst = 0;
        for (std::size_t i = 0; same && i < argb.size(); ++i) {
            const std::uint32_t p = argb[i];
            const std::uint8_t actual[4] = {std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p),
                                            std::uint8_t(p >> 24)};
            for (int c = 0; c < 4; ++c) {
                worst = std::max(worst, std::abs(int(actual[c]) - int(image->pixels[i * 4 + c])));
            }
        }
        same = same && worst <= 2;
        FreeImage(image);
        if (!same) {
            write((m_previous / (name + ".actual.png")).string(), png);
        }
        EXPECT_TRUE(same) << name << " differs from " << path << " (largest difference " << worst << ")";
    }

    // ---- scripts
    ScriptValue run(const std::string& text) {
        return ScriptHost::callClosure(ScriptHost::compileBuffer(text.c_str()));
    }
    std::string text(const std::string& expression) {
        run("::textResult <- \"\" + (" + expression + ");");
        const char* result = ScriptHost::getString(ScriptHost::root(), "textResult");
        return result != nullptr ? result : "<error>";
    }
    void share(const char* name, IAbstract* component) {
        pushComponent(ScriptHost::vm(), component);
        ScriptHost::setValue(ScriptHost::root(), name, ScriptValue::fromStack(-1));
        sq_pop(ScriptHost::vm(), 1);
    }
    IAbstract* component(const char* name) {
        HSQUIRRELVM v = ScriptHost::vm();
        const SQInteger top = sq_gettop(v);
        ScriptHost::getSlot(ScriptHost::root(), name).push();
        IAbstract* result = componentArgument(v, -1);
        sq_settop(v, top);
        return result;
    }
    // A pass map `map` of width x height cells (rows of characters: '.' clean, '#' occupied, 'T' by
    // transport, 'p' plant, 'b' broken road, 'r' road, 'R' indestructible road, 'c' road construction, 'x'
    // burnt, 'k' cut forest, '1'...'4' forest levels, 'w' waste, 'i' invisible road), 16-pixel cells at the
    // origin.
    IGridMap* makeMap(const std::vector<std::string>& rows) {
        const int height = static_cast<int>(rows.size());
        const int width = height > 0 ? static_cast<int>(rows[0].size()) : 0;
        run("map <- getComponent(\"PassMap\"); loadFromScript(map, mapScript);");
        auto* map = queryInterface<IGridMap>(component("map"));
        if (map == nullptr) {
            ADD_FAILURE() << "no map";
            return nullptr;
        }
        map->SetPosition(Matrix3(Vector2{16.0f, 0.0f}, Vector2{0.0f, 16.0f}, Vector2{0.0f, 0.0f}));
        std::vector<std::uint8_t> cells;
        for (const std::string& row : rows) {
            for (char c : row) {
                cells.push_back(cellOf(c));
            }
        }
        auto* native = dynamic_cast<PassMap*>(map);
        EXPECT_NE(nullptr, native);
        if (native != nullptr) {
            native->resize(static_cast<std::int16_t>(width), static_cast<std::int16_t>(height), cells.data());
        }
        return map;
    }
    static std::uint8_t cellOf(char c) {
        switch (c) {
        case '#':
            return Occupied;
        case 'T':
            return ByTransport;
        case 'p':
            return Plant;
        case 'b':
            return RoadBroken;
        case 'r':
            return Road;
        case 'R':
            return RoadIndestructible;
        case 'c':
            return RoadConstruction;
        case 'x':
            return ForestBurnt;
        case 'k':
            return ForestCutted;
        case 'w':
            return Waste;
        case 'i':
            return RoadInvisible;
        default:
            return c >= '1' && c <= '4' ? static_cast<std::uint8_t>(ForestMin + (c - '1'))
                                        : std::uint8_t{Clean};
        }
    }
    // The map's cells as rows of the characters above.
    std::string rowsOf(IGridMap* map) {
        static const char kChars[] = ".#Tpbrrcxk1234wi";
        std::string out;
        for (int y = 0; y < map->GetHeight(); ++y) {
            for (int x = 0; x < map->GetWidth(); ++x) {
                const int v = map->GetCellValue(x, y);
                out += v == RoadIndestructible ? 'R' : (v >= 0 && v < 16 ? kChars[v] : '?');
            }
            out += '\n';
        }
        return out;
    }

    static void capture(const KDchar* line, void* self) {
        static_cast<ConstructionTest*>(self)->m_log += line;
    }
    std::string takeLog() { return std::exchange(m_log, std::string()); }

    static inline Display* s_display = nullptr;
    std::filesystem::path m_previous;
    std::filesystem::path m_root;
    ComponentRef<TileManager> m_tiles;
    ComponentRef<ITexture> m_texture;
    ComponentRef<> m_system;
    ComponentRef<Camera> m_camera;
    std::string m_log;
};

} // namespace construction::test
