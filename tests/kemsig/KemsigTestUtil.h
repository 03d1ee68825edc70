// Helpers shared by the kemsig tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "kemsig/src/DbcDatabase.h"
#include "kemsig/include/kemsig.h"
#include "kemusb/include/kcan_records.h"

namespace kt {

struct DbDeleter {
    void operator()(DbcDatabase *db) const { KDBC_Release(db); }
};
using Db = std::unique_ptr<DbcDatabase, DbDeleter>;

inline Db makeDb(int32_t protocol = KDBC_PROTOCOL_CAN)
{
    Db db(KDBC_Init());
    KDBC_SetProtocol(db.get(), protocol);
    return db;
}

// A DbcMessage is 100 KB: keep it off the stack.
inline std::unique_ptr<DbcMessage> newMessage()
{
    auto m = std::make_unique<DbcMessage>();
    std::memset(m.get(), 0, sizeof(DbcMessage));
    return m;
}

inline void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream f(path, std::ios::binary);
    f << bytes;
}

inline KCAN_CAN_OBJ canFrame(uint32_t id, std::vector<uint8_t> data)
{
    KCAN_CAN_OBJ f;
    std::memset(&f, 0, sizeof f);
    f.ID = id;
    f.DataLen = uint8_t(data.size());
    if (!data.empty())
        std::memcpy(f.Data, data.data(), std::min<size_t>(data.size(), 8));
    return f;
}

inline DbcSignal signal(int32_t start, int32_t len, bool motorola, bool isSigned = false, double factor = 1,
                        double offset = 0, const char *name = "S")
{
    DbcSignal s;
    std::memset(&s, 0, sizeof s);
    s.nStartBit = start;
    s.nLen = len;
    s.isMotorola = motorola;
    s.isSigned = isSigned;
    s.nFactor = factor;
    s.nOffset = offset;
    std::strncpy(s.strName, name, sizeof s.strName - 1);
    return s;
}

} // namespace kt
