#include "core/QUserFliterCfg.h"

#include "core/QUserLogLine.h"

#include <QDebug>
#include <QFile>
#include <QTextStream>

namespace {

inline bool isBlank(ushort c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

} // namespace

QUserFliterCfg::QUserFliterCfg() = default;

QUserFliterCfg::QUserFliterCfg(const QString &id) : devId(id)
{
    enabled = 0;
    rules.clear();
    loadFile();
}

bool QUserFliterCfg::setEnable(bool on)
{
    enabled = on ? 1 : 0;
    return true;
}

bool QUserFliterCfg::getRules(QVector<QUserFliterRule> &out) const
{
    out = rules;
    return true;
}

bool QUserFliterCfg::setRules(const QVector<QUserFliterRule> &list)
{
    rules = list;
    return saveFile();
}

QString QUserFliterCfg::getFilePath() const { return QStringLiteral("./") + devId + QStringLiteral("-Fliter.ini"); }

uint32_t QUserFliterCfg::parseId(const QString &idText)
{
    const QChar *p = idText.constData();
    const QChar *end = p + idText.size();
    while (p < end && isBlank(p->unicode()))
        ++p;
    while (end > p && isBlank((end - 1)->unicode()))
        --end;
    if (end - p >= 2 && p->unicode() == '0' && (p[1].unicode() == 'x' || p[1].unicode() == 'X'))
        p += 2;
    if (p == end)
        return 0;
    uint64_t v = 0;
    for (; p < end; ++p) {
        const ushort c = p->unicode();
        unsigned d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return 0;
        v = (v << 4) | d;
        if (v > 0xFFFFFFFFull)
            return 0;
    }
    return uint32_t(v);
}

bool QUserFliterCfg::isPass(const QUserCanMsg *msg) const
{
    if (!msg)
        return false;
    if (!enabled || rules.isEmpty())
        return true;
    const uint32_t id = parseId(msg->idText);
    const bool ext = msg->extended != 0;
    for (const QUserFliterRule &r : rules) {
        if ((r.extended != 0) != ext)
            continue;
        if (r.startId <= id && id <= r.endId)
            return true;
    }
    return false;
}

QString QUserFliterCfg::ruleToLine(const QUserFliterRule &rule)
{
    return QString::asprintf("FLITER_%s_0x%08X_0x%08X", rule.extended ? "true" : "false", rule.startId, rule.endId);
}

bool QUserFliterCfg::lineToRule(const QString &line, QUserFliterRule &rule)
{
    const QStringList f = line.split('_');
    if (f.size() < 4 || f[0] != QLatin1String("FLITER"))
        return false;
    const bool ext = f[1] == QLatin1String("true");
    if (f[2].isEmpty() || f[3].isEmpty())
        return false;
    if (!isCanIdValid(ext, f[2]) || !isCanIdValid(ext, f[3]))
        return false;
    QUserFliterRule r;
    r.extended = ext ? 1 : 0;
    r.flag = 0;
    r.startId = parseId(f[2]);
    r.endId = parseId(f[3]);
    rule = r;
    return true;
}

void QUserFliterCfg::loadFile()
{
    rules.clear();
    const QString path = getFilePath();
    logLine(QStringLiteral("加载过滤器配置文件:") + path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << ">" << (QStringLiteral("警告:") + path + QStringLiteral("加载失败..."));
        return;
    }
    QTextStream in(&file);
    in.setCodec("UTF-8");
    while (!in.atEnd()) {
        QString line = in.readLine();
        if (line.endsWith('\r'))
            line.chop(1);
        QUserFliterRule r;
        if (lineToRule(line, r))
            rules.append(r);
    }
    file.close();
    logLine(QStringLiteral("成功加载%1条过滤器规则...").arg(rules.size()));
}

bool QUserFliterCfg::saveFile()
{
    const QString path = getFilePath();
    logLine(QStringLiteral("保存过滤器配置文件:") + path);
    QFile file(path);
    int count = 0;
    bool written = false;
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        QByteArray data;
        for (const QUserFliterRule &r : rules) {
            data += ruleToLine(r).toUtf8();
            data += '\n';
            ++count;
        }
        // What the buffer still holds is written by the flush: a full disk
        // shows there, not in the write.
        written = file.write(data) == data.size() && file.flush();
        file.close();
        written = written && file.error() == QFileDevice::NoError;
    }
    if (!written) {
        logLine(QStringLiteral("过滤器配置文件保存失败:") + path);
        return false;
    }
    logLine(QStringLiteral("成功保存%1条过滤器规则...").arg(count));
    return true;
}
