#include "devtools/QUserRecordChCfg.h"

#include "core/QUserBaudFunc.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDebug>

namespace {

const QUserRecordModel kModels[] = {
    {"TRND701", 61, 1, 60, 0, false},
    {"TRND702", 62, 2, 200, 1, true},
};

} // namespace

int recordModelCount() { return int(sizeof kModels / sizeof kModels[0]); }

const QUserRecordModel &recordModel(int pos)
{
    return kModels[pos >= 0 && pos < recordModelCount() ? pos : 0];
}

const QVector<uint32_t> &recordArbWords(int row)
{
    static const QVector<uint32_t> rows[2] = {
        {0x01400106, 0x0100020A, 0x02C00106, 0x05C00106, 0x0BC00106, 0x0EC00106, 0x1DC00106},
        {0x04C00106, 0x06000106, 0x09C00106, 0x13C00106, 0x27C00106, 0x31C00106, 0x63C00106},
    };
    return rows[row == 1 ? 1 : 0];
}

const QVector<uint32_t> &recordDataWords(int row)
{
    static const QVector<uint32_t> rows[2] = {
        {0x00800001, 0x00800002, 0x00800106, 0x01400106, 0x0100020A, 0x02C00106, 0x05C00106, 0x0BC00106,
         0x0EC00106, 0x1DC00106},
        {0x01000104, 0x01000106, 0x02400106, 0x04C00106, 0x06000106, 0x09C00106, 0x13C00106, 0x27C00106,
         0x31C00106, 0x63C00106},
    };
    return rows[row == 1 ? 1 : 0];
}

QStringList recordArbTexts()
{
    return {"1000kbps 80%", "800kbps 80%", "500kbps 80%", "250kbps 80%", "125kbps 80%",
            "100kbps 80%", "50kbps 80%", QCoreApplication::translate("QUserDlgFdRecordSet", "自定义")};
}

QStringList recordDataTexts()
{
    return {"5Mbps 75%", "4Mbps 80%", "2Mbps 80%", "1Mbps 80%", "800kbps 80%", "500kbps 80%",
            "250kbps 80%", "125kbps 80%", "100kbps 80%",
            QCoreApplication::translate("QUserDlgFdRecordSet", "自定义")};
}

void QUserRecordChCfg::modelDefaultsSet(const QUserRecordModel &m)
{
    clockA = m.clockMHz;
    clockB = m.clockMHz;
    arbWord = recordArbWords(m.presetRow).at(0);
    dataWord = recordDataWords(m.presetRow).at(0);
}

RecordSetting recordSettingFrom(const QUserRecordChCfg &cfg)
{
    RecordSetting r;
    r.fd = cfg.fd;
    r.iso = cfg.iso;
    r.listenOnly = cfg.listenOnly;
    r.clockA = uint8_t(cfg.clockA & 0xFF);
    r.clockB = uint8_t(cfg.clockB & 0xFF);
    r.arbWord = cfg.arbWord;
    r.dataWord = cfg.dataWord;
    r.customTiming = cfg.customTiming;
    r.fileFormat = cfg.fileFormat;
    r.fileInterval = cfg.fileInterval;
    r.channelOn = cfg.channelOn;
    r.diskPolicy = cfg.diskPolicy;
    return r;
}

void recordSettingTo(const RecordSetting &rec, QUserRecordChCfg *cfg)
{
    cfg->fd = rec.fd;
    cfg->iso = rec.iso;
    cfg->listenOnly = rec.listenOnly;
    cfg->clockA = rec.clockA;
    cfg->clockB = rec.clockB;
    cfg->arbWord = rec.arbWord;
    cfg->dataWord = rec.dataWord;
    cfg->customTiming = rec.customTiming;
    cfg->fileFormat = rec.fileFormat;
    cfg->fileInterval = rec.fileInterval;
    cfg->channelOn = rec.channelOn;
    cfg->diskPolicy = rec.diskPolicy;
}

RecordFliterRule recordRuleFrom(const QUserFliterRule &rule)
{
    RecordFliterRule r;
    r.type = uint8_t((rule.range ? 2 : 0) + (rule.extended ? 1 : 0));
    r.startId = rule.startId;
    r.endId = rule.endId;
    return r;
}

QUserFliterRule recordRuleTo(const RecordFliterRule &rec)
{
    QUserFliterRule r;
    r.extended = rec.type & 1;
    r.range = (rec.type >> 1) & 1;
    r.startId = rec.startId;
    r.endId = rec.endId;
    return r;
}

QString recordVersionText(uint16_t version)
{
    return QStringLiteral("V") + QString::number(version >> 8, 16) + QStringLiteral(".") +
           QString::number(version & 0xFF, 16);
}

int recordTimingFieldInvalid(const int fields[4], int *lo, int *hi)
{
    const int maxOf[4] = {1024, 128, 256, 128};
    for (int i = 0; i < 4; ++i) {
        // SJW may not be longer than the phase segment after the sample point.
        const int top = i == 1 ? std::min(maxOf[1], std::max(fields[3], 1)) : maxOf[i];
        if (fields[i] < 1 || fields[i] > top) {
            if (lo)
                *lo = 1;
            if (hi)
                *hi = top;
            return i;
        }
    }
    return -1;
}

int recordTimingWordInvalid(uint32_t word)
{
    int f[4];
    unpackFdBaudTiming(word, f[0], f[1], f[2], f[3]);
    return recordTimingFieldInvalid(f);
}

bool recordCfgCheck(QUserRecordChCfg *cfg, const QUserRecordModel &m, bool *intervalZero)
{
    bool valid = true;
    if (cfg->clockA != m.clockMHz || cfg->clockB != m.clockMHz) {
        qDebug() << ">" << QStringLiteral("ERROR:FD Record Dev Setting Clk Invalid...");
        cfg->clockA = m.clockMHz;
        cfg->clockB = m.clockMHz;
        valid = false;
    }
    if (!cfg->customTiming) {
        const QVector<uint32_t> &arb = recordArbWords(m.presetRow);
        const QVector<uint32_t> &data = recordDataWords(m.presetRow);
        if (!arb.contains(cfg->arbWord)) {
            qDebug() << ">" << QStringLiteral("ERROR:FD Record Dev Setting Baud Invalid...");
            cfg->arbWord = arb.at(0);
            valid = false;
        }
        if (cfg->fd && !data.contains(cfg->dataWord)) {
            qDebug() << ">" << QStringLiteral("ERROR:FD Record Dev Setting Baud Invalid...");
            cfg->dataWord = data.at(0);
            valid = false;
        }
    } else if (recordTimingWordInvalid(cfg->arbWord) >= 0
               || (cfg->fd && recordTimingWordInvalid(cfg->dataWord) >= 0)) {
        qDebug() << ">" << QStringLiteral("ERROR:FD Record Dev Setting Custom Baud Invalid...");
        valid = false;
    }
    if (intervalZero)
        *intervalZero = cfg->fileInterval == 0;
    return valid;
}
