#pragma once

#include <QString>

#include <array>
#include <optional>
#include <span>

// The communicator's parameter set, one row a parameter: everything the
// program knows of it. The settings file, the record rules, the field and
// write checks, the device codec, the printout, the tool's listing and the
// window's label lookup all read the rows; none of them names a parameter.

enum class ParamKind {
    Edit,    // one line edit holds the stored text as typed
    Options, // a group of radio buttons, each standing for one choice
    Check,   // one check box: "1" checked, "0" not
    Tone     // the two tone boxes, stored as their sum "0".."3"
};

// Which typed characters an edit field accepts.
enum class KeyFilter {
    None,       // fields that are not edited by typing
    Digits,     // "0".."9"
    Digits1to5, // "1".."5"
    Digits1to9, // "1".."9"
    Decimal,    // digits and the system decimal separator
    DialString  // telephone numbers: digits, * # P F and the h/k/p/f mappings
};

// What runs when the focus leaves an edit field. Its numbers are the row's
// value rule.
enum class FieldCheck {
    None,
    CancellableCode, // empty (code cancelled) or at least rule.lo digits; else MESSAGE/12
    Password,        // rule.lo to rule.hi digits; else MESSAGE/14
    ConfirmCode,     // not empty (MESSAGE/13) and at least rule.lo digits (MESSAGE/11)
    Count,           // an emptied field gets rule.empty, anything else stays
    HalfValue,       // one half, rule.lo..rule.hi in whole units, then the rule's longer values
    RangeAndRound,   // rule.lo..rule.hi, rounded to a multiple of rule.step
    Bounded,         // empty or below rule.lo gives rule.empty, above rule.hi gives rule.hi
    SteppedDown      // empty gives rule.empty, below rule.lo the longest (rule.hi), then down
                     // to a multiple of rule.step, at most rule.hi
};

// A setting beyond a half value's whole units: a value above `above` becomes
// `value` (the last that applies wins).
struct LongerValue {
    int above = 0;
    int value = 0;
};

// What a parameter may hold.
struct ValueRule {
    int lo = 0;                          // numbers: the least value; codes: the fewest digits
    int hi = 0;                          // numbers: the greatest value; codes: the most digits
    int step = 0;                        // numbers: values are multiples of it
    const char *empty = nullptr;         // what an empty field stands for (a check may fill it in)
    std::array<LongerValue, 2> longer{}; // half values: the settings above hi (value 0: none)
};

// One stored text an option group, a check box or the tone boxes can show.
struct Choice {
    const char *stored = nullptr;  // the stored text
    int device = 0;                // what the block holds for it
    const char *control = nullptr; // Options: the radio button standing for it
};

// How a parameter sits in the 128-byte configuration block.
enum class BlockForm {
    Byte,        // the decimal value in one byte
    HalfMinutes, // the half-value code of a call length: 1..9, half 10, "15" 11, "30" 12
    HalfSeconds, // the same code where every code from 10 up reads as the half value
    HighHalf,    // value / size in the high half byte
    LowHalf,     // value / size in the low half byte
    Code,        // one digit code a byte, `size` bytes, unused ones 255
    Number,      // a telephone number: 16 digit codes two a byte in 8 bytes, unused halves 15
    Choice,      // the device value of the chosen stored text
    Bit,         // bit `size` of the byte: set for "1"
    HoursDays    // the hours mod 24 in the byte, the days in the next one
};

struct BlockPlace {
    BlockForm form = BlockForm::Byte;
    int pos = 0;  // 1-based, as the communicator counts: position 1 is the marker
    int size = 0; // Code: bytes; HighHalf, LowHalf: the unit; Bit: the bit number

    // The block positions it takes.
    int length() const;
};

// Where the window shows a parameter, which is also its place in the
// printout and in the tool's listing.
struct ShownPlace {
    int order = 0;               // 1..45, the order of the tab pages and their fields
    const char *page = nullptr;  // the tab page
    const char *group = nullptr; // group box the printout puts on a line of its own before the
                                 // first row of the group (nullptr: none, the label names the group)
    const char *label = nullptr; // the control whose caption names it (its language text's control)
    bool cut = false;            // the printout cuts the label to its label length
};

// Options that exist only from certain firmware versions of the communicator.
enum class FirmwareGate {
    None,
    ToneOptions,    // the tone boxes
    PolarityOptions // the button polarity
};

struct Parameter {
    const char *key; // four-character settings-file key
    ParamKind kind;
    const char *control;           // Edit, Check: the control; Tone: the first box; Options: nullptr
    const char *control2;          // Tone: the second box; otherwise nullptr
    std::array<Choice, 4> choices; // Options, Check, Tone: what it can show (stored nullptr: none)
    int maxLength;                 // Edit: maximum length; 0 otherwise
    const char *defaultText;       // stored text at program start
    KeyFilter filter;
    FieldCheck check;
    ValueRule rule;
    BlockPlace block;
    ShownPlace shown;
    FirmwareGate gate = FirmwareGate::None;
    const char *fixedText = nullptr; // the value a gated option is held at while not offered

    // The record rule: whether its control can show the text. An edit field
    // takes any text; the others take one of their choices. A text it does
    // not take leaves the parameter as it was.
    bool takes(const QString &text) const;
    // The choice standing for a stored text; nullptr when none does.
    const Choice *choice(const QString &stored) const;
    // The choice the block value stands for; nullptr when none does.
    const Choice *choiceForDevice(int device) const;
    int choiceCount() const;
    // The choices' stored texts, ", " between them.
    QString choiceList() const;
};

// The values only the communicator supplies.
enum class DeviceValue {
    PwOn,           // power-on count, Edit157
    SvHr,           // hours to the next service call, Edit14
    SerN,           // serial number, Label22
    FirmwareVersion // shown in the status bar
};

// The two counters among them that the block carries and a write sends back.
struct Counter {
    DeviceValue which;
    const char *name;    // as refusals and the tool name it
    const char *control; // the display field
    const char *label;   // the control whose caption names it
    int max;             // the largest value the block takes
    BlockPlace block;
};

namespace ParameterTable
{

constexpr int Count = 45;

// All parameters in settings-file order.
std::span<const Parameter> all();
// All parameters in the order the window shows them (ShownPlace::order).
std::span<const Parameter *const> shown();
// The counters, in block order.
std::span<const Counter> counters();

// Lookups; nullptr when nothing matches.
const Parameter *byKey(const QString &key);
const Parameter *byControl(const QString &objectName);
const Parameter *gated(FirmwareGate gate);
const Counter *counterByControl(const QString &objectName);

// The control whose caption names a field (a parameter's or a counter's
// control); nullptr for a control that is neither.
const char *labelOf(const QString &objectName);

// Position (0-based) of a key in file order, -1 when unknown.
int indexOf(const QString &key);

} // namespace ParameterTable
