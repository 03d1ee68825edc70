// kemsig held against python3-canmatrix: the same DBC files read by both,
// the same random frames decoded by both; J1939 keys against canmatrix's
// parameter group numbers; and the shared library driven from Python ctypes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <iconv.h>
#include <random>
#include <sstream>

#include "tests/kemsig/KemsigLoadFixtures.h"
#include "tests/kemsig/KemsigTestUtil.h"
#include "tests/support/PeerCheck.h"
#include "tests/support/TempWorkDir.h"

namespace {

std::string jsonString(const char *s)
{
    std::string out = "\"";
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(s); *p; ++p) {
        if (*p == '"' || *p == '\\') {
            out += '\\';
            out += char(*p);
        } else if (*p < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", *p);
            out += buf;
        } else {
            out += char(*p);
        }
    }
    return out + "\"";
}

std::string jsonNumber(double v)
{
    if (std::isnan(v))
        return "NaN";
    if (std::isinf(v))
        return v > 0 ? "Infinity" : "-Infinity";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

std::string utf8ToGbk(const std::string &in)
{
    iconv_t cd = iconv_open("GBK", "UTF-8");
    std::string out(in.size() * 2 + 4, '\0');
    char *src = const_cast<char *>(in.data());
    size_t srcLeft = in.size(), dstLeft = out.size();
    char *dst = &out[0];
    iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    out.resize(out.size() - dstLeft);
    return out;
}

struct DumpStats {
    uint32_t messages = 0, signals = 0;
};

// Writes kemsig's view of a DBC file as JSON: every message and signal with
// its value table, and `samples` random frames per message with the raw and
// physical value of every signal.
DumpStats dumpKemsig(const std::string &dbc, const std::string &out, int samples, uint32_t seed)
{
    DumpStats st;
    kt::Db db = kt::makeDb();
    EXPECT_EQ(KDBC_LoadFile(db.get(), dbc.c_str()), 1) << dbc;
    // canmatrix reads every line of these files: none is damaged.
    DbcLoadReport report;
    EXPECT_EQ(KDBC_GetLoadReport(db.get(), &report), 1);
    EXPECT_EQ(report.nDamagedLines, 0u) << dbc << ": first at line " << report.nFirstDamagedLine;
    auto m = kt::newMessage();
    auto dec = kt::newMessage();
    std::mt19937 rng(seed);
    std::ostringstream js;
    js << "{\"messages\": [";
    const uint32_t n = KDBC_GetMessageCount(db.get());
    for (uint32_t i = 0; i < n; ++i) {
        KDBC_GetMessageByIndex(db.get(), i, m.get());
        ++st.messages;
        js << (i ? ",\n" : "\n") << "{\"id\": " << m->nID << ", \"size\": " << m->nSize
           << ", \"name\": " << jsonString(m->strName) << ", \"comment\": " << jsonString(m->strComment)
           << ", \"signals\": [";
        for (uint32_t s = 0; s < m->nSignalCount; ++s) {
            const DbcSignal &sg = m->sSignals[s];
            ++st.signals;
            js << (s ? ", " : "") << "{\"name\": " << jsonString(sg.strName) << ", \"start\": " << sg.nStartBit
               << ", \"len\": " << sg.nLen << ", \"motorola\": " << int(sg.isMotorola)
               << ", \"signed\": " << int(sg.isSigned) << ", \"valtype\": " << int(sg.valType)
               << ", \"mux\": " << int(sg.multiplexerType)
               << ", \"muxval\": " << sg.multiplexerValue << ", \"factor\": " << jsonNumber(sg.nFactor)
               << ", \"offset\": " << jsonNumber(sg.nOffset) << ", \"min\": " << jsonNumber(sg.nMin)
               << ", \"max\": " << jsonNumber(sg.nMax) << ", \"unit\": " << jsonString(sg.unit)
               << ", \"comment\": " << jsonString(sg.strComment) << ", \"values\": [";
            DbcValDescPair pairs[KDBC_MAX_VALDESC_PAIRS];
            const uint32_t np = KDBC_GetValDescPair(db.get(), m->nID, sg.strName, pairs, KDBC_MAX_VALDESC_PAIRS);
            EXPECT_EQ(np, KDBC_GetValDescPairCount(db.get(), m->nID, sg.strName));
            for (uint32_t p = 0; p < np; ++p)
                js << (p ? ", " : "") << "[" << jsonNumber(pairs[p].value) << ", " << jsonString(pairs[p].text)
                   << "]";
            js << "]}";
        }
        js << "], \"samples\": [";
        for (int k = 0; m->nSize > 0 && m->nSize <= 64 && k < samples; ++k) {
            KCAN_CANFD_OBJ f;
            std::memset(&f, 0, sizeof f);
            f.ID = m->nID & 0x1FFFFFFF;
            f.DataLen = uint8_t(m->nSize);
            char hex[3];
            std::string data;
            for (uint32_t b = 0; b < m->nSize; ++b) {
                f.Data[b] = uint8_t(rng());
                std::snprintf(hex, sizeof hex, "%02x", f.Data[b]);
                data += hex;
            }
            const bool fd = m->nSize > 8;
            EXPECT_EQ(KDBC_Decode(db.get(), &f, fd ? 1 : 0, dec.get()), 0);
            js << (k ? ", " : "") << "{\"data\": \"" << data << "\", \"raw\": {";
            for (uint32_t s = 0; s < dec->nSignalCount; ++s)
                js << (s ? ", " : "") << jsonString(dec->sSignals[s].strName) << ": \""
                   << dec->sSignals[s].nRawValue << "\"";
            js << "}, \"phys\": {";
            for (uint32_t s = 0; s < dec->nSignalCount; ++s)
                js << (s ? ", " : "") << jsonString(dec->sSignals[s].strName) << ": "
                   << jsonNumber(KDBC_CalcPhysicalValue(&dec->sSignals[s], dec->sSignals[s].nRawValue));
            js << "}}";
        }
        js << "]}";
    }
    js << "\n]}\n";
    kt::writeFile(out, js.str());
    return st;
}

// Runs the comparison and prints its summary line into the test log.
void crossCheck(const std::string &dbc, const char *encoding, uint32_t seed)
{
    const std::string dump = dbc + ".kemsig.json";
    const DumpStats st = dumpKemsig(dbc, dump, 25, seed);
    EXPECT_GT(st.messages, 0u);
    const peer::Result r = peer::run(peer::script("kemsig_crosscheck.py"), {"compare", dbc, encoding, dump});
    std::cout << r.output;
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("differences 0"), std::string::npos);
}

