/*
 * kemsig: the DBC database library.
 *
 * Records exchanged with a caller of the KDBC_ functions. They are a binary
 * interface: little-endian, every offset and size fixed, padding bytes part
 * of the layout. The caller owns every record it passes; the library copies
 * into and out of them and hands out nothing but the handle.
 *
 * Every text field holds UTF-8 (the encoding of a file, UTF-8, code page
 * 936 or code page 1252, is decided from the whole file and its lines are
 * converted before they are cut), and every length limit counts bytes.
 */
#pragma once

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#  if defined(KEMSIG_BUILD_SHARED)
#    define KEMSIG_API __declspec(dllexport)
#  else
#    define KEMSIG_API
#  endif
#else
#  define KEMSIG_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define KDBC_MAX_SIGNALS 256
#define KDBC_MAX_VALDESC_PAIRS 16
#define KDBC_J1939_MAX_BYTES 1792

/* KDBC_LoadFile reads regular files of at most this many bytes (64 MiB,
 * far beyond any real DBC file); folders, devices, pipes and larger files
 * are refused like a file that cannot be opened. */
#define KDBC_MAX_FILE_BYTES (64u * 1024u * 1024u)

/* Protocols of a handle. */
#define KDBC_PROTOCOL_J1939 0
#define KDBC_PROTOCOL_CAN 1

/* Multiplexer kinds of DbcSignal::multiplexerType. */
#define KDBC_MUX_NONE 0
#define KDBC_MUX_MULTIPLEXED 1
#define KDBC_MUX_SWITCH 2

/* Value types of DbcSignal::valType, from the file's SIG_VALTYPE_ lines:
 * an integer field, or the bits of an IEEE 754 single or double. */
#define KDBC_VALTYPE_INTEGER 0
#define KDBC_VALTYPE_FLOAT 1
#define KDBC_VALTYPE_DOUBLE 2

/* One signal, 400 bytes. */
typedef struct DbcSignal {
    int32_t nStartBit;        /* start bit as written in the file */
    int32_t nLen;             /* length in bits, 0..64 */
    double nFactor;           /* physical = raw * factor + offset */
    double nOffset;
    double nMin;
    double nMax;
    uint64_t nRawValue;       /* the bit field, zero-extended */
    uint8_t isSigned;         /* 1: two's complement field */
    uint8_t isMotorola;       /* 1: big-endian (byte order 0), 0: Intel */
    uint8_t multiplexerType;  /* KDBC_MUX_* */
    uint8_t valType;          /* KDBC_VALTYPE_* */
    int32_t multiplexerValue; /* the number after "m" */
    char unit[11];
    char strName[128];
    char strComment[201];
    uint8_t reserved[4];
} DbcSignal;

/* One message, 102768 bytes. */
typedef struct DbcMessage {
    uint32_t nSignalCount;    /* used entries of sSignals, 0..256 */
    uint32_t nID;             /* bit 31: extended frame; bits 0-28: identifier */
    uint32_t nSize;           /* data length in bytes */
    uint32_t reserved;
    double nCycleTime;        /* milliseconds; left 0 by the parser */
    uint8_t nExtend;          /* bit 31 of nID */
    uint8_t padding0[7];
    DbcSignal sSignals[KDBC_MAX_SIGNALS];
    char strName[128];
    char strComment[201];
    uint8_t padding1[7];
} DbcMessage;

/* Encodings a file was read in (DbcLoadReport::nEncoding). */
#define KDBC_ENCODING_ASCII 0
#define KDBC_ENCODING_UTF8 1
#define KDBC_ENCODING_UTF8_BOM 2
#define KDBC_ENCODING_GBK 3   /* code page 936 */
#define KDBC_ENCODING_CP1252 4

/* What the last KDBC_LoadFile made of its file, 32 bytes. Line numbers
 * count from 1; 0 stands for none. A damaged line is one of the kinds
 * kemsig reads (BO_, SG_, VAL_, CM_ BO_, CM_ SG_, SIG_VALTYPE_) that does
 * not parse, a SG_ line before any BO_ line, or a line that is no DBC
 * statement at all; lines of the kinds kemsig leaves unread (NS_, BS_,
 * BU_, BA_DEF_, BA_, VAL_TABLE_, EV_, SIG_GROUP_, comments spanning several
 * lines and the like) are never counted. Extended multiplexing
 * (SG_MUL_VAL_ lines and cascaded switches marked like "m3M") is not read:
 * such a file's multiplexed signals follow their plain m/M marks only. */
