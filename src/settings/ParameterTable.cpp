#include "settings/ParameterTable.h"

#include <QStringList>

#include <algorithm>

namespace
{

// Short names for the rows below.
constexpr auto Digits = KeyFilter::Digits;
constexpr auto Digits1to5 = KeyFilter::Digits1to5;
constexpr auto Digits1to9 = KeyFilter::Digits1to9;
constexpr auto Decimal = KeyFilter::Decimal;

constexpr auto NoCheck = FieldCheck::None;
constexpr auto CancellableCode = FieldCheck::CancellableCode;
constexpr auto Password = FieldCheck::Password;
constexpr auto ConfirmCode = FieldCheck::ConfirmCode;
constexpr auto Count = FieldCheck::Count;
constexpr auto HalfValue = FieldCheck::HalfValue;
constexpr auto RangeAndRound = FieldCheck::RangeAndRound;
constexpr auto Bounded = FieldCheck::Bounded;
constexpr auto SteppedDown = FieldCheck::SteppedDown;

constexpr auto Byte = BlockForm::Byte;
constexpr auto HalfMinutes = BlockForm::HalfMinutes;
constexpr auto HalfSeconds = BlockForm::HalfSeconds;
constexpr auto HighHalf = BlockForm::HighHalf;
constexpr auto LowHalf = BlockForm::LowHalf;
constexpr auto Code = BlockForm::Code;
constexpr auto Option = BlockForm::Choice;
constexpr auto Bit = BlockForm::Bit;

constexpr bool Cut = true;
constexpr bool Whole = false;

constexpr Parameter edit(const char *key, const char *control, int maxLength, const char *defaultText,
                         KeyFilter filter, FieldCheck check, ValueRule rule, BlockPlace block,
                         ShownPlace shown)
{
    Parameter p{};
    p.key = key;
    p.kind = ParamKind::Edit;
    p.control = control;
    p.maxLength = maxLength;
    p.defaultText = defaultText;
    p.filter = filter;
    p.check = check;
    p.rule = rule;
    p.block = block;
    p.shown = shown;
    return p;
}

// A telephone number: up to 16 characters of a dial string, no field check.
constexpr Parameter number(const char *key, const char *control, int pos, ShownPlace shown)
{
    return edit(key, control, 16, "", KeyFilter::DialString, NoCheck, {}, {BlockForm::Number, pos}, shown);
}

// A row without an edit field: no key filter, no field check, no value rule.
constexpr Parameter shownByChoice(const char *key, ParamKind kind, const char *defaultText,
                                  std::array<Choice, 4> choices, BlockPlace block, ShownPlace shown)
{
    Parameter p{};
    p.key = key;
    p.kind = kind;
    p.choices = choices;
    p.defaultText = defaultText;
    p.filter = KeyFilter::None;
    p.check = NoCheck;
    p.block = block;
    p.shown = shown;
    return p;
}

constexpr Parameter options(const char *key, const char *defaultText, std::array<Choice, 4> choices,
                            BlockPlace block, ShownPlace shown, FirmwareGate gate = FirmwareGate::None,
                            const char *fixedText = nullptr)
{
    Parameter p = shownByChoice(key, ParamKind::Options, defaultText, choices, block, shown);
    p.gate = gate;
    p.fixedText = fixedText;
    return p;
}

constexpr Parameter box(const char *key, const char *control, BlockPlace block, ShownPlace shown)
{
    Parameter p = shownByChoice(key, ParamKind::Check, "0", {{{"1", 1}, {"0", 0}}}, block, shown);
    p.control = control;
    return p;
}

// The two tone boxes: the first counts 1, the second 2.
constexpr Parameter toneBoxes(const char *key, const char *first, const char *second, const char *defaultText,
                              BlockPlace block, ShownPlace shown, FirmwareGate gate, const char *fixedText)
{
    Parameter p = shownByChoice(key, ParamKind::Tone, defaultText, {{{"0", 0}, {"1", 1}, {"2", 2}, {"3", 3}}},
                                block, shown);
    p.control = first;
    p.control2 = second;
    p.gate = gate;
    p.fixedText = fixedText;
    return p;
}

// One row a parameter, in settings-file order. The block places are the
// communicator's: the report numbers M007 and M008 come before the six
// emergency numbers, and flag bit 6 is Chk8's, bit 7 Chk7's.
// clang-format off
const Parameter table[ParameterTable::Count] = {
    options("Dial", "1", {{{"1", 0, "RadioButton6"}, {"0", 1, "RadioButton7"}}}, {Option, 25}, {1, "TabSheet3", nullptr, "GroupBox13", Whole}),
    options("EndS", "*", {{{"*", 11, "RadioButton10"}, {"#", 12, "RadioButton11"}}}, {Option, 26}, {2, "TabSheet3", nullptr, "GroupBox15", Whole}),
    edit("HgUp", "Edit140", 2, "44", Digits, CancellableCode, {.lo = 2, .hi = 2}, {Code, 17, 2}, {3, "TabSheet3", "GroupBox16", "Label154", Whole}),
    // The switch-on and confirmation codes ship with two-digit codes that
    // differ from the hang-up code, so a fresh set never has two equal codes.
    edit("SwSt", "Edit9", 2, "66", Digits, CancellableCode, {.lo = 2, .hi = 2}, {Code, 27, 2}, {4, "TabSheet3", "GroupBox6", "Label9", Whole}),
    // No switch time is 0.
    edit("SwTi", "Edit10", 2, "5", Digits, NoCheck, {.empty = "0"}, {Byte, 29}, {5, "TabSheet3", "GroupBox6", "Label12", Whole}),
    edit("Pasw", "Edit144", 4, "7391", Digits, Password, {.lo = 4, .hi = 4}, {Code, 21, 4}, {6, "TabSheet3", "GroupBox23", "Label158", Cut}),
    edit("PotZ", "Edit8", 6, "55", Digits, ConfirmCode, {.lo = 2, .hi = 6}, {Code, 11, 6}, {7, "TabSheet3", "GroupBox5", "Label8", Cut}),
    options("BlPo", "0", {{{"0", 0, "RadioButton8"}, {"1", 1, "RadioButton9"}}}, {Option, 37}, {8, "TabSheet4", nullptr, "GroupBox14", Whole}),
    options("InPo", "0", {{{"0", 0, "RadioButton4"}, {"1", 1, "RadioButton5"}}}, {Option, 36}, {9, "TabSheet4", nullptr, "GroupBox12", Whole}),
    options("SeVo", "0", {{{"0", 0, "RadioButton1"}, {"1", 1, "RadioButton2"}, {"2", 2, "RadioButton3"}}}, {Option, 33}, {10, "TabSheet4", nullptr, "GroupBox11", Whole}),
    edit("OpNo", "Edit116", 1, "1", Digits1to5, Count, {.empty = "1"}, {Byte, 39}, {11, "TabSheet4", "GroupBox8", "Label19", Cut}),
    edit("CaPo", "Edit15", 1, "1", Digits, Count, {.empty = "1"}, {Byte, 40}, {12, "TabSheet4", "GroupBox3", "Label18", Cut}),
    edit("OpSe", "Edit17", 1, "5", Digits, Count, {.empty = "0"}, {Byte, 38}, {13, "TabSheet4", "GroupBox9", "Label20", Cut}),
    edit("MaSp", "Edit145", 3, "2", Decimal, HalfValue, {.lo = 1, .hi = 9, .longer = {{{12, 15}, {22, 30}}}}, {HalfMinutes, 3}, {15, "TabSheet5", "GroupBox22", "Label149", Cut}),
    edit("NoRi", "Edit146", 1, "1", Digits1to9, Count, {.empty = "1"}, {Byte, 2}, {16, "TabSheet5", "GroupBox22", "Label150", Cut}),
    edit("TBtn", "Edit147", 3, "2", Decimal, HalfValue, {.lo = 1, .hi = 9}, {HalfSeconds, 4}, {17, "TabSheet5", "GroupBox22", "Label151", Cut}),
    edit("THng", "Edit148", 1, "2", Digits1to5, Count, {.empty = "1"}, {Byte, 5}, {18, "TabSheet5", "GroupBox22", "Label152", Cut}),
    edit("TDia", "Edit149", 1, "1", Digits1to5, Count, {.empty = "1"}, {Byte, 6}, {19, "TabSheet5", "GroupBox22", "Label159", Cut}),
    edit("TRep", "Edit150", 1, "3", Digits1to9, Count, {.empty = "1"}, {Byte, 7}, {20, "TabSheet5", "GroupBox22", "Label160", Cut}),
    edit("TTon", "Edit152", 3, "100", Digits, RangeAndRound, {.lo = 60, .hi = 150, .step = 10}, {HighHalf, 8, 10}, {21, "TabSheet5", "GroupBox21", "Label162", Cut}),
    edit("TSpc", "Edit153", 3, "100", Digits, RangeAndRound, {.lo = 60, .hi = 150, .step = 10}, {LowHalf, 8, 10}, {22, "TabSheet5", "GroupBox21", "Label163", Cut}),
    edit("TFls", "Edit154", 3, "100", Digits, RangeAndRound, {.lo = 100, .hi = 600, .step = 100}, {HighHalf, 9, 100}, {23, "TabSheet5", "GroupBox21", "Label164", Cut}),
    edit("TPas", "Edit155", 4, "800", Digits, RangeAndRound, {.lo = 500, .hi = 1000, .step = 100}, {LowHalf, 9, 100}, {24, "TabSheet5", "GroupBox21", "Label165", Cut}),
    edit("TVtn", "Edit11", 2, "5", Digits, Bounded, {.lo = 1, .hi = 10, .empty = "5"}, {Byte, 20}, {25, "TabSheet5", "GroupBox7", "Label13", Cut}),
    edit("TPtn", "Edit13", 2, "25", Digits, SteppedDown, {.lo = 5, .hi = 50, .step = 5, .empty = "25"}, {Byte, 19}, {26, "TabSheet5", "GroupBox7", "Label14", Cut}),
    number("M001", "Edit1", 81, {28, "TabSheet1", "GroupBox1", "Label4"}),
    number("M002", "Edit2", 89, {30, "TabSheet1", "GroupBox1", "Label5"}),
    number("M003", "Edit3", 97, {32, "TabSheet1", "GroupBox1", "Label6"}),
    number("M004", "Edit4", 105, {34, "TabSheet1", "GroupBox1", "Label7"}),
    number("M005", "Edit5", 113, {36, "TabSheet1", "GroupBox1", "Label11"}),
    number("M006", "Edit6", 121, {38, "TabSheet1", "GroupBox1", "Label10"}),
    // The time-report number sits in Edit12, the IN1 report number in Edit7.
    number("M007", "Edit12", 49, {40, "TabSheet1", "GroupBox2", "Label1"}),
    number("M008", "Edit7", 65, {43, "TabSheet1", "GroupBox4", "Label3"}),
    box("Chk1", "CheckBox1", {Bit, 45, 0}, {29, "TabSheet1", "GroupBox1", "Label4"}),
    box("Chk2", "CheckBox2", {Bit, 45, 1}, {31, "TabSheet1", "GroupBox1", "Label5"}),
    box("Chk3", "CheckBox3", {Bit, 45, 2}, {33, "TabSheet1", "GroupBox1", "Label6"}),
    box("Chk4", "CheckBox4", {Bit, 45, 3}, {35, "TabSheet1", "GroupBox1", "Label7"}),
    box("Chk5", "CheckBox5", {Bit, 45, 4}, {37, "TabSheet1", "GroupBox1", "Label11"}),
    box("Chk6", "CheckBox6", {Bit, 45, 5}, {39, "TabSheet1", "GroupBox1", "Label10"}),
    box("Chk7", "CheckBox7", {Bit, 45, 7}, {41, "TabSheet1", "GroupBox2", "Label1"}),
    box("Chk8", "CheckBox8", {Bit, 45, 6}, {44, "TabSheet1", "GroupBox4", "Label3"}),
    box("Nou1", "CheckBox9", {Option, 34}, {42, "TabSheet1", "GroupBox2", "Label1"}),
    box("Nou2", "CheckBox10", {Option, 35}, {45, "TabSheet1", "GroupBox4", "Label3"}),
    // Firmware without the tone options plays every tone.
    toneBoxes("TONE", "CheckBox11", "CheckBox12", "3", {Option, 32}, {27, "TabSheet5", nullptr, "CheckBox11", Cut}, FirmwareGate::ToneOptions, "3"),
    options("PoBt", "1", {{{"1", 1, "RadioButton12"}, {"0", 0, "RadioButton13"}}}, {Option, 31}, {14, "TabSheet4", nullptr, "GroupBox10", Whole}, FirmwareGate::PolarityOptions, "1"),
};

const Counter counterTable[] = {
    {DeviceValue::SvHr, "SvHr", "Edit14", "Label15", 255 * 24 + 23, {BlockForm::HoursDays, 46}},
    {DeviceValue::PwOn, "PwOn", "Edit157", "Label2", 255, {Byte, 48}},
};
// clang-format on

bool is(const char *name, const QString &objectName)
{
    return name && objectName == QLatin1String(name);
}

} // namespace

