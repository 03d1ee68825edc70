#pragma once
// Everything of the core services in one include.

#include "FileKeyValue.h"
#include "QFClassUserCanMsg.h"
#include "QUserAes.h"
#include "QUserBaudFunc.h"
#include "QUserCanMsg.h"
#include "QUserCanMsgRaw.h"
#include "QUserDevId.h"
#include "QUserFliterCfg.h"
#include "QUserLogHandler.h"
#include "QUserMsgQueue.h"
#include "QUserProtocolFrame.h"
#include "QUserSendTask.h"
#include "QUserSysCfg.h"
#include "QUserThreadObject.h"
#include "QUserTimer.h"
#include "QUserWork.h"
