#pragma once
// A simulated CANopen slave on a simulated bus: a scripted bus node that
// behaves as a CiA 301 device with a CiA 402 drive profile.
//
//   auto *node = static_cast<CanopenNode *>(bus.addNode(std::make_unique<CanopenNode>(5)));
//   node->loadEds("drive.eds");   // before it joins, or under World::lock()
//
// What it does
// - Object dictionary read from an EDS file (CiA 306: [XXXX] objects,
//   [XXXXsubN] sub-objects, ObjectType, DataType, AccessType, DefaultValue
//   with $NODEID formulas, LowLimit, HighLimit, PDOMapping). Writes through
//   SDO respect access, data size and limits.
// - NMT: boot-up message, then pre-operational; start, stop, enter
//   pre-operational, reset node (dictionary to defaults) and reset
//   communication (0x1000-0x1FFF to defaults), for its own id or for all (0).
// - Heartbeat producer from 0x1017 (ms); node guarding answers to a remote
//   frame on 0x700+id with the state and a toggle bit, and life guarding
//   from 0x100C x 0x100D (EMCY 0x8130 when the master stops guarding).
// - SDO server on 0x600+id / 0x580+id: expedited upload and download of
//   1-4 byte values (uploads answered with or without size indication; an
//   answer without one carries stale non-zero bytes after the value, as a
//   device's buffer would), segmented upload of longer values (strings,
//   64-bit types), aborts with the CiA 301 codes both ways (a client's
//   abort closes the open transfer). Segmented downloads and block
//   transfers are answered with an abort.
// - PDOs from the communication (0x1400/0x1800) and mapping (0x1600/0x1A00)
//   objects: TPDOs on SYNC (types 0, 1-240, 252), on remote request (252,
//   253) and on change of their data (254, 255, with inhibit time and event
//   timer); RPDOs applied at once (254, 255) or at the next SYNC (0-240).
//   The configuration is strict, as CiA 301 allows: the COB-ID of a valid
//   PDO cannot change, and mapping entries, the mapping count, inhibit time
//   and SYNC start value cannot be written while the PDO is valid; mapping
//   entries only while the count is 0; a count is accepted only when its
//   entries exist, may be mapped and fit 64 bits.
// - EMCY on demand (also sent for a PDO shorter than its mapping).
// - CiA 402 drive: controlword 0x6040 drives the state machine shown in
//   statusword 0x6041; modes 0x6060/0x6061 (1 profile position, 3 profile
//   velocity, 4 profile torque); position 0x6064 and velocity 0x606C move
//   toward target position 0x607A / target velocity 0x60FF with profile
//   velocity 0x6081, acceleration 0x6083 and deceleration 0x6084; torque
//   0x6077 follows target torque 0x6071 at torque slope 0x6087. Shutdown
//   in Operation enabled switches the power stage off (Ready to switch on)
//   as shutdown option code 0x605B says: 0 (or no such object) at once, the
//   axis left to coast (it has no inertia here: it stands), 1 after braking
//   with the profile deceleration 0x6084.
//
// Time is the simulator's tick (plat::GetTickCount64). Like every bus node,
// it runs under the world lock; tests that touch it from another thread
// take World::lock() first.

#include "platform/PlatSim.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace plat::sim {

class CanopenNode final : public BusNode
{
public:
    enum class Nmt : uint8_t { Initialising = 0, Stopped = 4, Operational = 5, PreOperational = 0x7F };

    enum class Drive {
        NotReadyToSwitchOn,
        SwitchOnDisabled,
        ReadyToSwitchOn,
        SwitchedOn,
        OperationEnabled,
        QuickStopActive,
        FaultReactionActive,
        Fault,
    };

    explicit CanopenNode(uint8_t nodeId);

    // Reads the dictionary (replacing any before). False with *error set
    // when the file cannot be read or holds no object.
    bool loadEds(const std::string &path, std::string *error = nullptr);
    bool loadEdsText(const std::string &text, std::string *error = nullptr);

    void onFrame(Bus &bus, const CanFrame &frame) override;
    uint64_t nextDueMs() override;
    void tick(Bus &bus, uint64_t nowMs) override;