int BlockPlace::length() const
{
    switch (form) {
    case BlockForm::Code:
        return size;
    case BlockForm::Number:
        return 8;
    case BlockForm::HoursDays:
        return 2;
    default:
        return 1;
    }
}

int Parameter::choiceCount() const
{
    return int(std::count_if(choices.begin(), choices.end(), [](const Choice &c) { return c.stored; }));
}

const Choice *Parameter::choice(const QString &stored) const
{
    for (const Choice &c : choices)
        if (is(c.stored, stored))
            return &c;
    return nullptr;
}

const Choice *Parameter::choiceForDevice(int device) const
{
    for (const Choice &c : choices)
        if (c.stored && c.device == device)
            return &c;
    return nullptr;
}

bool Parameter::takes(const QString &text) const
{
    return kind == ParamKind::Edit || choice(text);
}

QString Parameter::choiceList() const
{
    QStringList list;
    for (const Choice &c : choices)
        if (c.stored)
            list << QLatin1String(c.stored);
    return list.join(QStringLiteral(", "));
}

namespace ParameterTable
{

std::span<const Parameter> all()
{
    return table;
}

std::span<const Parameter *const> shown()
{
    static const std::array<const Parameter *, Count> inOrder = [] {
        std::array<const Parameter *, Count> rows{};
        for (int i = 0; i < Count; ++i)
            rows[i] = &table[i];
        std::stable_sort(rows.begin(), rows.end(), [](const Parameter *a, const Parameter *b) {
            return a->shown.order < b->shown.order;
        });
        return rows;
    }();
    return inOrder;
}

std::span<const Counter> counters()
{
    return counterTable;
}

int indexOf(const QString &key)
{
    for (int i = 0; i < Count; ++i)
        if (is(table[i].key, key))
            return i;
    return -1;
}

const Parameter *byKey(const QString &key)
{
    const int i = indexOf(key);
    return i < 0 ? nullptr : &table[i];
}

const Parameter *byControl(const QString &objectName)
{
    for (const Parameter &p : table) {
        if (is(p.control, objectName) || is(p.control2, objectName))
            return &p;
        for (const Choice &c : p.choices)
            if (is(c.control, objectName))
                return &p;
    }
    return nullptr;
}

const Parameter *gated(FirmwareGate gate)
{
    for (const Parameter &p : table)
        if (p.gate == gate)
            return &p;
    return nullptr;
}

const Counter *counterByControl(const QString &objectName)
{
    for (const Counter &c : counterTable)
        if (is(c.control, objectName))
            return &c;
    return nullptr;
}

const char *labelOf(const QString &objectName)
{
    if (const Parameter *p = byControl(objectName))
        return p->shown.label;
    if (const Counter *c = counterByControl(objectName))
        return c->label;
    return nullptr;
}

} // namespace ParameterTable
