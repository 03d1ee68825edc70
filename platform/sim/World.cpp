#include "platform/sim/World.h"

#include "platform/PlatGlobals.h"
#include "platform/PlatTicks.h"
#include "platform/sim/EchoModel.h"
#include "platform/sim/SimCanopenNode.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace plat::sim {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

World *g_world = nullptr;
std::mutex g_worldMutex;
// Adapters of an earlier topology that a transport handle still points at.
std::vector<std::unique_ptr<Adapter>> *g_retiredAdapters = nullptr; // under the world lock

void releaseWorld()
{
    std::lock_guard<std::mutex> g(g_worldMutex);
    delete g_world;
    g_world = nullptr;
    delete g_retiredAdapters;
    g_retiredAdapters = nullptr;
}

} // namespace

World &World::instance()
{
    std::lock_guard<std::mutex> g(g_worldMutex);
    if (!g_world) {
        g_world = new World; // not a static object: device threads may outlive those
        g_retiredAdapters = new std::vector<std::unique_ptr<Adapter>>;
        atRelease(&releaseWorld);
    }
    return *g_world;
}

World::World() { registerEchoModel(); }

void World::reset()
{
    Guard g(m_);
    for (auto &a : adapters_) {
        a->unplug();
        // A handle (and a read waiting on it) may still point at the adapter.
        if (a->handles_ > 0)
            g_retiredAdapters->push_back(std::move(a));
    }
    adapters_.clear();
    buses_.clear();
    configured_ = true;
    cv_.notify_all();
}

void World::loadDefault()
{
    Guard g(m_);
    reset();
    for (const ModelInfo &m : registeredModels())
        addAdapter(m.name);
}

Adapter *World::addAdapter(const std::string &model, const std::string &alias)
{
    Guard g(m_);
    configured_ = true;
    std::vector<ModelInfo> models = registeredModels();
    const ModelInfo *found = nullptr;
    for (const ModelInfo &m : models)
        if (m.name == model)
            found = &m;
    unsigned v = 0, p = 0;
    char tail = 0;
    if (!found && std::sscanf(model.c_str(), "%x:%x%c", &v, &p, &tail) == 2) {
        for (const ModelInfo &m : models)
            if (m.vid == v && m.pid == p)
                found = &m;
    }
    if (!found)
        return nullptr;
    int index = 0;
    for (auto &a : adapters_)
        if (a->vid() == found->vid && a->pid() == found->pid)
            ++index;
    std::string name = alias.empty() ? found->name + "." + std::to_string(index) : alias;
    adapters_.emplace_back(new Adapter(*this, *found, index, nextUid_++, name));
    return adapters_.back().get();
}

Adapter *World::adapter(uint16_t vid, uint16_t pid, int index)
{
    Guard g(m_);
    for (auto &a : adapters_)
        if (a->vid() == vid && a->pid() == pid && a->index() == index)
            return a.get();
    return nullptr;
}

Adapter *World::adapterByAlias(const std::string &alias)
{
    Guard g(m_);
    for (auto &a : adapters_)
        if (a->alias() == alias)
            return a.get();
    return nullptr;
}

Adapter *World::adapterByUid(int uid)
{
    Guard g(m_);
    for (auto &a : adapters_)
        if (a->uid_ == uid)
            return a.get();
    return nullptr;
}

std::vector<Adapter *> World::adapters()
{
    Guard g(m_);
    std::vector<Adapter *> out;
    for (auto &a : adapters_)
        out.push_back(a.get());
    return out;
}

Bus &World::bus(const std::string &name)
{
    Guard g(m_);
    auto &slot = buses_[name];
    if (!slot)
        slot.reset(new Bus(*this, name));
    return *slot;
}

void World::attach(Adapter &a, int channel, const std::string &busName)
{
    Guard g(m_);
    bus(busName);
    a.channel(channel).bus_ = busName;
}

void World::poll()
{
    Guard g(m_);
    controlPoll();
    if (polling_)
        return;
    // Nothing scheduled (no bus node, no model timer): no clock to read.
    bool scheduled = false;
    for (auto &kv : buses_)
        scheduled = scheduled || !kv.second->nodes_.empty();
    for (auto &a : adapters_)
        scheduled = scheduled || (a->plugged_ && a->model_->nextTickMs() != UINT64_MAX);
    if (!scheduled)
        return;
    polling_ = true;
    const uint64_t now = GetTickCount64();
    for (auto &kv : buses_)
        for (size_t i = 0; i < kv.second->nodes_.size(); ++i)
            if (kv.second->nodes_[i]->nextDueMs() <= now)
                kv.second->nodes_[i]->tick(*kv.second, now);
    for (auto &a : adapters_)
        if (a->plugged_ && a->model_->nextTickMs() <= now)
            a->model_->onTick(now);
    polling_ = false;
}

uint64_t World::nextEventMs()
{
    Guard g(m_);
    uint64_t ev = UINT64_MAX;
    for (auto &kv : buses_)
        for (auto &n : kv.second->nodes_)
            ev = std::min(ev, n->nextDueMs());
    for (auto &a : adapters_)
        if (a->plugged_)
            ev = std::min(ev, a->model_->nextTickMs());
    return ev;
}

