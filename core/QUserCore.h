#pragma once
// Everything of the core services in one include.

#include "core/FileKeyValue.h"
#include "core/QFClassUserCanMsg.h"
#include "core/QUserAes.h"
#include "core/QUserBaudFunc.h"
#include "core/QUserCanMsg.h"
#include "core/QUserCanMsgRaw.h"
#include "core/QUserDevId.h"
#include "core/QUserFliterCfg.h"
#include "core/QUserLogHandler.h"
#include "core/QUserMsgQueue.h"
#include "core/QUserProtocolFrame.h"
#include "core/QUserSendTask.h"
#include "core/QUserSysCfg.h"
#include "core/QUserThreadObject.h"
#include "core/QUserTimer.h"
#include "core/QUserWork.h"
