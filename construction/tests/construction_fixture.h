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
// (x, y). Golden images compare with tests/data/golden/<name>.png (the display, drawing, golden images and
// script helpers come from world/testing/scene_test.h).
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "binding/binding.h"
#include "binding/global_functions.h"
#include "component/class_names.h"
#include "component/component_registry.h"
#include "component/group_interfaces.h"
#include "construction/construction_classes.h"
#include "graphics/graphics_classes.h"
#include "graphics/tile_manager.h"
#include "graphics/tile_set.h"
#include "navigation/navigation_classes.h"
#include "navigation/pass_map.h"
#include "objects/camera.h"
#include "platform/kd.h"
#include "platform/kd_window.h"
#include "script/script_api.h"
#include "world/testing/scene_test.h"
#include "world/world_classes.h"

namespace construction::test {

enum : int { kTree, kStump, kHouse, kBurnt, kWaste, kRoads, kBrokenRoads = kRoads + 16 };

constexpr std::uint32_t kGrass = 0xFF4C8C3Cu;
using world::test_support::kBackground;

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

class ConstructionTest : public world::test_support::SceneTest {
protected:
    using TileDef = world::test_support::TileDef;

    void SetUp() override {
        enterScratchFolder("hh-construction");
        ComponentRegistry& registry = ComponentRegistry::instance();
        registerObjectModelClasses(registry);
        registerGraphicsClasses(registry);
        registerWorldClasses(registry);
        registerNavigationClasses(registry);
        registerConstructionClasses(registry);
        registerBindingScriptApi(ScriptApi::instance());
        registerObjectModelScriptApi(ScriptApi::instance());
        startScripts();
        ASSERT_TRUE(loadTiles(tileDefs()));
        useTexture(makeTexture());

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
        if (System* system = System::live()) {
            system->Shutdown();
        }
        m_system.reset();
        m_camera.reset();
        finishScene();
    }
    std::string goldenFolder() const override { return std::string(CONSTRUCTION_TEST_DATA) + "/golden"; }

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

    // ---- scripts
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

    ComponentRef<> m_system;
    ComponentRef<Camera> m_camera;
};

} // namespace construction::test
