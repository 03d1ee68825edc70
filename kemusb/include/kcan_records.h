#pragma once
/*
 * Records that cross the boundary between a caller of the KCAN_ functions and
 * kemusb. They are a binary interface: every offset and width is fixed and
 * multi-byte fields are little-endian. The caller owns every record it passes.
 */

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One classic frame, 24 bytes. */
typedef struct KCAN_CAN_OBJ {
    uint32_t ID;          /* 11 or 29 bits, no flag bits */
    uint32_t TimeStamp;   /* adapter time stamp of a received frame */
    uint8_t TimeFlag;     /* copied through on the classic path */
    uint8_t SendType;     /* transmit: low 4 bits reach the adapter */
    uint8_t RemoteFlag;   /* non-zero: remote frame */
    uint8_t ExternFlag;   /* non-zero: 29-bit identifier */
    uint8_t DataLen;      /* 0-8 */
    uint8_t Reserved[3];
    uint8_t Data[8];
} KCAN_CAN_OBJ;

/* CAN FD flag byte bits of KCAN_CANFD_OBJ::FdFlag. */
#define KCAN_FD_FLAG_BRS 0x08u /* bit-rate switch */
#define KCAN_FD_FLAG_ESI 0x10u /* error-state indicator */

/* One CAN FD frame, 80 bytes. */
typedef struct KCAN_CANFD_OBJ {
    uint32_t ID;
    uint32_t TimeStamp;
    uint8_t FdFlag;       /* KCAN_FD_FLAG_BRS | KCAN_FD_FLAG_ESI */
    uint8_t SendType;
    uint8_t RemoteFlag;
    uint8_t ExternFlag;
    uint8_t DataLen;      /* length in bytes, 0-64, not a length code */
    uint8_t Reserved[3];
    uint8_t Data[64];
} KCAN_CANFD_OBJ;

/* Classic channel initialisation, 16 bytes. */
typedef struct KCAN_INIT_CONFIG {
    uint32_t AccCode;
    uint32_t AccMask;
    uint32_t Reserved;
    uint8_t Filter;
    uint8_t Timing0;
    uint8_t Timing1;
    uint8_t Mode;
} KCAN_INIT_CONFIG;

/* CAN FD channel initialisation, 56 bytes; the caller zero-fills it. */
typedef struct KCAN_INITFD_CONFIG {
    uint32_t ArbBaud;        /* bit/s; 0 = use ArbTiming */
    uint32_t DataBaud;       /* bit/s */
    uint32_t ArbTiming;      /* used when both rates are 0 */
    uint32_t DataTiming;     /* used when both rates are 0 */
    uint8_t Mode;
    uint8_t FdEnable;        /* non-zero: CAN FD channel */
    uint8_t Standard;        /* CAN FD standard selector */
    uint8_t Reserved0[5];
    uint32_t KvArbBaud;      /* Kvaser arbitration bit/s */
    uint8_t KvArbTseg1;
    uint8_t KvArbTseg2;
    uint8_t KvArbSjw;
    uint8_t KvSamplePoints;
    uint8_t Reserved1[8];
    uint32_t KvDataBaud;     /* Kvaser data bit/s */
    uint8_t KvDataTseg1;
    uint8_t KvDataTseg2;
    uint8_t KvDataSjw;
    uint8_t KvDataPhase4;    /* handed on unchanged */
    uint8_t Reserved2[8];
} KCAN_INITFD_CONFIG;

/* KCAN_FLITER_CONFIG::Kind */
#define KCAN_FLITER_CLEAR 0u
#define KCAN_FLITER_ADD 1u
#define KCAN_FLITER_ACK 2u

/* One step of the acceptance filter set-up, 16 bytes. */
typedef struct KCAN_FLITER_CONFIG {
    uint8_t Kind;        /* 0 clear all ranges, 1 add one range, 2 apply */
    uint8_t Reserved0;   /* not read */
    uint8_t Mode;        /* Kind 1: 0 standard, 1 extended identifiers */
    uint8_t Reserved1;
    uint32_t Start;      /* Kind 1: first identifier of the range */
    uint32_t End;        /* Kind 1: last identifier of the range */
    uint32_t Reserved2;
} KCAN_FLITER_CONFIG;

#ifdef __cplusplus
} /* extern "C" */

#define KCAN_CHECK_FIELD(T, f, off) static_assert(offsetof(T, f) == (off), #T "::" #f " offset")

static_assert(sizeof(KCAN_CAN_OBJ) == 24, "KCAN_CAN_OBJ size");
KCAN_CHECK_FIELD(KCAN_CAN_OBJ, ID, 0);
KCAN_CHECK_FIELD(KCAN_CAN_OBJ, TimeStamp, 4);
KCAN_CHECK_FIELD(KCAN_CAN_OBJ, TimeFlag, 8);
KCAN_CHECK_FIELD(KCAN_CAN_OBJ, SendType, 9);
KCAN_CHECK_FIELD(KCAN_CAN_OBJ, RemoteFlag, 10);
KCAN_CHECK_FIELD(KCAN_CAN_OBJ, ExternFlag, 11);
KCAN_CHECK_FIELD(KCAN_CAN_OBJ, DataLen, 12);
KCAN_CHECK_FIELD(KCAN_CAN_OBJ, Reserved, 13);
KCAN_CHECK_FIELD(KCAN_CAN_OBJ, Data, 16);

