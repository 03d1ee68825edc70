#include "canopen/QUserCANopenUiSetting.h"

#include "core/QUserSettingRange.h"
#include "core/QUserSysCfg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QSplitter>

namespace {

const char kRightTab[] = "windowRightTabPageIndex";
const char kLeftTab[] = "windowLeftTabPageIndex";
const char kFastOptKey[] = "fastOptMsg";
const char kEdsRoot[] = "dbcEdsSpliteRootRate";
const char kEdsLeft[] = "dbcEdsSpliteLeftFileRate";
const char kEdsRight[] = "dbcEdsSpliteRightListenRate";
const char kCanopenRoot[] = "openCanSpliteRootRate";

void readEdit(QLineEdit *edit, QString &text)
{
    if (edit)
        text = edit->text();
}

void readCombo(QComboBox *combo, QString &text)
{
    if (combo)
        text = combo->currentText();
}

} // namespace

// ---------------------------------------------------------------------------

QList<QPair<QString, QString *>> QUserCia301UiSetting::fields()
{
    return {
        {QStringLiteral("Cia301NodeId"), &Cia301NodeId},
        {QStringLiteral("comBoxNmtType"), &comBoxNmtType},
        {QStringLiteral("comBoxNmtGuardType"), &comBoxNmtGuardType},
        {QStringLiteral("lineEditSyncCnt"), &lineEditSyncCnt},
        {QStringLiteral("lineEditErrCode"), &lineEditErrCode},
        {QStringLiteral("lineEditErrRegister"), &lineEditErrRegister},
        {QStringLiteral("lineEditUserErrCode"), &lineEditUserErrCode},
        {QStringLiteral("comBoxPdoType"), &comBoxPdoType},
        {QStringLiteral("lineEditPdoData"), &lineEditPdoData},
        {QStringLiteral("comBoxRemotePdoType"), &comBoxRemotePdoType},
        {QStringLiteral("lineEditSdoFastWriteIndex"), &lineEditSdoFastWriteIndex},
        {QStringLiteral("lineEditSdoFastWriteSubIndex"), &lineEditSdoFastWriteSubIndex},
        {QStringLiteral("lineEditSdoFastWriteData"), &lineEditSdoFastWriteData},
        {QStringLiteral("comBoxSdoFastWriteLen"), &comBoxSdoFastWriteLen},
        {QStringLiteral("lineEditSdoFastReadIndex"), &lineEditSdoFastReadIndex},
        {QStringLiteral("lineEditSdoFastReadSubIndex"), &lineEditSdoFastReadSubIndex},
        {QStringLiteral("dateTimeEdit"), &dateTimeEdit},
        {QStringLiteral("chkBoxUseSysTime"), &chkBoxUseSysTime},
    };
}

bool QUserCia301UiSetting::widgetsRead()
{
    readEdit(w.Cia301NodeId, Cia301NodeId);
    readCombo(w.comBoxNmtType, comBoxNmtType);
    readCombo(w.comBoxNmtGuardType, comBoxNmtGuardType);
    readEdit(w.lineEditSyncCnt, lineEditSyncCnt);
    readEdit(w.lineEditErrCode, lineEditErrCode);
    readEdit(w.lineEditErrRegister, lineEditErrRegister);
    readEdit(w.lineEditUserErrCode, lineEditUserErrCode);
    readCombo(w.comBoxPdoType, comBoxPdoType);
    readEdit(w.lineEditPdoData, lineEditPdoData);
    readCombo(w.comBoxRemotePdoType, comBoxRemotePdoType);
    readEdit(w.lineEditSdoFastWriteIndex, lineEditSdoFastWriteIndex);
    readEdit(w.lineEditSdoFastWriteSubIndex, lineEditSdoFastWriteSubIndex);
    readEdit(w.lineEditSdoFastWriteData, lineEditSdoFastWriteData);
    readCombo(w.comBoxSdoFastWriteLen, comBoxSdoFastWriteLen);
    readEdit(w.lineEditSdoFastReadIndex, lineEditSdoFastReadIndex);
    readEdit(w.lineEditSdoFastReadSubIndex, lineEditSdoFastReadSubIndex);
    if (w.dateTimeEdit)
        dateTimeEdit = QString::number(w.dateTimeEdit->dateTime().toSecsSinceEpoch());
    if (w.chkBoxUseSysTime)
        chkBoxUseSysTime = w.chkBoxUseSysTime->checkState() == Qt::Checked ? QStringLiteral("true")
                                                                             : QStringLiteral("false");
    return true;
}