namespace {

uint64_t fileSize(const std::string &path)
{
    if (path.empty())
        return 0;
    std::ifstream f(path, std::ios::binary | std::ios::ate);
    if (!f)
        return 0;
    const std::streamoff n = f.tellg();
    return n > 0 ? uint64_t(n) : 0;
}

} // namespace

void World::controlPoll(bool now)
{
    Guard g(m_);
    // Real time, not the tick source: this is about a file outside.
    const auto t = std::chrono::steady_clock::now();
    if (!now && controlLooked_ && t < controlNext_)
        return;
    controlNext_ = t + std::chrono::milliseconds(kControlLookMs);
    const char *env = std::getenv("KEMUSB_SIM_CONTROL");
    const std::string path = env ? env : "";
    if (!controlLooked_ || path != controlPath_) {
        controlLooked_ = true;
        controlPath_ = path;
        controlOffset_ = fileSize(path);
        return;
    }
    if (path.empty())
        return;
    std::ifstream f(path, std::ios::binary | std::ios::ate);
    if (!f) {
        controlOffset_ = 0; // gone: a new one is read from its start
        return;
    }
    const std::streamoff end = f.tellg();
    const uint64_t size = end > 0 ? uint64_t(end) : 0;
    if (size < controlOffset_)
        controlOffset_ = 0;
    if (size == controlOffset_)
        return;
    std::string text(size_t(size - controlOffset_), '\0');
    f.seekg(std::streamoff(controlOffset_));
    f.read(&text[0], std::streamsize(text.size()));
    text.resize(size_t(f.gcount()));
    // Only whole lines: the last one may still be being written.
    const size_t last = text.rfind('\n');
    if (last == std::string::npos)
        return;
    controlOffset_ += last + 1;
    std::istringstream in(text.substr(0, last + 1));
    for (std::string line; std::getline(in, line);) {
        std::string err;
        if (!controlLine(line, &err))
            std::fprintf(stderr, "kemusb sim: %s: %s\n", path.c_str(), err.c_str());
    }
}

bool World::controlLine(const std::string &text, std::string *error)
{
    Guard g(m_);
    std::string line = text;
    const size_t hash = line.find('#');
    if (hash != std::string::npos)
        line.resize(hash);
    std::istringstream ls(line);
    std::vector<std::string> words;
    for (std::string w; ls >> w;)
        words.push_back(w);
    if (words.empty())
        return true;
    auto fail = [&](const std::string &msg) {
        if (error)
            *error = msg;
        return false;
    };
    if (words.size() != 2 || (words[0] != "unplug" && words[0] != "replug"))
        return fail("not a control line: " + text);
    Adapter *a = adapterByAlias(words[1]);
    if (!a)
        return fail("no adapter " + words[1]);
    if (words[0] == "unplug")
        a->unplug();
    else
        a->replug();
    return true;
}

void World::ensureConfigured()
{
    Guard g(m_);
    if (configured_)
        return;
    const char *cfg = std::getenv("KEMUSB_SIM_CONFIG");
    if (cfg && *cfg) {
        std::string err;
        if (loadConfigFile(cfg, &err))
            return;
        std::fprintf(stderr, "kemusb sim: %s: %s; using the default adapters\n", cfg, err.c_str());
    }
    loadDefault();
}

void World::reconfigureFromEnvironment()
{
    Guard g(m_);
    reset();
    configured_ = false;
    ensureConfigured();
}

