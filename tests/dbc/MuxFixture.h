#pragma once
// A DBC with multiplexed messages as tools write them: pages that share
// their bits, an Intel switch at bit 0, a Motorola switch in the middle of
// the frame beside plain signals, an Intel switch at the top of the frame
// with IEEE single pages, and a CAN FD message of two IEEE doubles.

namespace muxfixture {

inline const char *kMuxDbc =
    "VERSION \"\"\n\n"
    "NS_ :\n\n"
    "BS_:\n\n"
    "BU_: ECU GW\n\n"
    "BO_ 512 MuxIntel: 8 ECU\n"
    " SG_ Mode M : 0|8@1+ (1,0) [0|0] \"\" GW\n"
    " SG_ A0 m0 : 8|16@1+ (0.5,0) [0|32767.5] \"V\" GW\n"
    " SG_ B0 m0 : 24|16@1- (1,-100) [0|0] \"\" GW\n"
    " SG_ C0 m0 : 40|24@1+ (1,0) [0|0] \"\" GW\n"
    " SG_ A1 m1 : 8|8@1+ (1,0) [0|255] \"\" GW\n"
    " SG_ B1 m1 : 16|32@1- (0.01,0) [0|0] \"\" GW\n"
    " SG_ C1 m1 : 48|16@1+ (1,0) [0|0] \"\" GW\n"
    " SG_ A2 m2 : 8|56@1+ (1,0) [0|0] \"\" GW\n\n"
    "BO_ 2147484416 MuxMoto: 8 ECU\n"
    " SG_ Head : 7|8@0+ (1,0) [0|255] \"\" GW\n"
    " SG_ Page M : 15|4@0+ (1,0) [0|15] \"\" GW\n"
    " SG_ P0a m0 : 11|12@0+ (1,0) [0|0] \"\" GW\n"
    " SG_ P0b m0 : 31|16@0- (0.1,0) [0|0] \"\" GW\n"
    " SG_ P1a m1 : 11|20@0- (1,0) [0|0] \"\" GW\n"
    " SG_ P1b m1 : 39|8@0+ (2,5) [0|0] \"\" GW\n"
    " SG_ P3a m3 : 11|36@0+ (1,0) [0|0] \"\" GW\n"
    " SG_ Tail : 55|16@0+ (1,0) [0|0] \"\" GW\n\n"
    "BO_ 1026 MuxFloat: 8 ECU\n"
    " SG_ Sel M : 60|4@1+ (1,0) [0|0] \"\" GW\n"
    " SG_ F0 m0 : 0|32@1- (1,0) [0|0] \"\" GW\n"
    " SG_ G0 m0 : 32|16@1+ (1,0) [0|0] \"\" GW\n"
    " SG_ F1 m1 : 7|32@0- (0.5,1) [0|0] \"\" GW\n"
    " SG_ I1 m1 : 32|16@1- (1,0) [0|0] \"\" GW\n"
    " SG_ F2 m2 : 16|32@1+ (1,0) [0|0] \"\" GW\n\n"
    "BO_ 1027 Doubles: 16 ECU\n"
    " SG_ D : 0|64@1- (1,0) [0|0] \"\" GW\n"
    " SG_ DM : 71|64@0- (2,0) [0|0] \"\" GW\n\n"
    "SIG_VALTYPE_ 1026 F0 : 1;\n"
    "SIG_VALTYPE_ 1026 F1 : 1;\n"
    "SIG_VALTYPE_ 1026 F2 : 1;\n"
    "SIG_VALTYPE_ 1027 D : 2;\n"
    "SIG_VALTYPE_ 1027 DM : 2;\n";

// The pages of each multiplexed message that the fixture fills (a page
// number without signals among them: only the switch and the plain
// signals go out).
struct MuxMessage {
    const char *name;
    unsigned id;
    bool extended;
    int size;
    const char *switchName; // null: no switch
    QVector<int> pages;
};

inline QVector<MuxMessage> muxMessages()
{
    return {
        {"MuxIntel", 0x200, false, 8, "Mode", {0, 1, 2, 7}},
        {"MuxMoto", 0x300, true, 8, "Page", {0, 1, 3, 2}},
        {"MuxFloat", 0x402, false, 8, "Sel", {0, 1, 2}},
        {"Doubles", 0x403, false, 16, nullptr, {0}},
    };
}

} // namespace muxfixture
