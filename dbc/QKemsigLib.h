#pragma once
// The DBC library kemsig, bound by file name. The program names it
// "kemsig.dll"; on this platform that is libkemsig.so next to the program
// (then in the build's bin folder, for tests run from elsewhere). Every
// KDBC_ function is resolved when the library loads and the pointer kept; a
// name that does not resolve stays null, and callers treat a null pointer
// as an operation the library does not offer. One object per thread that
// uses the library (the windows and each load job keep their own).

#include <QLibrary>
#include <QString>

#include "kemsig/include/kemsig.h"

class QKemsigLib
{
public:
    using InitFn = DbcDatabase *(*)();
    using ReleaseFn = void (*)(DbcDatabase *);
    using LoadFileFn = uint8_t (*)(DbcDatabase *, const char *);
    using SetProtocolFn = uint8_t (*)(DbcDatabase *, int32_t);
    using GetProtocolFn = uint8_t (*)(DbcDatabase *);
    using GetMessageCountFn = uint32_t (*)(DbcDatabase *);
    using GetMessageByIndexFn = uint8_t (*)(DbcDatabase *, uint32_t, DbcMessage *);
    using GetValDescPairCountFn = uint32_t (*)(DbcDatabase *, uint32_t, const char *);
    using GetValDescPairFn = uint32_t (*)(DbcDatabase *, uint32_t, const char *, DbcValDescPair *, uint32_t);
    using DecodeFn = int32_t (*)(DbcDatabase *, const void *, int32_t, DbcMessage *);
    using EncodeFn = uint32_t (*)(DbcDatabase *, uint8_t *, uint32_t, const DbcMessage *);
    using ClrMessageFn = uint8_t (*)(DbcDatabase *);
    using InsertMessageFn = uint8_t (*)(DbcDatabase *, const DbcMessage *);
    using DeleteMessageFn = uint8_t (*)(DbcDatabase *, uint32_t);
    using CalcPhysicalValueFn = double (*)(const DbcSignal *, uint64_t);
    using CalcRawValueFn = int64_t (*)(const DbcSignal *, double);
    using GetLoadReportFn = uint8_t (*)(DbcDatabase *, DbcLoadReport *);

    // Loads the library at once; isLoaded() tells the outcome.
    explicit QKemsigLib(const QString &fileName = QStringLiteral("kemsig.dll"));
    ~QKemsigLib();
    QKemsigLib(const QKemsigLib &) = delete;
    QKemsigLib &operator=(const QKemsigLib &) = delete;

    bool isLoaded() const { return loaded; }
    // True when every KDBC_ function resolved (the load report is extra: a
    // library without it loads files all the same).
    bool isComplete() const;
    QString errorString() const { return lib.errorString(); }
    void unload();

    // The file "kemsig.dll" stands for on this platform, searched next to the
    // program, then in $ORVANE_BINARY_DIR/bin, then in the build's bin folder.
    static QString resolvePath(const QString &fileName);

    InitFn init = nullptr;
    ReleaseFn release = nullptr;
    LoadFileFn loadFile = nullptr;
    SetProtocolFn setProtocol = nullptr;
    GetProtocolFn getProtocol = nullptr;
    GetMessageCountFn getMessageCount = nullptr;
    GetMessageByIndexFn getMessageByIndex = nullptr;
    GetValDescPairCountFn getValDescPairCount = nullptr;
    GetValDescPairFn getValDescPair = nullptr;
    DecodeFn decode = nullptr;
    EncodeFn encode = nullptr;
    ClrMessageFn clrMessage = nullptr;
    InsertMessageFn insertMessage = nullptr;
    DeleteMessageFn deleteMessage = nullptr;
    CalcPhysicalValueFn calcPhysicalValue = nullptr;
    CalcRawValueFn calcRawValue = nullptr;
    GetLoadReportFn getLoadReport = nullptr;

private:
    void resolveAll();
    void clearAll();

    QLibrary lib;
    bool loaded = false;
};