namespace {

bool parseUint(const std::string &s, uint64_t *out)
{
    if (s.empty())
        return false;
    char *end = nullptr;
    unsigned long long v = std::strtoull(s.c_str(), &end, 0);
    if (!end || *end)
        return false;
    *out = v;
    return true;
}

bool parseHex(const std::string &s, uint64_t *out)
{
    std::string t = s;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X'))
        t = t.substr(2);
    if (t.empty() || t.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    *out = std::strtoull(t.c_str(), nullptr, 16);
    return true;
}

bool parseBytes(const std::string &s, CanFrame *f)
{
    std::string hex;
    for (char c : s)
        if (c != ',' && c != ':' && c != '.')
            hex += c;
    if (hex.size() % 2 || hex.size() / 2 > 64 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    f->len = uint8_t(hex.size() / 2);
    for (size_t i = 0; i < f->len; ++i)
        f->data[i] = uint8_t(std::strtoul(hex.substr(2 * i, 2).c_str(), nullptr, 16));
    return true;
}

} // namespace

bool World::loadConfig(const std::string &text, std::string *error)
{
    Guard g(m_);
    reset();
    struct Attach
    {
        std::string alias;
        int ch;
        std::string bus;
    };
    std::vector<Attach> attaches;
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    auto fail = [&](const std::string &msg) {
        if (error)
            *error = "line " + std::to_string(lineNo) + ": " + msg;
        reset();
        return false;
    };
    while (std::getline(in, line)) {
        ++lineNo;
        size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.resize(hash);
        std::istringstream ls(line);
        std::vector<std::string> words;
        std::map<std::string, std::string> kv;
        for (std::string w; ls >> w;) {
            size_t eq = w.find('=');
            if (eq != std::string::npos)
                kv[w.substr(0, eq)] = w.substr(eq + 1);
            else
                words.push_back(w);
        }
        if (words.empty())
            continue;
        const std::string &what = words[0];
        auto flag = [&](const char *k) { return kv.count(k) && kv[k] != "0"; };
        if (what == "bus") {
            if (words.size() != 2)
                return fail("bus needs a name");
            uint64_t nominal = 0, data = 0;
            if ((kv.count("nominal") && !parseUint(kv["nominal"], &nominal)) ||
                (kv.count("data") && !parseUint(kv["data"], &data)))
                return fail("bad rate");
            bus(words[1]).setRates(uint32_t(nominal), uint32_t(data));
        } else if (what == "adapter") {
            if (words.size() != 2)
                return fail("adapter needs a model");
            Adapter *a = addAdapter(words[1], kv.count("name") ? kv["name"] : std::string());
            if (!a)
                return fail("unknown model " + words[1]);
            a->busy_ = flag("busy");
            a->openFails_ = flag("openfail");
        } else if (what == "attach") {
            uint64_t ch = 0;
            if (words.size() != 4 || !parseUint(words[2], &ch))
                return fail("attach ALIAS CHANNEL BUS");
            attaches.push_back({words[1], int(ch), words[3]});
        } else if (what == "periodic" || what == "answer") {
            if (words.size() != 2)
                return fail(what + " needs a bus");
            CanFrame f;
            uint64_t id = 0;
            if (!kv.count("id") || !parseHex(kv["id"], &id))
                return fail("bad id");
            f.id = uint32_t(id);
            f.ext = flag("ext");
            f.rtr = flag("rtr");
            f.fd = flag("fd");
            f.brs = flag("brs");
            if (kv.count("data") && !parseBytes(kv["data"], &f))
                return fail("bad data");
            if (!f.fd && f.len > 8)
                return fail("classic frame longer than 8 bytes");
            if (what == "periodic") {
                uint64_t period = 0, count = 0;
                if (!kv.count("period") || !parseUint(kv["period"], &period) || period == 0)
                    return fail("bad period");
                if (kv.count("count") && !parseUint(kv["count"], &count))
                    return fail("bad count");
                FrameChanges changes;
                if (kv.count("counter")) {
                    uint64_t at = 0;
                    if (!parseUint(kv["counter"], &at) || at >= f.len)
                        return fail("counter outside the data");
                    changes.counter = int(at);
                }
                if (kv.count("vary")) {
                    const std::string &v = kv["vary"];
                    const size_t dash = v.find('-');
                    uint64_t from = 0, to = 0;
                    if (dash == std::string::npos || !parseUint(v.substr(0, dash), &from) ||
                        !parseUint(v.substr(dash + 1), &to) || from > to || to >= f.len)
                        return fail("vary outside the data");
                    changes.varyFrom = int(from);
                    changes.varyTo = int(to);
                }
                bus(words[1]).addNode(
                    std::unique_ptr<BusNode>(new PeriodicNode(f, uint32_t(period), count, changes)));
            } else {
                uint64_t req = 0;
                if (!kv.count("request") || !parseHex(kv["request"], &req))
                    return fail("bad request");
                bus(words[1]).addNode(std::unique_ptr<BusNode>(new AnswerNode(uint32_t(req), flag("request_ext"), f)));
            }
        } else if (what == "canopen") {
            uint64_t id = 0;
            if (words.size() != 2 || !kv.count("node") || !parseUint(kv["node"], &id) || id < 1 || id > 127)
                return fail("canopen BUS node=1..127 eds=PATH");
            auto node = std::make_unique<CanopenNode>(uint8_t(id));
            std::string why;
            if (!kv.count("eds") || !node->loadEds(kv["eds"], &why))
                return fail("canopen: " + (why.empty() ? std::string("no eds") : why));
            bus(words[1]).addNode(std::move(node));
        } else {
            return fail("unknown statement " + what);
        }
    }
    for (const Attach &at : attaches) {
        Adapter *a = adapterByAlias(at.alias);
        if (!a)
            return fail("attach: no adapter " + at.alias);
        if (at.ch < 0 || at.ch >= a->channelCount())
            return fail("attach: no channel " + std::to_string(at.ch) + " on " + at.alias);
        attach(*a, at.ch, at.bus);
    }
    return true;
}

bool World::loadConfigFile(const std::string &path, std::string *error)
{
    std::ifstream f(path);
    if (!f) {
        if (error)
            *error = "cannot read the file";
        Guard g(m_);
        reset();
        return false;
    }
    std::stringstream ss;
    ss << f.rdbuf();
    return loadConfig(ss.str(), error);
}

} // namespace plat::sim
