#include "core/QUserAdapterModels.h"

#include <QCoreApplication>

namespace QUserAdapterModels {

namespace {

// What the device classes serve a name outside their family as (see the header).
constexpr QUserAdapterModel kFdAnyOther = {"", QUserAdapterFamily::CanFd, 41, 1, 60, true, -1, {nullptr, nullptr}};
constexpr QUserAdapterModel kClassicAnyOther = {"", QUserAdapterFamily::Classic, 4, 1, 16, false, -1, {nullptr, nullptr}};

const QUserAdapterModel *inFamily(const QString &name, QUserAdapterFamily family)
{
    const QUserAdapterModel *m = byName(name);
    return m && m->family == family ? m : nullptr;
}

} // namespace

const QUserAdapterModel *byName(const QString &name)
{
    for (const QUserAdapterModel &m : kModels) {
        if (name == QLatin1String(m.name))
            return &m;
    }
    return nullptr;
}

std::vector<const QUserAdapterModel *> byTypeNumber(int typeNumber)
{
    std::vector<const QUserAdapterModel *> rows;
    for (const QUserAdapterModel &m : kModels) {
        if (m.typeNumber == typeNumber)
            rows.push_back(&m);
    }
    return rows;
}

const QUserAdapterModel *bySelectionText(const QString &text)
{
    for (const QUserAdapterModel &m : kModels) {
        if (text == QLatin1String(m.name))
            return &m;
        for (const char *e : m.editions) {
            if (e && (text == QLatin1String(e) || text == QCoreApplication::translate("QUserDlgDeviceSel", e)))
                return &m;
        }
    }
    return nullptr;
}

QStringList names(QUserAdapterFamily family)
{
    QStringList list;
    for (const QUserAdapterModel &m : kModels) {
        if (m.family == family)
            list << QString::fromLatin1(m.name);
    }
    return list;
}

const QUserAdapterModel &fdDevice(const QString &name)
{
    const QUserAdapterModel *m = inFamily(name, QUserAdapterFamily::CanFd);
    return m ? *m : kFdAnyOther;
}

const QUserAdapterModel &classicDevice(const QString &name)
{
    const QUserAdapterModel *m = inFamily(name, QUserAdapterFamily::Classic);
    return m ? *m : kClassicAnyOther;
}

} // namespace QUserAdapterModels