static_assert(sizeof(KCAN_CANFD_OBJ) == 80, "KCAN_CANFD_OBJ size");
KCAN_CHECK_FIELD(KCAN_CANFD_OBJ, ID, 0);
KCAN_CHECK_FIELD(KCAN_CANFD_OBJ, TimeStamp, 4);
KCAN_CHECK_FIELD(KCAN_CANFD_OBJ, FdFlag, 8);
KCAN_CHECK_FIELD(KCAN_CANFD_OBJ, SendType, 9);
KCAN_CHECK_FIELD(KCAN_CANFD_OBJ, RemoteFlag, 10);
KCAN_CHECK_FIELD(KCAN_CANFD_OBJ, ExternFlag, 11);
KCAN_CHECK_FIELD(KCAN_CANFD_OBJ, DataLen, 12);
KCAN_CHECK_FIELD(KCAN_CANFD_OBJ, Reserved, 13);
KCAN_CHECK_FIELD(KCAN_CANFD_OBJ, Data, 16);

static_assert(sizeof(KCAN_INIT_CONFIG) == 16, "KCAN_INIT_CONFIG size");
KCAN_CHECK_FIELD(KCAN_INIT_CONFIG, AccCode, 0);
KCAN_CHECK_FIELD(KCAN_INIT_CONFIG, AccMask, 4);
KCAN_CHECK_FIELD(KCAN_INIT_CONFIG, Reserved, 8);
KCAN_CHECK_FIELD(KCAN_INIT_CONFIG, Filter, 12);
KCAN_CHECK_FIELD(KCAN_INIT_CONFIG, Timing0, 13);
KCAN_CHECK_FIELD(KCAN_INIT_CONFIG, Timing1, 14);
KCAN_CHECK_FIELD(KCAN_INIT_CONFIG, Mode, 15);

static_assert(sizeof(KCAN_INITFD_CONFIG) == 56, "KCAN_INITFD_CONFIG size");
KCAN_CHECK_FIELD(KCAN_INITFD_CONFIG, ArbBaud, 0);
KCAN_CHECK_FIELD(KCAN_INITFD_CONFIG, DataBaud, 4);
KCAN_CHECK_FIELD(KCAN_INITFD_CONFIG, ArbTiming, 8);
KCAN_CHECK_FIELD(KCAN_INITFD_CONFIG, DataTiming, 12);
KCAN_CHECK_FIELD(KCAN_INITFD_CONFIG, Mode, 16);
KCAN_CHECK_FIELD(KCAN_INITFD_CONFIG, FdEnable, 17);
KCAN_CHECK_FIELD(KCAN_INITFD_CONFIG, Standard, 18);
KCAN_CHECK_FIELD(KCAN_INITFD_CONFIG, Reserved0, 19);
KCAN_CHECK_FIELD(KCAN_INITFD_CONFIG, KvArbBaud, 24);
KCAN_CHECK_FIELD(KCAN_INITFD_CONFIG, KvArbTseg1, 28);
KCAN_CHECK_FIELD(KCAN_INITFD_CONFIG, KvArbTseg2, 29);
KCAN_CHECK_FIELD(KCAN_INITFD_CONFIG, KvArbSjw, 30);
KCAN_CHECK_FIELD(KCAN_INITFD_CONFIG, KvSamplePoints, 31);
KCAN_CHECK_FIELD(KCAN_INITFD_CONFIG, Reserved1, 32);
KCAN_CHECK_FIELD(KCAN_INITFD_CONFIG, KvDataBaud, 40);
KCAN_CHECK_FIELD(KCAN_INITFD_CONFIG, KvDataTseg1, 44);
KCAN_CHECK_FIELD(KCAN_INITFD_CONFIG, KvDataTseg2, 45);
KCAN_CHECK_FIELD(KCAN_INITFD_CONFIG, KvDataSjw, 46);
KCAN_CHECK_FIELD(KCAN_INITFD_CONFIG, KvDataPhase4, 47);
KCAN_CHECK_FIELD(KCAN_INITFD_CONFIG, Reserved2, 48);

static_assert(sizeof(KCAN_FLITER_CONFIG) == 16, "KCAN_FLITER_CONFIG size");
KCAN_CHECK_FIELD(KCAN_FLITER_CONFIG, Kind, 0);
KCAN_CHECK_FIELD(KCAN_FLITER_CONFIG, Reserved0, 1);
KCAN_CHECK_FIELD(KCAN_FLITER_CONFIG, Mode, 2);
KCAN_CHECK_FIELD(KCAN_FLITER_CONFIG, Reserved1, 3);
KCAN_CHECK_FIELD(KCAN_FLITER_CONFIG, Start, 4);
KCAN_CHECK_FIELD(KCAN_FLITER_CONFIG, End, 8);
KCAN_CHECK_FIELD(KCAN_FLITER_CONFIG, Reserved2, 12);

#undef KCAN_CHECK_FIELD
#else
/* C11 and later check the sizes too. */
_Static_assert(sizeof(KCAN_CAN_OBJ) == 24, "KCAN_CAN_OBJ size");
_Static_assert(sizeof(KCAN_CANFD_OBJ) == 80, "KCAN_CANFD_OBJ size");
_Static_assert(sizeof(KCAN_INIT_CONFIG) == 16, "KCAN_INIT_CONFIG size");
_Static_assert(sizeof(KCAN_INITFD_CONFIG) == 56, "KCAN_INITFD_CONFIG size");
_Static_assert(sizeof(KCAN_FLITER_CONFIG) == 16, "KCAN_FLITER_CONFIG size");
#endif