QList<QPair<QString, QString *>> QUserCia402UiSetting::fields()
{
    return {
        {QStringLiteral("Cia402NodeId"), &Cia402NodeId},
        {QStringLiteral("lineEditVelDstSpeed"), &lineEditVelDstSpeed},
        {QStringLiteral("lineEditVelAccSpeed"), &lineEditVelAccSpeed},
        {QStringLiteral("lineEditVelDecSpeed"), &lineEditVelDecSpeed},
        {QStringLiteral("lineEditTorDst"), &lineEditTorDst},
        {QStringLiteral("lineEditTorSlope"), &lineEditTorSlope},
        {QStringLiteral("lineEditPosAbsDst"), &lineEditPosAbsDst},
        {QStringLiteral("linEditPosRelDst"), &linEditPosRelDst},
        {QStringLiteral("linEditPosAAccSpeed"), &linEditPosAAccSpeed},
        {QStringLiteral("linEditPosAccSpeed"), &linEditPosAccSpeed},
        {QStringLiteral("linEditPosDecSpeed"), &linEditPosDecSpeed},
    };
}

bool QUserCia402UiSetting::widgetsRead()
{
    readEdit(w.Cia402NodeId, Cia402NodeId);
    readEdit(w.lineEditVelDstSpeed, lineEditVelDstSpeed);
    readEdit(w.lineEditVelAccSpeed, lineEditVelAccSpeed);
    readEdit(w.lineEditVelDecSpeed, lineEditVelDecSpeed);
    readEdit(w.lineEditTorDst, lineEditTorDst);
    readEdit(w.lineEditTorSlope, lineEditTorSlope);
    readEdit(w.lineEditPosAbsDst, lineEditPosAbsDst);
    readEdit(w.linEditPosRelDst, linEditPosRelDst);
    readEdit(w.linEditPosAAccSpeed, linEditPosAAccSpeed);
    readEdit(w.linEditPosAccSpeed, linEditPosAccSpeed);
    readEdit(w.linEditPosDecSpeed, linEditPosDecSpeed);
    return true;
}

// ---------------------------------------------------------------------------

QUserCANopenUiSetting::QUserCANopenUiSetting()
{
    fastOptLoad();

    QUserSysCfg *cfg = QUserSysCfg::instance();
    edsRootSplitterState = cfg->getSplitterState(QLatin1String(kEdsRoot));
    edsLeftSplitterState = cfg->getSplitterState(QLatin1String(kEdsLeft));
    edsRightSplitterState = cfg->getSplitterState(QLatin1String(kEdsRight));
    canopenRootSplitterState = cfg->getSplitterState(QLatin1String(kCanopenRoot));

    if (!store.load(uiFilePath()))
        return;
    QString value;
    auto pageRead = [this, &value](const char *key, int &page) {
        if (!store.getValue(QLatin1String(key), value))
            return;
        bool ok = false;
        const uint n = value.toUInt(&ok, 10);
        page = ok ? int(n) : 0;
    };
    pageRead(kRightTab, rightTabPageIndex);
    pageRead(kLeftTab, leftTabPageIndex);
    for (const auto &f : cia301.fields())
        if (store.getValue(f.first, value))
            *f.second = value;
    for (const auto &f : cia402.fields())
        if (store.getValue(f.first, value))
            *f.second = value;
}