typedef struct DbcLoadReport {
    uint32_t nLines;             /* lines in the file */
    uint32_t nReadLines;         /* lines read into the tables */
    uint32_t nDamagedLines;      /* lines that could not be read */
    uint32_t nFirstDamagedLine;
    uint32_t nExtMuxLines;       /* lines of extended multiplexing, not read */
    uint32_t nFirstExtMuxLine;
    uint32_t nEncoding;          /* KDBC_ENCODING_* */
    uint32_t reserved;           /* 0 */
} DbcLoadReport;

/* One value description, 144 bytes. */
typedef struct DbcValDescPair {
    double value;
    char text[136];           /* at most 128 bytes and a NUL */
} DbcValDescPair;

#ifdef __cplusplus
#  define KEMSIG_STATIC_ASSERT(c, m) static_assert(c, m)
#else
#  define KEMSIG_STATIC_ASSERT(c, m) _Static_assert(c, m)
#endif

KEMSIG_STATIC_ASSERT(sizeof(DbcSignal) == 400, "DbcSignal size");
KEMSIG_STATIC_ASSERT(offsetof(DbcSignal, nStartBit) == 0, "DbcSignal.nStartBit");
KEMSIG_STATIC_ASSERT(offsetof(DbcSignal, nLen) == 4, "DbcSignal.nLen");
KEMSIG_STATIC_ASSERT(offsetof(DbcSignal, nFactor) == 8, "DbcSignal.nFactor");
KEMSIG_STATIC_ASSERT(offsetof(DbcSignal, nOffset) == 16, "DbcSignal.nOffset");
KEMSIG_STATIC_ASSERT(offsetof(DbcSignal, nMin) == 24, "DbcSignal.nMin");
KEMSIG_STATIC_ASSERT(offsetof(DbcSignal, nMax) == 32, "DbcSignal.nMax");
KEMSIG_STATIC_ASSERT(offsetof(DbcSignal, nRawValue) == 40, "DbcSignal.nRawValue");
KEMSIG_STATIC_ASSERT(offsetof(DbcSignal, isSigned) == 48, "DbcSignal.isSigned");
KEMSIG_STATIC_ASSERT(offsetof(DbcSignal, isMotorola) == 49, "DbcSignal.isMotorola");
KEMSIG_STATIC_ASSERT(offsetof(DbcSignal, multiplexerType) == 50, "DbcSignal.multiplexerType");
KEMSIG_STATIC_ASSERT(offsetof(DbcSignal, valType) == 51, "DbcSignal.valType");
KEMSIG_STATIC_ASSERT(offsetof(DbcSignal, multiplexerValue) == 52, "DbcSignal.multiplexerValue");
KEMSIG_STATIC_ASSERT(offsetof(DbcSignal, unit) == 56, "DbcSignal.unit");
KEMSIG_STATIC_ASSERT(offsetof(DbcSignal, strName) == 67, "DbcSignal.strName");
KEMSIG_STATIC_ASSERT(offsetof(DbcSignal, strComment) == 195, "DbcSignal.strComment");
KEMSIG_STATIC_ASSERT(offsetof(DbcSignal, reserved) == 396, "DbcSignal.reserved");

KEMSIG_STATIC_ASSERT(sizeof(DbcMessage) == 102768, "DbcMessage size");
KEMSIG_STATIC_ASSERT(offsetof(DbcMessage, nSignalCount) == 0, "DbcMessage.nSignalCount");
KEMSIG_STATIC_ASSERT(offsetof(DbcMessage, nID) == 4, "DbcMessage.nID");
KEMSIG_STATIC_ASSERT(offsetof(DbcMessage, nSize) == 8, "DbcMessage.nSize");
KEMSIG_STATIC_ASSERT(offsetof(DbcMessage, reserved) == 12, "DbcMessage.reserved");
KEMSIG_STATIC_ASSERT(offsetof(DbcMessage, nCycleTime) == 16, "DbcMessage.nCycleTime");
KEMSIG_STATIC_ASSERT(offsetof(DbcMessage, nExtend) == 24, "DbcMessage.nExtend");
KEMSIG_STATIC_ASSERT(offsetof(DbcMessage, padding0) == 25, "DbcMessage.padding0");
KEMSIG_STATIC_ASSERT(offsetof(DbcMessage, sSignals) == 32, "DbcMessage.sSignals");
KEMSIG_STATIC_ASSERT(offsetof(DbcMessage, strName) == 102432, "DbcMessage.strName");
KEMSIG_STATIC_ASSERT(offsetof(DbcMessage, strComment) == 102560, "DbcMessage.strComment");
KEMSIG_STATIC_ASSERT(offsetof(DbcMessage, padding1) == 102761, "DbcMessage.padding1");