    uint8_t nodeId() const { return id_; }
    Nmt nmtState() const { return nmt_; }
    Drive driveState() const { return drive_; }

    // The dictionary as the application sees it (no access checks). Values
    // are the raw bits of the entry (at most 64). write() acts like the
    // device's own application changing the value: the drive and the PDOs
    // see it.
    bool has(uint16_t index, uint8_t sub) const;
    bool read(uint16_t index, uint8_t sub, uint64_t &value) const;
    uint64_t value(uint16_t index, uint8_t sub) const; // 0 when absent
    bool write(uint16_t index, uint8_t sub, uint64_t value);

    // Sends an EMCY frame now (pre-operational and operational only);
    // false when the node may not send it.
    bool emcy(Bus &bus, uint16_t errorCode, uint8_t errorRegister, const uint8_t manufacturer[5]);
    // The same at the node's next turn (for callers without the bus).
    void emcyRequest(uint16_t errorCode, uint8_t errorRegister, const uint8_t manufacturer[5]);
    // Puts the drive into Fault (as a drive error would), with an EMCY.
    void driveFaultRequest(uint16_t errorCode);

    // Expedited upload answers with the size indicated (0x43/47/4B/4F, the
    // default) or, as CiA 301 also allows, without (0x42: four bytes, the
    // ones after the value kUploadPadding).
    void setUploadSizeIndicated(bool on) { uploadSizeIndicated_ = on; }
    static constexpr uint8_t kUploadPadding = 0xA5;

    // The segmented upload open now (a client's abort or its last segment
    // closes it).
    bool segmentedUploadOpen() const { return segUpload_.open; }

    struct Counters
    {
        uint64_t sdoRequests = 0;
        uint64_t sdoAborts = 0;
        uint64_t tpdosSent = 0;
        uint64_t rpdosApplied = 0;
        uint64_t heartbeats = 0;
        uint64_t emcys = 0;
        uint32_t lastAbortCode = 0;
        uint64_t powerStageOffs = 0;   // Operation enabled left for a state without torque
        uint64_t clientAborts = 0;     // aborts the client sent
        uint32_t lastClientAbortCode = 0;
        uint64_t segmentedUploads = 0; // segmented uploads opened
    };
    const Counters &counters() const { return counters_; }

private:
    struct Entry
    {
        uint16_t index = 0;
        uint8_t sub = 0;
        uint16_t dataType = 7;
        bool readable = true;
        bool writable = false;
        bool mappable = false;
        bool hasLow = false;
        bool hasHigh = false;
        int64_t low = 0;
        int64_t high = 0;
        uint64_t value = 0;
        uint64_t defaultValue = 0;
        std::string text;        // string types
        std::string defaultText;
    };

    struct MapEntry
    {
        uint16_t index;
        uint8_t sub;
        uint8_t bits;
    };

    struct TpdoRun
    {
        int syncCount = 0;
        bool syncStarted = false;
        bool haveSent = false;
        uint64_t lastSentMs = 0;
        std::vector<uint8_t> lastData;
        std::vector<uint8_t> sampled; // type 252: data taken at the last SYNC
        bool haveSample = false;
        bool changed = false;         // type 0: data changed since sent
    };

    struct RpdoRun
    {
        bool pending = false;
        std::vector<uint8_t> data;
    };

    static uint32_t key(uint16_t index, uint8_t sub) { return (uint32_t(index) << 8) | sub; }
    static int typeBytes(uint16_t dataType);
    static bool typeSigned(uint16_t dataType);
    static bool typeString(uint16_t dataType);

    Entry *entry(uint16_t index, uint8_t sub);
    const Entry *entry(uint16_t index, uint8_t sub) const;
    bool objectExists(uint16_t index) const;

    void send(Bus &bus, uint32_t id, const std::vector<uint8_t> &data, bool rtr = false, bool ext = false);
    void bootUp(Bus &bus, uint64_t now);
    void resetCommunication();
    void resetApplication();
    void enterState(Nmt s, uint64_t now);

