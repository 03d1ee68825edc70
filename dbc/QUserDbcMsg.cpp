#include "dbc/QUserDbcMsg.h"

#include "core/QUserCanMsg.h"

int QUserDbcMsg::setFrame(qint64 timeMs, const QString &idText, bool extended, const QString &dataText)
{
    nFrameTime = timeMs;
    strFrameId = idText;
    nExtend = extended ? 1 : 0;
    strData = dataText;
    return 1;
}

bool QUserDbcMsg::isIdValid() const
{
    if (strFrameId.isEmpty())
        return false;
    return isCanIdValid(nExtend != 0, strFrameId);
}
