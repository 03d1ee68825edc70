#pragma once
// The simulated world: every adapter, bus and node, under one lock, and
// the topology file that KEMUSB_SIM_CONFIG names.

#include "platform/sim/Adapter.h"
#include "platform/sim/Bus.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace plat::sim {

class World
{
public:
    static World &instance();

    // Removes every adapter, bus and node (registered models stay) and marks
    // the world as configured.
    void reset();
    // One adapter of each registered model; its channels on one bus named
    // after the adapter (alias "<MODEL>.<index>").
    void loadDefault();
    // Configuration text, one statement a line ('#' starts a comment):
    //   bus NAME [nominal=BPS] [data=BPS]
    //   adapter MODEL|VVVV:PPPP [name=ALIAS] [busy=1] [openfail=1]
    //   attach ALIAS CHANNEL BUS
    //   periodic BUS id=HEX period=MS [ext=1] [rtr=1] [fd=1] [brs=1] [data=HEXBYTES] [count=N]
    //            [counter=BYTE] [vary=FROM-TO]   (byte indexes into data, counted from 0)
    //   answer BUS request=HEX [request_ext=1] id=HEX [ext=1] [fd=1] [brs=1] [data=HEXBYTES]
    //   canopen BUS node=ID eds=PATH   (a CANopen slave, sim/SimCanopenNode.h)
    // Adapters are numbered per VID:PID in the order of their lines; an
    // adapter without name= is called "<MODEL>.<index>". Channels not
    // attached go to a bus named after their adapter. false with *error set
    // (the world then stays empty) on a bad line.
    bool loadConfig(const std::string &text, std::string *error = nullptr);
    bool loadConfigFile(const std::string &path, std::string *error = nullptr);
    // The first use: KEMUSB_SIM_CONFIG, else the default.
    void ensureConfigured();
    // Forgets the topology and configures again as at the first use.
    void reconfigureFromEnvironment();

    Adapter *addAdapter(const std::string &model, const std::string &alias = {});
    Adapter *adapter(uint16_t vid, uint16_t pid, int index);
    Adapter *adapterByAlias(const std::string &alias);
    Adapter *adapterByUid(int uid);
    std::vector<Adapter *> adapters();
    Bus &bus(const std::string &name); // made on first use
    void attach(Adapter &a, int channel, const std::string &bus);

    std::recursive_mutex &lock() { return m_; }
    std::condition_variable_any &changed() { return cv_; }
    // Runs scheduled work that is due (nodes, model ticks, late data), and
    // the control file's new lines.
    void poll();
    // The control file that KEMUSB_SIM_CONTROL names, for a program that
    // runs on simulated adapters: lines appended to it ("unplug ALIAS",
    // "replug ALIAS"; '#' starts a comment) are carried out at the
    // transport's next enumeration or open (which look at once), or at a
    // read or write (which look at most once every kControlLookMs). What the
    // file holds when it is first looked at is taken as done; a file cut
    // shorter is read from its start again. now: look whatever the time
    // since the last look.
    static constexpr int kControlLookMs = 50;
    void controlPoll(bool now = false);
    // One control line; false (and nothing done) when it is not one.
    bool controlLine(const std::string &line, std::string *error = nullptr);
    uint64_t nextEventMs();

private:
    World();
    friend class Adapter;
    friend class Bus;
    friend class Channel;

    std::recursive_mutex m_;
    std::condition_variable_any cv_;
    std::vector<std::unique_ptr<Adapter>> adapters_;
    std::map<std::string, std::unique_ptr<Bus>> buses_;
    bool configured_ = false;
    int nextUid_ = 0;
    bool polling_ = false;
    bool controlLooked_ = false;
    std::string controlPath_;
    uint64_t controlOffset_ = 0; // bytes of the control file carried out
    std::chrono::steady_clock::time_point controlNext_{};
};

} // namespace plat::sim