KEMSIG_STATIC_ASSERT(sizeof(DbcLoadReport) == 32, "DbcLoadReport size");
KEMSIG_STATIC_ASSERT(offsetof(DbcLoadReport, nDamagedLines) == 8, "DbcLoadReport.nDamagedLines");
KEMSIG_STATIC_ASSERT(offsetof(DbcLoadReport, nEncoding) == 24, "DbcLoadReport.nEncoding");

KEMSIG_STATIC_ASSERT(sizeof(DbcValDescPair) == 144, "DbcValDescPair size");
KEMSIG_STATIC_ASSERT(offsetof(DbcValDescPair, value) == 0, "DbcValDescPair.value");
KEMSIG_STATIC_ASSERT(offsetof(DbcValDescPair, text) == 8, "DbcValDescPair.text");

/* The handle: one DBC database, used by one thread at a time.
 *
 * No C++ exception ever leaves a KDBC_ function: each one catches at its
 * boundary (running out of memory while loading, for instance) and returns
 * its failure value (0, -1 for KDBC_Decode, a null handle for KDBC_Init). */
typedef struct DbcDatabase DbcDatabase;

KEMSIG_API DbcDatabase *KDBC_Init(void);
KEMSIG_API uint8_t KDBC_LoadFile(DbcDatabase *db, const char *path);
KEMSIG_API uint8_t KDBC_SetProtocol(DbcDatabase *db, int32_t protocol);
KEMSIG_API uint8_t KDBC_GetProtocol(DbcDatabase *db);
KEMSIG_API uint32_t KDBC_GetMessageCount(DbcDatabase *db);
KEMSIG_API uint8_t KDBC_GetMessageByIndex(DbcDatabase *db, uint32_t index, DbcMessage *out);
KEMSIG_API uint32_t KDBC_GetValDescPairCount(DbcDatabase *db, uint32_t msgId, const char *signalName);
KEMSIG_API uint32_t KDBC_GetValDescPair(DbcDatabase *db, uint32_t msgId, const char *signalName,
                                        DbcValDescPair *out, uint32_t maxCount);
/* frame: a KCAN_CAN_OBJ (fdFlag 0) or a KCAN_CANFD_OBJ (fdFlag non-zero). */
KEMSIG_API int32_t KDBC_Decode(DbcDatabase *db, const void *frame, int32_t fdFlag, DbcMessage *out);
KEMSIG_API uint32_t KDBC_Encode(DbcDatabase *db, uint8_t *data, uint32_t dataLen, const DbcMessage *msg);
KEMSIG_API uint8_t KDBC_ClrMessage(DbcDatabase *db);
KEMSIG_API uint8_t KDBC_InsertMessage(DbcDatabase *db, const DbcMessage *msg);
KEMSIG_API uint8_t KDBC_DeleteMessage(DbcDatabase *db, uint32_t id);
KEMSIG_API double KDBC_CalcPhysicalValue(const DbcSignal *sig, uint64_t raw);
KEMSIG_API int64_t KDBC_CalcRawValue(const DbcSignal *sig, double physical);
KEMSIG_API void KDBC_Release(DbcDatabase *db);
/* Copies the report of the handle's last KDBC_LoadFile (all zero before the
 * first, and after a file that could not be opened); 0 for a null handle or
 * output, else 1. */
KEMSIG_API uint8_t KDBC_GetLoadReport(DbcDatabase *db, DbcLoadReport *out);

#ifdef __cplusplus
}
#endif
