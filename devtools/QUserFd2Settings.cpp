#include "devtools/QUserFd2Settings.h"

#include "core/QUserAdapterModels.h"
#include "devtools/QUserIdText.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QTextStream>

static QString trCustom()
{
    return QCoreApplication::translate("QUserDlgFd2Set", "自定义");
}

QUserFd2Settings::QUserFd2Settings()
{
    constructorDefaults();
}

void QUserFd2Settings::constructorDefaults()
{
    devIndex = "0";
    chIndex = "0";
    allChannel = "0";
    protocol = "1";
    iso = "0";
    workMode = "0";
    aBaud = "0";
    dBaud = "0";
    selfBaud = "0";
    fliterEnable = "0";
    selfBaudText = defaultSelfText(60);
    fdSupport = "1";
    modelClock = 60;
    clock = 60;
    selfArbWord = defaultSelfArbWord(60);
    selfDataWord = defaultSelfDataWord(60);
}

void QUserFd2Settings::modelDefaultsSet(const QString &name)
{
    devName = name;
    modelClock = modelClockOf(name);
    clock = modelClock;
    selfArbWord = defaultSelfArbWord(modelClock);
    selfDataWord = defaultSelfDataWord(modelClock);
    selfBaudText = defaultSelfText(modelClock);
}

int QUserFd2Settings::modelClockOf(const QString &name)
{
    return QUserAdapterModels::fdDevice(name).clockMHz;
}

QString QUserFd2Settings::defaultSelfText(int clock)
{
    return clock == 80 ? QStringLiteral("1.0Mbps(80%),5.0Mbps(87%),(80,00C0030E,00400005)")
                       : QStringLiteral("1.0Mbps(80%),5.0Mbps(75%),(60,02C00002,00800001)");
}

uint32_t QUserFd2Settings::defaultSelfArbWord(int clock)
{
    return clock == 80 ? 0x00C0030E : 0x02C00002;
}

uint32_t QUserFd2Settings::defaultSelfDataWord(int clock)
{
    return clock == 80 ? 0x00400005 : 0x00800001;
}

QStringList QUserFd2Settings::arbListTexts()
{
    return {"1000kbps 80%", "800kbps 80%", "500kbps 80%", "250kbps 80%",
            "125kbps 80%",  "100kbps 80%", "50kbps 80%",  trCustom()};
}

QStringList QUserFd2Settings::dataListTexts(int clock)
{
    return {clock == 80 ? "5Mbps 87%" : "5Mbps 75%", "4Mbps 80%", "2Mbps 80%", "1Mbps 80%",
            "800kbps 80%", "500kbps 80%", "250kbps 80%", "125kbps 80%", "100kbps 80%",
            trCustom()};
}

QVector<uint32_t> QUserFd2Settings::arbWords(int clock)
{
    if (clock == 80)
        return {0x00C0030E, 0x0100030E, 0x01C0030E, 0x03C0030E, 0x07C0030E, 0x09C0030E, 0x13C0030E};
    return {0x01400106, 0x0100020A, 0x02C00106, 0x05C00106, 0x0BC00106, 0x0EC00106, 0x1DC00106};
}

QVector<uint32_t> QUserFd2Settings::dataWords(int clock)
{
    if (clock == 80)
        return {0x00400005, 0x00400106, 0x00C00106, 0x00C0030E, 0x0100030E,
                0x01C0030E, 0x03C0030E, 0x07C0030E, 0x09C0030E, 0x13C0030E};
    return {0x00800001, 0x00800002, 0x00800106, 0x01400106, 0x0100020A,
            0x02C00106, 0x05C00106, 0x0BC00106, 0x0EC00106, 0x1DC00106};
}

bool QUserFd2Settings::selfTextGroupParse(const QString &text, int *clk, uint32_t *arb,
                                          uint32_t *data)
{
    const int open = text.lastIndexOf('(');
    if (open < 0)
        return false;
    const int close = text.indexOf(')', open);
    if (close < 0)
        return false;
    const QStringList parts = text.mid(open + 1, close - open - 1).split(',');
    if (parts.size() != 3)
        return false;
    bool ok = false;
    const int c = parts[0].trimmed().toInt(&ok, 10);
    if (!ok || c <= 0 || c > 2000)
        return false;
    uint32_t a = 0, d = 0;
    if (!devtext::hexFieldParse(parts[1], 1, 8, &a) || !devtext::hexFieldParse(parts[2], 1, 8, &d))
        return false;
    *clk = c;
    *arb = a;
    *data = d;
    return true;
}

