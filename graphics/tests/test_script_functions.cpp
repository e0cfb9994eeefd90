// The graphics layer's global script functions next to the application group, as the game sees them.
#include "binding/global_functions.h"
#include "graphics/graphics_classes.h"
#include "script/script_test.h"

namespace {

class GraphicsScriptFunctions : public ScriptTest {
protected:
    void addScriptApis(ScriptApi& api) override {
        registerBindingScriptApi(api);
        registerGraphicsScriptApi(api);
    }
    void afterHostCreated() override { registerApplicationFunctions(vm()); }
};

// Taken from the engine group's table of cast failures when the function moved to this layer.
TEST_F(GraphicsScriptFunctions, TextureFilterReportsAValueWithoutATexture) {
    run("::bare <- getComponent(\"Camera\");"); // any component without ITexture; null when not installed
    for (const char* check : {"TextureFilter_ColorMatrix(bare, Matrix4()) == null",
                              "TextureFilter_ColorMatrix(null, Matrix4()) == null"}) {
        EXPECT_TRUE(holds(check)) << check;
        std::string log = takeLog();
        std::string report = "error: can't cast to ITexture\n";
        EXPECT_EQ(log.substr(0, report.size()), report) << check;
        EXPECT_GT(log.size(), report.size()) << "the call stack follows: " << check;
    }
}

} // namespace