// Hand-written fixtures: byte orders, signedness, 64-bit and CAN FD fields,
// multiplexing, comments and value tables, exponent notation, leading
// blanks, messages without signals.
const char kHandAscii[] =
    "VERSION \"\"\n"
    "\n"
    "NS_ :\n"
    "\n"
    "BS_:\n"
    "\n"
    "BU_: ECU GW\n"
    "\n"
    "BO_ 256 Engine: 8 ECU\n"
    " SG_ Speed : 0|16@1+ (0.1,0) [0|6553.5] \"km/h\" GW\n"
    " SG_ Temp : 23|12@0- (0.5,-10) [-10|117.5] \"C\" GW\n"
    " SG_ Flag : 63|1@0+ (1,0) [0|1] \"\" GW\n"
    " SG_ Torque : 40|16@1- (0.25,-100) [-8292|8092] \"Nm\" GW\n"
    " SG_ Nibble : 52|4@1- (1,0) [-8|7] \"\" GW,ECU\n"
    "\n"
    "BO_ 2147484672 Ext64: 8 ECU\n"
    " SG_ Whole : 0|64@1+ (1,0) [0|0] \"\" GW\n"
    " SG_ WholeM : 7|64@0- (1,0) [0|0] \"\" GW\n"
    "\n"
    "BO_ 2566844926 WheelSpeed: 8 ECU\n"
    "   SG_ FrontAxle : 8|16@1+ (0.00390625,0) [0|250.996] \"km/h\" GW\n"
    " SG_ RelLeft : 23|8@0- (0.0625,-7.8125) [-7.8125|7.8125] \"km/h\" GW\n"
    "\n"
    "BO_ 1025 FdMsg: 64 ECU\n"
    " SG_ A : 500|12@1+ (1E-2,5e1) [0|1] \"x\" GW\n"
    " SG_ B : 255|33@0- (1.5,0) [0|1] \"\" GW\n"
    " SG_ C : 7|1@0+ (1,0) [0|1] \"\" GW\n"
    " SG_ D : 455|64@0+ (2,1) [0|1] \"\" GW\n"
    "\n"
    "BO_ 300 Muxed: 8 ECU\n"
    " SG_ Sel M : 0|4@1+ (1,0) [0|15] \"\" GW\n"
    " SG_ Ch1 m1 : 8|8@1+ (1,0) [0|255] \"\" GW\n"
    " SG_ Ch2 m2 : 8|16@1- (1,0) [0|255] \"\" GW\n"
    "\n"
    "BO_ 302 NoSignals: 4 ECU\n"
    "\n"
    "BO_ 1 Tiny: 1 ECU\n"
    " SG_ Bit0 : 0|1@1+ (1,0) [0|1] \"\" GW\n"
    " SG_ Top : 7|3@0- (1,0) [0|1] \"\" GW\n"
    "\n"
    "CM_ BO_ 256 \"engine data\";\n"
    "CM_ SG_ 256 Temp \"coolant temperature\";\n"
    "CM_ SG_ 1025 D \"whole frame tail\";\n"
    "BA_DEF_ BO_ \"GenMsgCycleTime\" INT 0 65535;\n"
    "BA_ \"GenMsgCycleTime\" BO_ 256 100;\n"
    "VAL_ 256 Flag 0 \"Off\" 1 \"On\" ;\n"
    "VAL_ 300 Sel 1 \"Channel one\" 2 \"Channel two\" ;\n"
    "VAL_ 1 Top -1 \"minus one\" 3 \"three\" -4 \"low\" ;\n";

