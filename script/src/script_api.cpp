#include "script/script_api.h"

ScriptApi& ScriptApi::instance() {
    static ScriptApi api;
    return api;
}

void ScriptApi::add(Install install, Release release) {
    if (install == nullptr || contains(install)) return;
    m_layers.push_back(Layer{install, release});
}

bool ScriptApi::contains(Install install) const {
    for (const Layer& layer : m_layers) {
        if (layer.install == install) return true;
    }
    return false;
}

void ScriptApi::installAll(HSQUIRRELVM v) const {
    for (const Layer& layer : m_layers) {
        SQInteger top = sq_gettop(v);
        layer.install(v);
        sq_settop(v, top);
    }
}

void ScriptApi::releaseAll() const {
    for (auto layer = m_layers.rbegin(); layer != m_layers.rend(); ++layer) {
        if (layer->release != nullptr) layer->release();
    }
}
