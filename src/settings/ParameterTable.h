#pragma once

#include <QString>

#include <span>

// The communicator's parameter set, once: every other piece (settings file,
// device codec, printout, the main window's controls, tests) is driven from
// this table instead of repeating the 45 names.

enum class ParamKind {
    Edit,     // one line edit holds the stored text as typed
    Options,  // a group of radio buttons, each standing for one stored text
    Check,    // one check box: "1" checked, "0" not
    Tone      // the two tone boxes, stored as their sum "0".."3"
};

// Which typed characters an edit field accepts.
enum class KeyFilter {
    None,        // fields that are not edited by typing
    Digits,      // "0".."9"
    Digits1to5,  // "1".."5"
    Digits1to9,  // "1".."9"
    Decimal,     // digits and the system decimal separator
    DialString   // telephone numbers: digits, * # P F and the h/k/p/f mappings
};

// What runs when the focus leaves an edit field.
enum class FieldCheck {
    None,
    TwoDigitCode,    // HgUp, SwSt: empty or exactly two characters
    Password,        // Pasw: exactly four characters
    ConfirmCode,     // PotZ: two to six characters
    EmptyGivesOne,   // OpNo, CaPo, NoRi, THng, TDia, TRep
    EmptyGivesZero,  // OpSe
    HalfMinutes,     // MaSp: half value, 1..9, 15, 30
    HalfSeconds,     // TBtn: half value, 1..9
    ToneLength,      // TTon, TSpc: 60..150 in tens
    FlashLength,     // TFls: 100..600 in hundreds
    PauseLength,     // TPas: 500..1000 in hundreds
    RingbackTime,    // TVtn: 1..10
    ConfirmWait      // TPtn: 5..50 in fives
};

struct ParamOption {
    const char *control;  // object name of the radio button
    const char *stored;   // stored text it stands for
};

struct Parameter {
    const char *key;          // four-character settings-file key
    ParamKind kind;
    const char *control;      // Edit/Check: the control; Tone: the first box
    const char *control2;     // Tone: the second box; otherwise nullptr
    ParamOption options[3];   // Options: the buttons in order
    int optionCount;
    int maxLength;            // Edit: maximum length; 0 otherwise
    const char *defaultText;  // stored text at program start
    KeyFilter filter;
    FieldCheck check;
};

namespace ParameterTable {

constexpr int Count = 45;

// All parameters in settings-file order.
std::span<const Parameter> all();

// Lookups; nullptr when nothing matches.
const Parameter *byKey(const QString &key);
const Parameter *byControl(const QString &objectName);

// Position (0-based) of a key in file order, -1 when unknown.
int indexOf(const QString &key);

}  // namespace ParameterTable

// The values only the communicator supplies.
enum class DeviceValue {
    PwOn,            // power-on count, Edit157
    SvHr,            // hours to the next service call, Edit14
    SerN,            // serial number, Label22
    FirmwareVersion  // shown in the status bar
};