const char kHandGbk[] = // written as UTF-8 here, stored as GBK with CR LF
    "VERSION \"\"\r\n"
    "\r\n"
    "BU_: ECU GW\r\n"
    "\r\n"
    "BO_ 512 Body: 8 ECU\r\n"
    " SG_ Temp : 0|8@1- (1,-40) [-40|215] \"\xE2\x84\x83\" GW\r\n"
    " SG_ Door : 8|2@1+ (1,0) [0|3] \"\" GW\r\n"
    " SG_ Mass : 23|16@0+ (0.5,0) [0|32767] \"\xE5\x8D\x83\xE5\x85\x8B\" GW\r\n"
    "\r\n"
    "BO_ 2147483905 Seats: 8 ECU\r\n"
    " SG_ Heat : 0|3@1+ (1,0) [0|7] \"\xE6\xA1\xA3\" GW\r\n"
    "\r\n"
    "CM_ BO_ 512 \"\xE8\xBD\xA6\xE8\xBA\xAB\xE6\x8E\xA7\xE5\x88\xB6\";\r\n"
    "CM_ SG_ 512 Temp \"\xE8\xBD\xA6\xE5\x86\x85\xE6\xB8\xA9\xE5\xBA\xA6\";\r\n"
    "CM_ SG_ 2147483905 Heat \"\xE5\xBA\xA7\xE6\xA4\x85\xE5\x8A\xA0\xE7\x83\xAD\";\r\n"
    "VAL_ 512 Door 0 \"\xE5\x85\xB3\xE9\x97\xAD\" 1 \"\xE6\x89\x93\xE5\xBC\x80\" 2 \"\xE9\x94\x99\xE8\xAF\xAF\" ;\r\n"
    "VAL_ 2147483905 Heat 0 \"\xE5\x85\xB3\" 1 \"\xE4\xBD\x8E\" 2 \"\xE4\xB8\xAD\" 3 \"\xE9\xAB\x98\" ;\r\n";

