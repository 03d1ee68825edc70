#pragma once
// Software receive filter of one open channel: a list of identifier ranges,
// each for standard or for extended frames, and an on/off switch. When on
// and the list is not empty, only frames inside a range of their own frame
// type pass. The list is kept in "./<device id>-Fliter.ini"; the switch is
// not stored, so a channel always opens with filtering off.

#include "core/QUserCanMsg.h"

#include <QString>
#include <QVector>

#include <cstdint>

struct QUserFliterRule
{
    uint8_t extended = 0; // non-zero: extended (29-bit) frames, else standard (11-bit)
    union {
        uint8_t flag = 0; // second flag byte; never stored, never tested by the filter
        uint8_t range;    // the filter editor's name for the same byte
    };
    uint32_t startId = 0;
    uint32_t endId = 0;   // inclusive

    bool operator==(const QUserFliterRule &o) const
    {
        return extended == o.extended && flag == o.flag && startId == o.startId && endId == o.endId;
    }
};

class QUserFliterCfg
{
public:
    QUserFliterCfg();
    explicit QUserFliterCfg(const QString &devId);

    bool setEnable(bool on);
    bool isEnable() const { return enabled != 0; }
    bool getRules(QVector<QUserFliterRule> &out) const;
    // Replaces the rules and writes the rule file; false when the file
    // could not be written (the rules are replaced all the same).
    bool setRules(const QVector<QUserFliterRule> &list);
    QString getFilePath() const;

    bool isPass(const QUserCanMsg *msg) const;

    void loadFile();
    // False when the rule file could not be written in full.
    bool saveFile();

    // The identifier text read as an unsigned hexadecimal number (blanks
    // around it and a "0x" prefix allowed); 0 when it does not parse.
    static uint32_t parseId(const QString &idText);
    // One rule line of the file, without line end.
    static QString ruleToLine(const QUserFliterRule &rule);
    // Parses one line; false for a line the load skips.
    static bool lineToRule(const QString &line, QUserFliterRule &rule);

    QString devId;
    QVector<QUserFliterRule> rules;
    uint8_t enabled = 0;
};
