#pragma once
// Record settings of the recording adapters TRND701 and TRND702: the models
// and their preset bit timings, one channel's settings as the dialog keeps
// them (QUserRecordChCfg), the records exchanged with kemusb's record
// functions (RecordSetting, RecordFliterRule, RecordFliterInfo, BoardInfo),
// the conversions between them and the check of settings read back.

#include "core/QUserFliterCfg.h" // QUserFliterRule

#include <QString>
#include <QStringList>
#include <QVector>

#include <cstddef>
#include <cstdint>

struct QUserRecordModel
{
    const char *name;
    int devType;       // kemusb device type number
    int channels;      // channel pages
    uint32_t clockMHz; // controller clock
    int presetRow;     // row of the preset tables
    bool canFd;        // the protocol list may leave "CAN"
};

// The model list in its order: 0 "TRND701", 1 "TRND702".
int recordModelCount();
// The entry of a list position; positions outside the list give entry 0.
const QUserRecordModel &recordModel(int pos);

// Preset words of a row: 7 arbitration words, 10 data words (the tenth,
// 50 kbit/s, has no list text of its own).
const QVector<uint32_t> &recordArbWords(int row);
const QVector<uint32_t> &recordDataWords(int row);
// List texts: 8 arbitration and 10 data entries, each ending in "自定义".
QStringList recordArbTexts();
QStringList recordDataTexts();

struct QUserRecordChCfg
{
    QString baudText;
    uint8_t fd = 0;
    uint8_t iso = 0;
    uint8_t listenOnly = 0;
    uint8_t customTiming = 0;
    uint8_t channelOn = 0;
    uint8_t fliterEnable = 0;
    uint8_t fileFormat = 0;     // 0 ASC, 1 TXT, 2 CAN, 3 CSV
    uint8_t fileInterval = 10;  // minutes
    uint8_t diskPolicy = 0;     // 0 delete old records, 1 stop
    uint32_t clockA = 0;        // MHz
    uint32_t clockB = 0;
    uint32_t arbWord = 0;
    uint32_t dataWord = 0;
    QVector<QUserFliterRule> rules;

    // Model clock for both phases and the position-0 words of its row.
    void modelDefaultsSet(const QUserRecordModel &m);
};

// kemusb's records; multi-byte fields little-endian, the caller allocates.
struct RecordSetting
{
    uint8_t unused0 = 0;
    uint8_t fd = 0;
    uint8_t iso = 0;
    uint8_t listenOnly = 0;
    uint8_t clockA = 0; // MHz, low 8 bits
    uint8_t clockB = 0;
    uint8_t unused6[2] = {0, 0};
    uint32_t arbWord = 0;
    uint32_t dataWord = 0;
    uint8_t customTiming = 0;
    uint8_t fileFormat = 0;
    uint8_t fileInterval = 0;
    uint8_t channelOn = 0;
    uint8_t diskPolicy = 0;
    uint8_t tail[3] = {0, 0, 0}; // not part of the record
};

struct RecordFliterRule
{
    uint8_t unused0[2] = {0, 0};
    uint8_t type = 0; // 0 standard id, 1 extended id, 2 standard range, 3 extended range
    uint8_t unused3 = 0;
    uint32_t startId = 0;
    uint32_t endId = 0;
    uint32_t index = 0;
};

struct RecordFliterInfo
{
    uint16_t count = 0;
    uint8_t enable = 0;
    uint8_t unused3 = 0;
};

struct BoardInfo
{
    uint16_t hwVersion = 0;
    uint16_t fwVersion = 0;
    uint16_t unused4 = 0;
    uint16_t libVersion = 0;
    uint16_t unused8 = 0;
    uint8_t extra = 0;
    uint8_t tail[5] = {0, 0, 0, 0, 0};
};

static_assert(offsetof(RecordSetting, clockB) == 5 && offsetof(RecordSetting, arbWord) == 8 &&
                  offsetof(RecordSetting, dataWord) == 12 && offsetof(RecordSetting, customTiming) == 16 &&
                  offsetof(RecordSetting, diskPolicy) == 20,
              "RecordSetting layout");
static_assert(offsetof(RecordFliterRule, type) == 2 && offsetof(RecordFliterRule, startId) == 4 &&
                  offsetof(RecordFliterRule, endId) == 8 && offsetof(RecordFliterRule, index) == 12,
              "RecordFliterRule layout");
static_assert(offsetof(RecordFliterInfo, enable) == 2, "RecordFliterInfo layout");
static_assert(offsetof(BoardInfo, fwVersion) == 2 && offsetof(BoardInfo, libVersion) == 6 &&
                  offsetof(BoardInfo, extra) == 10,
              "BoardInfo layout");

RecordSetting recordSettingFrom(const QUserRecordChCfg &cfg);
// Every field of the record into cfg (not the filter flag, rules or text).
void recordSettingTo(const RecordSetting &rec, QUserRecordChCfg *cfg);
RecordFliterRule recordRuleFrom(const QUserFliterRule &rule);
QUserFliterRule recordRuleTo(const RecordFliterRule &rec);

// "V" + high byte + "." + low byte, lower-case hexadecimal (0x0100: V1.0).
QString recordVersionText(uint16_t version);

// The four custom bit-timing fields of one phase, in the order BRP, SJW,
// BS1 (TSEG1), BS2 (TSEG2). Each field's range is what the timing word
// carries (BRP 1-1024, SJW 1-128, BS1 1-256, BS2 1-128; a value outside
// would spill into the next field), and SJW is at most BS2 as CAN requires.
// Returns the index of the first field outside its range, with that range
// in *lo and *hi, or -1 when all are within.
int recordTimingFieldInvalid(const int fields[4], int *lo = nullptr, int *hi = nullptr);
// The same for the fields a timing word holds.
int recordTimingWordInvalid(uint32_t word);

// Checks one channel's settings read from the adapter against its model and
// repairs them: clocks other than the model's, and (without custom timing)
// words outside the model's presets, become the model's defaults. Custom
// timing words outside the field ranges are left as they are (shown as out
// of range) but make the result false too. Returns false when something was
// repaired or is out of range; *intervalZero tells a file interval of 0.
bool recordCfgCheck(QUserRecordChCfg *cfg, const QUserRecordModel &m, bool *intervalZero);