// Columns aligned with blanks before the colon, as hand-written and
// tool-written files have them, and units that hold an "m" or "M" and a
// colon.
const char kHandAligned[] =
    "VERSION \"\"\n"
    "\n"
    "BU_: ECU GW\n"
    "\n"
    "BO_ 256 Aligned: 8 ECU\n"
    " SG_ Speed        : 0|16@1+ (0.1,0) [0|6553.5] \"km/h\" GW\n"
    " SG_ Elapsed      : 16|16@1+ (1,0) [0|65535] \"mm:ss\" GW\n"
    " SG_ Flow         : 39|8@0- (0.5,0) [-64|63.5] \"m3/h\" GW\n"
    " SG_ Load     : 48|8@1+ (1,0) [0|255] \"MB:s\" GW\n"
    "\n"
    "BO_ 300 MuxAligned: 8 ECU\n"
    " SG_ Sel M        : 0|4@1+ (1,0) [0|15] \"\" GW\n"
    " SG_ Ch1 m1       : 8|8@1+ (1,0) [0|255] \"min:s\" GW\n"
    " SG_ Ch2 m2       : 8|16@1- (1,0) [0|255] \"\" GW\n"
    "\n"
    "CM_ SG_ 256 Elapsed \"time since start\";\n"
    "VAL_ 300 Sel 1 \"one\" 2 \"two\" ;\n";

// IEEE single and double signals in both byte orders, with factor and
// offset, beside integer ones, in a multiplexed message and a CAN FD one.
const char kHandFloat[] =
    "VERSION \"\"\n"
    "\n"
    "BU_: ECU GW\n"
    "\n"
    "BO_ 1026 MuxFloat: 8 ECU\n"
    " SG_ Sel M : 60|4@1+ (1,0) [0|0] \"\" GW\n"
    " SG_ F0 m0 : 0|32@1- (1,0) [0|0] \"\" GW\n"
    " SG_ G0 m0 : 32|16@1+ (1,0) [0|0] \"\" GW\n"
    " SG_ F1 m1 : 7|32@0- (0.5,1) [0|0] \"\" GW\n"
    " SG_ I1 m1 : 32|16@1- (1,0) [0|0] \"\" GW\n"
    " SG_ F2 m2 : 16|32@1+ (1,0) [0|0] \"\" GW\n"
    "\n"
    "BO_ 1027 Doubles: 16 ECU\n"
    " SG_ D : 0|64@1- (1,0) [0|0] \"\" GW\n"
    " SG_ DM : 71|64@0- (2,-3) [0|0] \"\" GW\n"
    "\n"
    "BO_ 2147483905 Mixed: 8 ECU\n"
    " SG_ FM : 39|32@0- (0.01,100) [0|0] \"\" GW\n"
    " SG_ N : 0|8@1+ (1,0) [0|0] \"\" GW\n"
    "\n"
    "SIG_VALTYPE_ 1026 F0 : 1;\n"
    "SIG_VALTYPE_ 1026 F1 : 1;\n"
    "SIG_VALTYPE_ 1026 F2 : 1;\n"
    "SIG_VALTYPE_ 1027 D : 2;\n"
    "SIG_VALTYPE_ 1027 DM : 2;\n"
    "SIG_VALTYPE_ 2147483905 FM : 1;\n";