    void handleNmt(Bus &bus, const CanFrame &f, uint64_t now);
    void handleSdo(Bus &bus, const CanFrame &f, uint64_t now);
    void handleUploadSegment(Bus &bus, const uint8_t b[8]);
    void sdoAbort(Bus &bus, uint16_t index, uint8_t sub, uint32_t code);
    uint32_t sdoDownloadCheck(uint16_t index, uint8_t sub, uint64_t value, int size);
    void handleSync(Bus &bus, const CanFrame &f, uint64_t now);
    void handleGuard(Bus &bus, uint64_t now);

    // PDO helpers: n-th PDO of a kind (rx true: RPDO). The communication
    // object is 0x1400/0x1800 + n, the mapping object 0x1600/0x1A00 + n.
    static uint16_t commIndex(bool rx, int n) { return uint16_t((rx ? 0x1400 : 0x1800) + n); }
    static uint16_t mapIndex(bool rx, int n) { return uint16_t((rx ? 0x1600 : 0x1A00) + n); }
    bool pdoValid(bool rx, int n) const;
    uint32_t pdoCobId(bool rx, int n) const;
    uint8_t pdoType(bool rx, int n) const;
    std::vector<MapEntry> pdoMapping(bool rx, int n) const;
    std::vector<uint8_t> tpdoData(int n) const;
    void sendTpdo(Bus &bus, int n, const std::vector<uint8_t> &data, uint64_t now);
    void applyRpdo(Bus &bus, int n, const std::vector<uint8_t> &data, uint64_t now);
    void checkEventTpdos(Bus &bus, uint64_t now);
    uint32_t mappingEntryCheck(bool rx, uint32_t entryValue) const;
    uint32_t mappingCountCheck(bool rx, int n, uint64_t count) const;

    // A value change from SDO, RPDO or write(), and what follows from it.
    void setValue(Entry &e, uint64_t v, uint64_t now);
    void applied(uint16_t index, uint8_t sub, uint64_t now);

    // CiA 402
    void controlword(uint16_t cw, uint64_t now);
    void setDrive(Drive d);
    // Statusword 0x6041 and the actual values 0x6064, 0x606C, 0x6077.
    void updateStatusword();
    void publishMotion();
    void motion(uint64_t now);
    bool driveMoving() const;

    uint8_t id_;
    std::map<uint32_t, Entry> od_;
    std::vector<int> rpdos_; // n of every RPDO communication object present
    std::vector<int> tpdos_;
    std::map<int, TpdoRun> tpdoRun_;
    std::map<int, RpdoRun> rpdoRun_;

    Nmt nmt_ = Nmt::Initialising;
    bool bootPending_ = true;
    bool sending_ = false;
    uint64_t nextHeartbeatMs_ = UINT64_MAX;
    bool guardToggle_ = false;
    bool guarded_ = false;
    bool lifeGuardFired_ = false;
    uint64_t lastGuardMs_ = 0;
    struct PendingEmcy
    {
        uint16_t code;
        uint8_t reg;
        uint8_t msef[5];
    };
    std::vector<PendingEmcy> emcyQueue_;

    Drive drive_ = Drive::NotReadyToSwitchOn;
    uint16_t lastControlword_ = 0;
    bool setPointActive_ = false;   // profile position: a set-point is being run
    double positionTarget_ = 0;
    double position_ = 0;
    double velocity_ = 0;
    double torque_ = 0;
    uint64_t lastMotionMs_ = 0;

    Counters counters_;
    bool uploadSizeIndicated_ = true;

    // The segmented upload in progress (one at a time, as CiA 301 has it
    // for one SDO channel).
    struct SegmentedUpload
    {
        bool open = false;
        uint16_t index = 0;
        uint8_t sub = 0;
        std::vector<uint8_t> data;
        size_t sent = 0;
        bool toggle = false;
    } segUpload_;
    // Braking before the power stage goes off (shutdown option code 1).
    bool shutdownRamp_ = false;
};

// The CANopen node with this id on a bus (the "canopen" statement of
// World::loadConfig puts them there); null when there is none. Take
// World::lock() while threads run.
CanopenNode *findCanopenNode(World &world, const std::string &bus, uint8_t nodeId);

} // namespace plat::sim
