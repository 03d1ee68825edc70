#include "platform/sim/Model.h"

#include "platform/PlatGlobals.h"

#include <mutex>

namespace plat::sim {

namespace {

std::mutex g_modelMutex;
std::map<uint32_t, ModelInfo> *g_models = nullptr; // guarded by g_modelMutex

void releaseModels()
{
    std::lock_guard<std::mutex> g(g_modelMutex);
    delete g_models;
    g_models = nullptr;
}

std::map<uint32_t, ModelInfo> &modelTable() // g_modelMutex held
{
    if (!g_models) {
        g_models = new std::map<uint32_t, ModelInfo>;
        atRelease(&releaseModels);
    }
    return *g_models;
}

} // namespace

void registerModel(const ModelInfo &info)
{
    std::lock_guard<std::mutex> g(g_modelMutex);
    modelTable()[uint32_t(info.vid) << 16 | info.pid] = info;
}

std::vector<ModelInfo> registeredModels()
{
    std::lock_guard<std::mutex> g(g_modelMutex);
    std::vector<ModelInfo> out;
    for (auto &kv : modelTable())
        out.push_back(kv.second);
    return out;
}

void DeviceModel::onOut(uint8_t ep, const Bytes &data)
{
    auto it = handlers_.find(ep);
    if (it != handlers_.end() && it->second)
        it->second(data);
}

} // namespace plat::sim