QUserCANopenUiSetting::~QUserCANopenUiSetting()
{
    cia301.widgetsRead();
    cia402.widgetsRead();
    store.setValue(QLatin1String(kRightTab), QString::number(rightTabPageIndex));
    store.setValue(QLatin1String(kLeftTab), QString::number(leftTabPageIndex));
    for (const auto &f : cia301.fields())
        store.setValue(f.first, *f.second);
    for (const auto &f : cia402.fields())
        store.setValue(f.first, *f.second);
    QDir().mkpath(QStringLiteral("setting"));
    store.save(uiFilePath());

    QUserSysCfg *cfg = QUserSysCfg::instance();
    if (canopenRootSplitter)
        cfg->setByteArray(QLatin1String(kCanopenRoot), canopenRootSplitter->saveState());
    if (edsRootSplitter)
        cfg->setByteArray(QLatin1String(kEdsRoot), edsRootSplitter->saveState());
    if (edsLeftSplitter)
        cfg->setByteArray(QLatin1String(kEdsLeft), edsLeftSplitter->saveState());
    if (edsRightSplitter)
        cfg->setByteArray(QLatin1String(kEdsRight), edsRightSplitter->saveState());

    fastOptSave();
}

void QUserCANopenUiSetting::tabPageIndexSet(int first, int second)
{
    rightTabPageIndex = first;
    leftTabPageIndex = second;
}

void QUserCANopenUiSetting::tabPageIndexGet(int &first, int &second) const
{
    first = rightTabPageIndex;
    second = leftTabPageIndex;
}

void QUserCANopenUiSetting::fastOptLoad()
{
    fastOptList.clear();
    fastOptDirty = false;
    FileKeyValue multi;
    multi.loadMulti(fastOptFilePath());
    QStringList values;
    multi.getMultiValue(QLatin1String(kFastOptKey), values);
    for (const QString &value : values) {
        // The frame text is the first four fields; the description is the
        // rest of the line after the fourth comma, commas and all.
        int comma = -1;
        for (int i = 0; i < 4; ++i) {
            comma = value.indexOf(QLatin1Char(','), comma + 1);
            if (comma < 0)
                break;
        }
        if (comma < 0)
            continue;
        QUserCANopenFastOpt row;
        row.msgText = value.left(comma);
        row.descText = value.mid(comma + 1);
        fastOptList.append(row);
    }
    if (fastOptList.size() > kFastOptRowsMax) {
        settingrange::refusedLog(QFileInfo(fastOptFilePath()).fileName(), QLatin1String(kFastOptKey),
                                 QStringLiteral("%1行").arg(fastOptList.size()),
                                 QStringLiteral("[0,%1]行").arg(kFastOptRowsMax),
                                 QStringLiteral("前%1行").arg(kFastOptRowsMax));
        fastOptList.erase(fastOptList.begin() + kFastOptRowsMax, fastOptList.end());
    }
}

bool QUserCANopenUiSetting::fastOptSave()
{
    bool changed = fastOptDirty;
    for (QUserCANopenFastOpt &row : fastOptList) {
        if (row.msgEdit && row.msgEdit->text() != row.msgText) {
            row.msgText = row.msgEdit->text();
            changed = true;
        }
        if (row.descEdit && row.descEdit->text() != row.descText) {
            row.descText = row.descEdit->text();
            changed = true;
        }
    }
    if (!changed)
        return false;
    FileKeyValue multi;
    for (const QUserCANopenFastOpt &row : fastOptList)
        multi.addMultiValue(QLatin1String(kFastOptKey), row.msgText + QLatin1Char(',') + row.descText);
    QDir().mkpath(QStringLiteral("setting"));
    if (!multi.saveMulti(fastOptFilePath()))
        return false;
    fastOptDirty = false;
    return true;
}

void QUserCANopenUiSetting::fastOptCountSet(int n)
{
    if (n < 0 || n == fastOptList.size())
        return;
    while (fastOptList.size() > n)
        fastOptList.removeLast();
    while (fastOptList.size() < n) {
        QUserCANopenFastOpt row;
        row.msgText = QUserCANopenFastOpt::defaultMsgText();
        row.descText = QUserCANopenFastOpt::defaultDescText();
        fastOptList.append(row);
    }
    fastOptDirty = true;
}
