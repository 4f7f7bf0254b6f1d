#include "sim/KavrDeviceModel.h"

// The configuration block of a device as it leaves the factory, position by
// position. Numbers and codes use the device's digit code ("0" is 10, "*" 11,
// "#" 12, 255 or a half byte of 15 ends a number).
std::array<std::uint8_t, 128> KavrDeviceModel::factoryBlock()
{
    std::array<std::uint8_t, 128> b;
    b.fill(0xFF); // reserved bytes and empty numbers

    b[0] = 0x55; //  1 marker "U"
    b[1] = 1;    //  2 rings before answering
    b[2] = 2;    //  3 maximum call duration: 2 minutes
    b[3] = 2;    //  4 time between button presses: 2 s
    b[4] = 2;    //  5 on-hook time before redialling: 2 s
    b[5] = 1;    //  6 delay before dialling: 1 s
    b[6] = 3;    //  7 days between service calls
    b[7] = 0xAA; //  8 DTMF tone 100 ms (high half) and gap 100 ms (low half), in tens
    b[8] = 0x18; //  9 flash 100 ms (high half) and pause 800 ms (low half), in hundreds
                 // 10 reserved
    b[10] = 5;   // 11 confirmation code "55" ...
    b[11] = 5;   // 12
                 // 13-16 ... ends
    b[16] = 4;   // 17 hang-up code "44"
    b[17] = 4;   // 18
    b[18] = 25;  // 19 wait for the confirmation code after pick-up: 25 s
    b[19] = 5;   // 20 no ring-back tone for 5 s counts as picked up
    b[20] = 7;   // 21 service password "7391"
    b[21] = 3;   // 22
    b[22] = 9;   // 23
    b[23] = 1;   // 24
    b[24] = 0;   // 25 dialling mode: 0 tone, 1 pulse
    b[25] = 11;  // 26 end sign of codes: "*"
    b[26] = 6;   // 27 switch-on code "66"
    b[27] = 6;   // 28
    b[28] = 5;   // 29 switch closing time: 5 s
                 // 30 reserved
    b[30] = 1;   // 31 button polarity: normal
    b[31] = 3;   // 32 tone signalling: both tones on
    b[32] = 0;   // 33 service call mode 0
    b[33] = 0;   // 34 time report to the emergency numbers too: no
    b[34] = 0;   // 35 IN1 report to the emergency numbers too: no
    b[35] = 0;   // 36 fault input polarity 0
    b[36] = 0;   // 37 blocking input polarity 0
    b[37] = 5;   // 38 service call repeat: 5 minutes
    b[38] = 1;   // 39 emergency call cycles
    b[39] = 1;   // 40 fault duration before a call: 1 s
                 // 41-44 reserved
    b[44] = 0;   // 45 confirmation flags: none
    b[45] = 0;   // 46 hours to the next service call, hours part
    b[46] = 3;   // 47 ... days part (72 hours)
    b[47] = 0;   // 48 power-on count
                 // 49-56 time report number: empty
                 // 57-64 reserved
                 // 65-72 IN1 report number: empty
                 // 73-80 reserved
                 // 81-128 emergency numbers 1-6: empty
    return b;
}
