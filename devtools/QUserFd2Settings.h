#pragma once
// The settings of the CAN FD channel dialog for one device type, kept as the
// texts the dialog shows, with the model's clock and custom timing words,
// the preset timing tables and the per-type file
// "setting/<type>Set.ini":
//
//   BAUD_<dev>_<ch>_<arb preset>_<data preset>_<custom text>_<all>_<custom>_<filter>_<proto>_<iso>_<mode>
//   FLITER_<true|false>_0x%08X_0x%08X      (one per rule)
//   FDSUPPORT_<1|0>

#include "core/QUserFliterCfg.h" // QUserFliterRule

#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>

class QUserFd2Settings
{
public:
    QUserFd2Settings();

    // Constructor defaults of the setting texts, clock 60 and its words.
    void constructorDefaults();
    // Clock, custom words and custom text of the model's clock; the other
    // texts are left alone.
    void modelDefaultsSet(const QString &devName);

    // The model's controller clock (core/QUserAdapterModels.h): 80 for
    // "TRNA702" and "TRNB702", 60 for the other CAN FD models and for any
    // name outside them.
    static int modelClockOf(const QString &devName);
    static QString defaultSelfText(int clock);
    static uint32_t defaultSelfArbWord(int clock);
    static uint32_t defaultSelfDataWord(int clock);

    // Preset lists and their words; the tables of 80 MHz when clock is 80,
    // else those of 60 MHz. The last list entry ("自定义") has no arbitration
    // word; the data table has one word more than named rates.
    static QStringList arbListTexts();
    static QStringList dataListTexts(int clock);
    static QVector<uint32_t> arbWords(int clock);
    static QVector<uint32_t> dataWords(int clock);

    // The last "(clk,ARB,DATA)" group of a custom timing text: decimal clock
    // in MHz and two hexadecimal words of 1-8 digits. False when the text
    // has no such group.
    static bool selfTextGroupParse(const QString &text, int *clock, uint32_t *arbWord,
                                   uint32_t *dataWord);

    QString filePath() const;
    // Reads the file over the current texts (see the header comment).
    // False when it cannot be opened (everything then stays as it was).
    bool cfgFileLoad();
    // Rewrites the file; returns the number of rule lines written (0 when
    // the file cannot be opened).
    int cfgFileSave();
    QString baudLine() const;

    QString devName;
    QString devIndex, chIndex, allChannel, protocol, iso, workMode;
    QString aBaud, dBaud, selfBaud, fliterEnable, selfBaudText, fdSupport;

    int modelClock = 60;    // the type's controller clock (preset tables)
    int clock = 60;         // clock the custom words are for
    uint32_t selfArbWord = 0x02C00002;
    uint32_t selfDataWord = 0x00800001;
    QVector<QUserFliterRule> rules;
};
