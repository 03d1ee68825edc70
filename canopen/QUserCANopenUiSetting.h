#pragma once
// The CANopen window's own data and its stored user-interface state: the
// texts of the CiA 301 and CiA 402 panels and the right-hand tab page
// ("setting/CANOpenUi.ini"), the quick-operation rows
// ("setting/CANOpenFastOptSet.ini"), the splitter states (sys.ini), and the
// window's EDS parser. Loaded when built, written back when destroyed.
// GUI thread only.

#include "canopen/QUserCANopenFastOpt.h"
#include "canopen/QUserEdsParser.h"
#include "core/FileKeyValue.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <cstdint>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLineEdit;
class QSplitter;

// Texts of the CiA 301 panel; each is named by its settings key. The panel
// registers the widget of each text under the same name in `w`.
struct QUserCia301UiSetting
{
    QString Cia301NodeId;
    QString comBoxNmtType;
    QString comBoxNmtGuardType;
    QString lineEditSyncCnt;
    QString lineEditErrCode;
    QString lineEditErrRegister;
    QString lineEditUserErrCode;
    QString comBoxPdoType;
    QString lineEditPdoData;
    QString comBoxRemotePdoType;
    QString lineEditSdoFastWriteIndex;
    QString lineEditSdoFastWriteSubIndex;
    QString lineEditSdoFastWriteData;
    QString comBoxSdoFastWriteLen;
    QString lineEditSdoFastReadIndex;
    QString lineEditSdoFastReadSubIndex;
    QString dateTimeEdit;      // seconds since 1970-01-01 UTC, decimal
    QString chkBoxUseSysTime;  // "true" / "false"
    uint8_t nodeId = 1;

    struct Widgets
    {
        QLineEdit *Cia301NodeId = nullptr;
        QComboBox *comBoxNmtType = nullptr;
        QComboBox *comBoxNmtGuardType = nullptr;
        QLineEdit *lineEditSyncCnt = nullptr;
        QLineEdit *lineEditErrCode = nullptr;
        QLineEdit *lineEditErrRegister = nullptr;
        QLineEdit *lineEditUserErrCode = nullptr;
        QComboBox *comBoxPdoType = nullptr;
        QLineEdit *lineEditPdoData = nullptr;
        QComboBox *comBoxRemotePdoType = nullptr;
        QLineEdit *lineEditSdoFastWriteIndex = nullptr;
        QLineEdit *lineEditSdoFastWriteSubIndex = nullptr;
        QLineEdit *lineEditSdoFastWriteData = nullptr;
        QComboBox *comBoxSdoFastWriteLen = nullptr;
        QLineEdit *lineEditSdoFastReadIndex = nullptr;
        QLineEdit *lineEditSdoFastReadSubIndex = nullptr;
        QDateTimeEdit *dateTimeEdit = nullptr;
        QCheckBox *chkBoxUseSysTime = nullptr;
    } w;

    // Copies every registered widget's content into its text.
    bool widgetsRead();
    // (key, text) of the eighteen texts in key order.
    QList<QPair<QString, QString *>> fields();
};

struct QUserCia402UiSetting
{
    bool velRunning = false;
    bool torRunning = false;
    QString Cia402NodeId;
    QString lineEditVelDstSpeed;
    QString lineEditVelAccSpeed;
    QString lineEditVelDecSpeed;
    QString lineEditTorDst;
    QString lineEditTorSlope;
    QString lineEditPosAbsDst;
    QString linEditPosRelDst;
    QString linEditPosAAccSpeed;
    QString linEditPosAccSpeed;
    QString linEditPosDecSpeed;
    uint8_t nodeId = 1;

    struct Widgets
    {
        QLineEdit *Cia402NodeId = nullptr;
        QLineEdit *lineEditVelDstSpeed = nullptr;
        QLineEdit *lineEditVelAccSpeed = nullptr;
        QLineEdit *lineEditVelDecSpeed = nullptr;
        QLineEdit *lineEditTorDst = nullptr;
        QLineEdit *lineEditTorSlope = nullptr;
        QLineEdit *lineEditPosAbsDst = nullptr;
        QLineEdit *linEditPosRelDst = nullptr;
        QLineEdit *linEditPosAAccSpeed = nullptr;
        QLineEdit *linEditPosAccSpeed = nullptr;
        QLineEdit *linEditPosDecSpeed = nullptr;
    } w;

    bool widgetsRead();
    QList<QPair<QString, QString *>> fields();
};

class QUserCANopenUiSetting
{
public:
    static QString uiFilePath() { return QStringLiteral("setting/CANOpenUi.ini"); }
    static QString fastOptFilePath() { return QStringLiteral("setting/CANOpenFastOptSet.ini"); }
    // Every quick-operation row is a row of widgets: a file holds at most
    // this many (the settings dialog's bound too).
    static constexpr int kFastOptRowsMax = 1000;

    QUserCANopenUiSetting();
    ~QUserCANopenUiSetting();
    QUserCANopenUiSetting(const QUserCANopenUiSetting &) = delete;
    QUserCANopenUiSetting &operator=(const QUserCANopenUiSetting &) = delete;

    int rightTabPageIndex = 0;  // "windowRightTabPageIndex": set to 0 on every page switch
    int leftTabPageIndex = 0;   // "windowLeftTabPageIndex": the right-hand tab widget's page
    QList<QUserCANopenFastOpt> fastOptList;
    QUserCia301UiSetting cia301;
    QUserCia402UiSetting cia402;
    QString dictFilterText;
    int listenMenuRow = -1;
    int listenMenuColumn = -1;
    int listenMenuX = 0;
    int listenMenuY = 0;
    QSplitter *edsRootSplitter = nullptr;
    QSplitter *edsLeftSplitter = nullptr;
    QSplitter *edsRightSplitter = nullptr;
    QByteArray edsRootSplitterState;   // "dbcEdsSpliteRootRate"
    QByteArray edsLeftSplitterState;   // "dbcEdsSpliteLeftFileRate"
    QByteArray edsRightSplitterState;  // "dbcEdsSpliteRightListenRate"
    QUserEdsParser edsParser;
    int listenEditRow = -1;
    int listenEditColumn = -1;
    QSplitter *canopenRootSplitter = nullptr;
    QByteArray canopenRootSplitterState; // "openCanSpliteRootRate"

    void tabPageIndexSet(int first, int second);
    void tabPageIndexGet(int &first, int &second) const;

    // Replaces the rows with those stored in "CANOpenFastOptSet.ini".
    void fastOptLoad();
    // Takes the row edits' texts into the rows and rewrites the file when a
    // text changed or the row count changed since the last write; true when
    // it wrote.
    bool fastOptSave();
    // Appends default rows or drops rows at the end until there are n.
    void fastOptCountSet(int n);

private:
    FileKeyValue store;
    bool fastOptDirty = false;
};
