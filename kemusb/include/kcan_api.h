#pragma once
/*
 * The KCAN_ functions of kemusb: one flat family through which a caller
 * drives every supported adapter by device type, device index and channel.
 * Results are 1 for success and 0 for failure unless a count is returned.
 */

#include "kcan_records.h"
#include "kemusb_export.h"

#include <stdint.h>

KEMUSB_API uint32_t KCAN_OpenDevice(uint32_t type, uint32_t index);
KEMUSB_API uint32_t KCAN_CloseDevice(uint32_t type, uint32_t index);
KEMUSB_API uint32_t KCAN_InitCAN(uint32_t type, uint32_t index, uint32_t channel, const KCAN_INIT_CONFIG *config);
KEMUSB_API uint32_t KCAN_InitCANFD(uint32_t type, uint32_t index, uint32_t channel, const KCAN_INITFD_CONFIG *config);
KEMUSB_API uint32_t KCAN_SetFliter(uint32_t type, uint32_t index, uint32_t channel, const KCAN_FLITER_CONFIG *config);
KEMUSB_API uint32_t KCAN_Start(uint32_t type, uint32_t index, uint32_t channel);
KEMUSB_API uint32_t KCAN_Stop(uint32_t type, uint32_t index, uint32_t channel);
KEMUSB_API uint32_t KCAN_ClearBuffer(uint32_t type, uint32_t index, uint32_t channel);
KEMUSB_API uint32_t KCAN_GetReceiveNum(uint32_t type, uint32_t index, uint32_t channel, uint8_t kind);
KEMUSB_API uint32_t KCAN_Receive(uint32_t type, uint32_t index, uint32_t channel, KCAN_CAN_OBJ *buf, uint32_t count,
                                 int32_t waitMs);
KEMUSB_API uint32_t KCAN_ReceiveFD(uint32_t type, uint32_t index, uint32_t channel, KCAN_CANFD_OBJ *buf,
                                   uint32_t count, int32_t waitMs);
KEMUSB_API uint32_t KCAN_Transmit(uint32_t type, uint32_t index, uint32_t channel, const KCAN_CAN_OBJ *frames,
                                  uint32_t count);
KEMUSB_API uint32_t KCAN_TransmitFD(uint32_t type, uint32_t index, uint32_t channel, const KCAN_CANFD_OBJ *frames,
                                    uint32_t count);
/* buf holds the request and receives the reply (less its first two bytes);
 * it must hold 62 bytes. Returns the reply length, 0 on failure. */
KEMUSB_API uint32_t KCAN_DataDirectTransfer(uint32_t type, uint32_t index, uint8_t *buf, int32_t len);
KEMUSB_API uint32_t KCAN_BoardInfoGet(uint32_t type, uint32_t index, void *boardInfo);
KEMUSB_API uint32_t KCAN_DevChStateGet(uint32_t type, uint32_t index, uint32_t channel, uint8_t *a, uint8_t *b,
                                       uint8_t *c);
KEMUSB_API uint32_t KCAN_DevRelayStatusSet(uint32_t type, uint32_t index, uint8_t a, uint8_t b);
KEMUSB_API uint32_t KCAN_DevRelayStatusGet(uint32_t type, uint32_t index, uint8_t *a, uint8_t *b);
KEMUSB_API uint32_t KCAN_DevBaudParaGet(uint32_t type, uint32_t index, uint32_t channel, uint8_t *timing0,
                                        uint8_t *timing1);
/* 1 when the adapter opened under (type, index) has left the host: it was
 * unplugged, or it stopped answering for good. Its receives give nothing and
 * its transmits fail from then on; it has to be closed (KCAN_CloseDevice) and,
 * once it is back, opened again. 0 while it answers, when no adapter is open
 * under (type, index), and for an unknown type. */
KEMUSB_API uint32_t KCAN_DevIsGone(uint32_t type, uint32_t index);
/* Recording adapters (types 61, 62). The setting record is 21 bytes, the
 * filter record 14 (kind at 2, first id at 4, last id at 8, index at 12),
 * the filter information 3 (u16 at 0, u8 at 2). */
KEMUSB_API uint32_t KCAN_RecordSettingSet(uint32_t type, uint32_t index, uint32_t channel, void *setting);
KEMUSB_API uint32_t KCAN_RecordSettingGet(uint32_t type, uint32_t index, uint32_t channel, void *setting);
/* Command 4 writes the filter information to `filter`. */
KEMUSB_API uint32_t KCAN_RecordCmdExecute(uint32_t type, uint32_t index, uint32_t channel, uint32_t command,
                                          uint32_t argument, void *filter);
KEMUSB_API uint32_t KCAN_RecordFliterClr(uint32_t type, uint32_t index, uint32_t channel);
KEMUSB_API uint32_t KCAN_RecordFliterAdd(uint32_t type, uint32_t index, uint32_t channel, void *filter);
KEMUSB_API uint32_t KCAN_RecordFliterEnable(uint32_t type, uint32_t index, uint32_t channel);
KEMUSB_API uint32_t KCAN_RecordFliterDisable(uint32_t type, uint32_t index, uint32_t channel);
KEMUSB_API uint32_t KCAN_RecordFliterInfoGet(uint32_t type, uint32_t index, uint32_t channel, void *info);
KEMUSB_API uint32_t KCAN_RecordFliterSettingGet(uint32_t type, uint32_t index, uint32_t channel, uint16_t filterIndex,
                                                void *filter);
