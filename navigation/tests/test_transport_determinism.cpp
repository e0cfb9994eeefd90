// A thousand vehicles on a road grid, without scripts: a fixed run gives a committed state hash, and a copy
// made through the transport records (with each vehicle's transform, as the game saves its objects) runs in
// lockstep with the original.
#include "byte_stream.h"
#include "navigation/grid_router.h"
#include "navigation/pass_map.h"
#include "navigation/route.h"
#include "navigation/transport_mover.h"

#include <gtest/gtest.h>

#include <random>

namespace {

class Vehicle final : public IPositionable {
public:
    void* QueryInterface(InterfaceId id) override { return queryAmong<IPositionable>(this, id); }
    void SetPosition(const Matrix3& position) override { m_position = position; }
    Matrix3 GetPosition() override { return m_position; }

private:
    Matrix3 m_position;
};

constexpr std::int16_t kSize = 128;
constexpr std::int32_t kSpacing = 8;

struct World {
    ComponentRef<PassMap> map = ComponentRef<PassMap>::adopt(new PassMap());
    ComponentRef<GridRouter> router = ComponentRef<GridRouter>::adopt(new GridRouter());
    ComponentRef<TransportMover> mover = ComponentRef<TransportMover>::adopt(new TransportMover());
    std::vector<ComponentRef<Vehicle>> vehicles;

    World() {
        map->resize(kSize, kSize); // paveRoads lays the roads
        Matrix3 transform;
        transform.m[0][0] = transform.m[1][1] = 16.0f;
        map->SetPosition(transform);
        router->Initialize(map.get());
        router->SetPassMask(2);
        mover->SetGridMap(map.get());
        mover->SetGridRouter(router.get());
        mover->SetSpeed(60.0f);
    }
    void addVehicle() {
        vehicles.push_back(ComponentRef<Vehicle>::adopt(new Vehicle()));
        mover->AddTransport(vehicles.back().get());
    }
};

// Roads (1) along every 8th row and column.
void paveRoads(World& world) {
    for (std::int32_t y = 0; y < kSize; ++y)
        for (std::int32_t x = 0; x < kSize; ++x)
            if (x % kSpacing == 0 || y % kSpacing == 0) world.map->SetCellValue(x, y, 1);
    world.router->Initialize(world.map.get());
}

// 1,000 vehicles from seeded road cells to seeded targets (paths of up to 199 steps).
void populate(World& world) {
    paveRoads(world);
    std::mt19937 random(2024);
    const auto roadCell = [&random]() {
        std::int32_t line = std::int32_t(random() % (kSize / kSpacing)) * kSpacing;
        std::int32_t along = std::int32_t(random() % kSize);
        return random() % 2 ? Vector2(float(line), float(along)) : Vector2(float(along), float(line));
    };
    auto cellRoute = ComponentRef<Route>::adopt(new Route());
    while (world.vehicles.size() < 1000) {
        Vector2 from = roadCell(), to = roadCell();
        if (cellRoute->InitFromRouter(world.router.get(), from, to, false) < 2) continue;
        world.addVehicle();
        IPositionable* v = world.vehicles.back().get();
        ASSERT_TRUE(world.mover->InitMoving(v, cellRoute.get()));
        world.mover->InitPosition(v);
        world.mover->SetMoving(v, true);
    }
}

TEST(TransportDeterminism, AThousandVehiclesGiveTheCommittedHash) {
    World world;
    populate(world);
    for (int tick = 0; tick < 400; ++tick) world.mover->Update(2, 16);
    EXPECT_EQ(world.mover->stateHash(), 0x4a85a3c56796add7ull);
}

TEST(TransportDeterminism, ASavedAndLoadedCopyRunsInLockstep) {
    World original;
    populate(original);
    for (int tick = 0; tick < 150; ++tick) original.mover->Update(2, 16);

    World copy;
    paveRoads(copy);
    ByteStream saved;
    for (auto& vehicle : original.vehicles)
        ASSERT_TRUE(original.mover->WriteTransportToStream(&saved, vehicle.get()));
    for (auto& vehicle : original.vehicles) {
        copy.addVehicle();
        copy.vehicles.back()->SetPosition(vehicle->GetPosition());
        ASSERT_TRUE(copy.mover->ReadTransportFromStream(&saved, copy.vehicles.back().get()));
    }
    EXPECT_EQ(saved.Available(), 0);
    ASSERT_EQ(copy.mover->stateHash(), original.mover->stateHash());
    for (int tick = 0; tick < 300; ++tick) {
        original.mover->Update(2, 16);
        copy.mover->Update(2, 16);
        ASSERT_EQ(copy.mover->stateHash(), original.mover->stateHash()) << "tick " << tick;
    }
}

} // namespace