// More than one blank between fields, in the places canmatrix takes them:
// a value table written with two blanks between its pairs, a message name
// apart from its colon, blanks inside texts.
const char kHandBlanks[] =
    "VERSION \"\"\n"
    "\n"
    "BS_:\n"
    "\n"
    "BU_: ECU GW\n"
    "\n"
    "BO_ 869 DSU_CRUISE : 7 DSU\n"
    " SG_ Mode  :  0|8@1+ (1,0) [0|255] \"deg  C\" GW\n"
    " SG_ Level : 8|8@1+ (1,0) [0|255] \"\" GW\n"
    "\n"
    "BO_ 870 Pair : 8 DSU\n"
    " SG_ Sel M  : 0|4@1+ (1,0) [0|15] \"\" GW\n"
    " SG_ Ch1 m1  : 8|8@1+ (1,0) [0|255] \"\" GW\n"
    "\n"
    "CM_ SG_  869  Mode  \"assist  mode\";\n"
    "CM_ BO_  869  \"cruise  state\";\n"
    "VAL_ 869 Mode  0 \"steering assist off\"  2 \"two  blanks\"  128 \"mid sensitivity\" ;\n"
    "VAL_ 869 Level  1 \"one\"   3  \"three\" ;\n"
    "VAL_ 870 Sel 0 \"zero\"  1 \"one\" ;\n";

class KemsigPeer : public WorkDirTest
{
};

} // namespace

TEST_F(KemsigPeer, HandWrittenDbcFilesMatchCanmatrix)
{
    REQUIRE_PEER_MODULES("canmatrix");
    kt::writeFile("hand_ascii.dbc", kHandAscii);
    kt::writeFile("hand_gbk.dbc", utf8ToGbk(kHandGbk));
    crossCheck(workDir.path().string() + "/hand_ascii.dbc", "ascii", 1);
    crossCheck(workDir.path().string() + "/hand_gbk.dbc", "gbk", 2);
}

TEST_F(KemsigPeer, RunsOfBlanksBetweenFieldsMatchCanmatrix)
{
    REQUIRE_PEER_MODULES("canmatrix");
    kt::writeFile("hand_blanks.dbc", kHandBlanks);
    crossCheck(workDir.path().string() + "/hand_blanks.dbc", "ascii", 7);
}

// A file with every kind of statement an editor writes loads without a
// damaged line in kemsig and without an error in canmatrix, and the two
// read the same. For the comparison its comment over two lines, which
// kemsig does not read, is written on one line, and the independent-signals
// pseudo message, whose identifier canmatrix cuts to 29 bits, is left out.
TEST_F(KemsigPeer, AFileAsEditorsWriteItMatchesCanmatrix)
{
    REQUIRE_PEER_MODULES("canmatrix");
    std::string text = kt::kRealShapedDbc;
    const std::string split = "\"Engine data,\nsent every 10 ms\";";
    const size_t at = text.find(split);
    ASSERT_NE(at, std::string::npos);
    kt::writeFile("real_split.dbc", text);
    const peer::Result r = peer::run(peer::script("kemsig_crosscheck.py"), {"errors", "real_split.dbc", "ascii"});
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("canmatrix errors 0"), std::string::npos) << r.output;
    text.replace(at, split.size(), "\"Engine data, sent every 10 ms\";");
    const size_t pseudo = text.find("BO_ 3221225472");
    ASSERT_NE(pseudo, std::string::npos);
    text.erase(pseudo, text.find("\n\n", pseudo) - pseudo);
    kt::writeFile("real.dbc", text);
    crossCheck(workDir.path().string() + "/real.dbc", "ascii", 8);
}

TEST_F(KemsigPeer, FloatSignalsMatchCanmatrix)
{
    REQUIRE_PEER_MODULES("canmatrix");
    kt::writeFile("hand_float.dbc", kHandFloat);
    crossCheck(workDir.path().string() + "/hand_float.dbc", "ascii", 6);
}

