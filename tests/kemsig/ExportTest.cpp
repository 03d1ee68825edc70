// The shared library as Orvane binds it: by file name, each function by its
// exported name, and nothing of the implementation visible.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include "tests/kemsig/KemsigTestUtil.h"
#include "tests/support/PeerCheck.h"

TEST(KemsigShared, ExportsTheKdbcFunctionsAndHidesTheRest)
{
    const std::string path = peer::binDir() + "/libkemsig.so";
    void *lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    const char *names[] = {"KDBC_Init",
                           "KDBC_LoadFile",
                           "KDBC_SetProtocol",
                           "KDBC_GetProtocol",
                           "KDBC_GetMessageCount",
                           "KDBC_GetMessageByIndex",
                           "KDBC_GetValDescPairCount",
                           "KDBC_GetValDescPair",
                           "KDBC_Decode",
                           "KDBC_Encode",
                           "KDBC_ClrMessage",
                           "KDBC_InsertMessage",
                           "KDBC_DeleteMessage",
                           "KDBC_CalcPhysicalValue",
                           "KDBC_CalcRawValue",
                           "KDBC_Release",
                           "KDBC_GetLoadReport"};
    for (const char *n : names)
        EXPECT_NE(dlsym(lib, n), nullptr) << n;
    // Implementation symbols stay inside the library.
    for (const char *n : {"_ZN6kemsig12extractIntelEPKhjiiPm", "_ZNK11DbcDatabase10messageKeyEj",
                          "_ZN6kemsig11Cp936ToUtf87convertESt17basic_string_viewIcSt11char_traitsIcEERNSt7__cxx1112basic_stringIcS3_SaIcEEE"})
        EXPECT_EQ(dlsym(lib, n), nullptr) << n;

    // A handle made through the loaded library works like the linked one.
    using InitFn = DbcDatabase *(*)();
    using ProtoFn = uint8_t (*)(DbcDatabase *);
    using ReleaseFn = void (*)(DbcDatabase *);
    auto init = reinterpret_cast<InitFn>(dlsym(lib, "KDBC_Init"));
    auto proto = reinterpret_cast<ProtoFn>(dlsym(lib, "KDBC_GetProtocol"));
    auto release = reinterpret_cast<ReleaseFn>(dlsym(lib, "KDBC_Release"));
    ASSERT_TRUE(init && proto && release);
    DbcDatabase *db = init();
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(proto(db), 1);
    release(db);
    dlclose(lib);
}