QString QUserFd2Settings::filePath() const
{
    return QStringLiteral("setting/") + devName + QStringLiteral("Set.ini");
}

QString QUserFd2Settings::baudLine() const
{
    const QStringList f{QStringLiteral("BAUD"), devIndex, chIndex, aBaud, dBaud, selfBaudText,
                        allChannel, selfBaud, fliterEnable, protocol, iso, workMode};
    return f.join('_');
}

bool QUserFd2Settings::cfgFileLoad()
{
    const QString path = filePath();
    qDebug().noquote() << QStringLiteral(">加载配置文件:") + path;
    rules.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qDebug().noquote() << QStringLiteral(">警告:") + path + QStringLiteral("加载失败...");
        return false;
    }
    const QString fdSupportGiven = fdSupport;
    bool baudTaken = false;
    QTextStream in(&file);
    in.setCodec("UTF-8");
    while (!in.atEnd()) {
        const QString line = in.readLine();
        const QStringList f = line.split('_', Qt::KeepEmptyParts);
        const QString &key = f[0];
        if (key == QLatin1String("FLITER")) {
            // Lines that are short, empty or outside the frame type's range
            // are dropped: a rule must hold the identifiers of its own line.
            if (f.size() < 4 || f[2].isEmpty() || f[3].isEmpty())
                continue;
            QUserFliterRule r;
            r.extended = f[1] == QLatin1String("true") ? 1 : 0;
            uint32_t s = 0, e = 0;
            if (!devtext::canIdParse(r.extended, f[2], &s) || !devtext::canIdParse(r.extended, f[3], &e))
                continue;
            r.startId = s;
            r.endId = e;
            rules.append(r);
        } else if (key == QLatin1String("BAUD")) {
            if (f.size() == 12) {
                devIndex = f[1];
                chIndex = f[2];
                aBaud = f[3];
                dBaud = f[4];
                selfBaudText = f[5];
                allChannel = f[6];
                selfBaud = f[7];
                fliterEnable = f[8];
                protocol = f[9];
                iso = f[10];
                workMode = f[11];
                baudTaken = true;
            } else {
                qDebug().noquote() << QStringLiteral(">警告:") + path
                                              + QStringLiteral("FD配置文件波特率参数错误...");
                // Back to the defaults of this model, not of a 60 MHz one (an
                // 80 MHz adapter would be started with 60 MHz words); the FD
                // support stays what the device class gave.
                const QString name = devName;
                constructorDefaults();
                modelDefaultsSet(name);
                fdSupport = fdSupportGiven;
                baudTaken = false;
            }
        } else if (key == QLatin1String("FDSUPPORT")) {
            if (f.size() == 2)
                fdSupport = f[1];
        }
    }
    file.close();

    // The stored custom text carries the clock and both words it was made
    // for; without them a reopened dialog would start the channel from the
    // model's default custom words while showing the old text.
    if (baudTaken) {
        int c = 0;
        uint32_t a = 0, d = 0;
        if (selfTextGroupParse(selfBaudText, &c, &a, &d)) {
            clock = c;
            selfArbWord = a;
            selfDataWord = d;
        }
    }
    qDebug().noquote() << QStringLiteral(">成功加载%1条过滤器规则...").arg(rules.size());
    return true;
}

int QUserFd2Settings::cfgFileSave()
{
    const QString path = filePath();
    qDebug().noquote() << QStringLiteral("QUserDlgFd2Set>保存配置文件:") + path;
    QDir().mkpath(QStringLiteral("setting"));
    QFile file(path);
    int written = 0;
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        QByteArray out = baudLine().toUtf8() + '\n';
        for (const QUserFliterRule &r : rules) {
            out += QString::asprintf("FLITER_%s_0x%08X_0x%08X\n", r.extended ? "true" : "false",
                                     unsigned(r.startId), unsigned(r.endId))
                       .toUtf8();
            ++written;
        }
        out += QStringLiteral("FDSUPPORT_").toUtf8() + fdSupport.toUtf8() + '\n';
        file.write(out);
        file.close();
    }
    qDebug().noquote() << QStringLiteral("QUserDlgFd2Set>成功保存%1条过滤器规则...").arg(written);
    return written;
}
