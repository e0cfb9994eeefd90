#include "navigation/navigation_classes.h"

#include "component/class_names.h"
#include "component/component_factory.h"
#include "component/component_registry.h"
#include "navigation/grid_router.h"
#include "navigation/pass_map.h"
#include "navigation/route.h"
#include "navigation/transport_mover.h"
#include "navigation/tsp_solver.h"

void registerNavigationClasses(ComponentRegistry& registry) {
    registry.provideFactory(classId(ClassName::PassMap), &createComponent<PassMap>);
    registry.provideFactory(classId(ClassName::GridRouter), &createComponent<GridRouter>);
    registry.provideFactory(classId(ClassName::Route), &createComponent<Route>);
    registry.provideFactory(classId(ClassName::TransportMover), &createComponent<TransportMover>);
    registry.provideFactory(classId(ClassName::TSPSolver), &createSharedInstance<TSPSolver>);
}