TEST_F(KemsigPeer, AlignedColumnsAndUnitsWithColonsMatchCanmatrix)
{
    REQUIRE_PEER_MODULES("canmatrix");
    kt::writeFile("hand_aligned.dbc", kHandAligned);
    crossCheck(workDir.path().string() + "/hand_aligned.dbc", "ascii", 5);
    kt::Db db = kt::makeDb();
    ASSERT_EQ(KDBC_LoadFile(db.get(), "hand_aligned.dbc"), 1);
    auto m = kt::newMessage();
    ASSERT_EQ(KDBC_GetMessageByIndex(db.get(), 0, m.get()), 1);
    EXPECT_EQ(m->nSignalCount, 4u) << "no plain signal is taken for a multiplexed one and dropped";
}

TEST_F(KemsigPeer, DbcFilesExportedByCanmatrixMatch)
{
    REQUIRE_PEER_MODULES("canmatrix");
    const std::string dir = workDir.path().string();
    for (const char *seed : {"5", "17"}) {
        const peer::Result r = peer::run(peer::script("kemsig_crosscheck.py"), {"export", dir, seed});
        ASSERT_EQ(r.exitCode, 0) << r.output;
        crossCheck(dir + "/cm_ascii.dbc", "ascii", 3);
        crossCheck(dir + "/cm_gbk.dbc", "gbk", 4);
    }
}

// The J1939 key of an identifier is canmatrix's parameter group number
// without the extended data page bit, which kemsig leaves out of keys.
TEST_F(KemsigPeer, J1939KeysMatchCanmatrixPgn)
{
    REQUIRE_PEER_MODULES("canmatrix");
    std::mt19937 rng(1939);
    std::vector<uint32_t> ids = {0x18FEF100, 0x18EF2133, 0x0CF00400, 0x1BFEF1FE, 0x18EBFF00, 0x18ECFF00,
                                 0x00EF0000, 0x1FFFFFFF, 0x00000000, 0x18F00000, 0x18EFFF00};
    for (int i = 0; i < 2000; ++i)
        ids.push_back(rng() & 0x1FFFFFFF);
    std::string text;
    for (uint32_t id : ids)
        text += std::to_string(id) + "\n";
    kt::writeFile("ids.txt", text);
    const peer::Result r = peer::run(peer::script("kemsig_crosscheck.py"), {"pgn", "ids.txt"});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    kt::Db db = kt::makeDb(KDBC_PROTOCOL_J1939);
    std::istringstream in(r.output);
    std::string line;
    size_t compared = 0, edp = 0;
    while (std::getline(in, line)) {
        unsigned long long id, pgn;
        if (std::sscanf(line.c_str(), "%llu %llu", &id, &pgn) != 2)
            continue;
        ++compared;
        if (pgn & 0x20000)
            ++edp;
        ASSERT_EQ(db->messageKey(uint32_t(id)), uint32_t(pgn & 0x1FFFF)) << std::hex << id << " pgn " << pgn;
    }
    EXPECT_EQ(compared, ids.size());
    std::cout << "J1939 keys compared with canmatrix: " << compared << " identifiers (" << edp
              << " with the extended data page bit, which keys leave out)\n";
}

TEST_F(KemsigPeer, SharedLibraryWorksThroughCtypes)
{
    if (!peer::sharedLibrariesLoadable())
        GTEST_SKIP() << "the sanitizer build's libkemsig.so needs the sanitizer runtimes loaded first, "
                        "and this compiler links them into the program; the plain build runs this check";
    const std::string lib = peer::binDir() + "/libkemsig.so";
    kt::writeFile("ctypes.dbc", std::string(kHandAscii));
    const peer::Result r = peer::runLoadingLibrary(peer::script("kemsig_ctypes.py"), {lib, "ctypes.dbc"});
    std::cout << r.output;
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("ctypes: ok"), std::string::npos);
}
