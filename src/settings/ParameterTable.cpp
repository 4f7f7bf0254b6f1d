#include "settings/ParameterTable.h"

namespace {

constexpr ParamOption none{nullptr, nullptr};

#define EDIT(key, control, max, def, filter, check) \
    {key, ParamKind::Edit, control, nullptr, {none, none, none}, 0, max, def, KeyFilter::filter, FieldCheck::check}
#define CHECK(key, control) \
    {key, ParamKind::Check, control, nullptr, {none, none, none}, 0, 0, "0", KeyFilter::None, FieldCheck::None}
#define OPT2(key, c1, s1, c2, s2, def) \
    {key, ParamKind::Options, nullptr, nullptr, {{c1, s1}, {c2, s2}, none}, 2, 0, def, KeyFilter::None, FieldCheck::None}

const Parameter table[ParameterTable::Count] = {
    OPT2("Dial", "RadioButton6", "1", "RadioButton7", "0", "1"),
    OPT2("EndS", "RadioButton10", "*", "RadioButton11", "#", "*"),
    EDIT("HgUp", "Edit140", 2, "44", Digits, TwoDigitCode),
    // The switch-on and confirmation codes ship with two-digit codes that
    // differ from the hang-up code, so a fresh set never has two equal codes.
    EDIT("SwSt", "Edit9", 2, "66", Digits, TwoDigitCode),
    EDIT("SwTi", "Edit10", 2, "5", Digits, None),
    EDIT("Pasw", "Edit144", 4, "7391", Digits, Password),
    EDIT("PotZ", "Edit8", 6, "55", Digits, ConfirmCode),
    OPT2("BlPo", "RadioButton8", "0", "RadioButton9", "1", "0"),
    OPT2("InPo", "RadioButton4", "0", "RadioButton5", "1", "0"),
    {"SeVo", ParamKind::Options, nullptr, nullptr,
     {{"RadioButton1", "0"}, {"RadioButton2", "1"}, {"RadioButton3", "2"}}, 3, 0, "0",
     KeyFilter::None, FieldCheck::None},
    EDIT("OpNo", "Edit116", 1, "1", Digits1to5, EmptyGivesOne),
    EDIT("CaPo", "Edit15", 1, "1", Digits, EmptyGivesOne),
    EDIT("OpSe", "Edit17", 1, "5", Digits, EmptyGivesZero),
    EDIT("MaSp", "Edit145", 3, "2", Decimal, HalfMinutes),
    EDIT("NoRi", "Edit146", 1, "1", Digits1to9, EmptyGivesOne),
    EDIT("TBtn", "Edit147", 3, "2", Decimal, HalfSeconds),
    EDIT("THng", "Edit148", 1, "2", Digits1to5, EmptyGivesOne),
    EDIT("TDia", "Edit149", 1, "1", Digits1to5, EmptyGivesOne),
    EDIT("TRep", "Edit150", 1, "3", Digits1to9, EmptyGivesOne),
    EDIT("TTon", "Edit152", 3, "100", Digits, ToneLength),
    EDIT("TSpc", "Edit153", 3, "100", Digits, ToneLength),
    EDIT("TFls", "Edit154", 3, "100", Digits, FlashLength),
    EDIT("TPas", "Edit155", 4, "800", Digits, PauseLength),
    EDIT("TVtn", "Edit11", 2, "5", Digits, RingbackTime),
    EDIT("TPtn", "Edit13", 2, "25", Digits, ConfirmWait),
    EDIT("M001", "Edit1", 16, "", DialString, None),
    EDIT("M002", "Edit2", 16, "", DialString, None),
    EDIT("M003", "Edit3", 16, "", DialString, None),
    EDIT("M004", "Edit4", 16, "", DialString, None),
    EDIT("M005", "Edit5", 16, "", DialString, None),
    EDIT("M006", "Edit6", 16, "", DialString, None),
    // The time-report number sits in Edit12, the IN1 report number in Edit7.
    EDIT("M007", "Edit12", 16, "", DialString, None),
    EDIT("M008", "Edit7", 16, "", DialString, None),
    CHECK("Chk1", "CheckBox1"),
    CHECK("Chk2", "CheckBox2"),
    CHECK("Chk3", "CheckBox3"),
    CHECK("Chk4", "CheckBox4"),
    CHECK("Chk5", "CheckBox5"),
    CHECK("Chk6", "CheckBox6"),
    CHECK("Chk7", "CheckBox7"),
    CHECK("Chk8", "CheckBox8"),
    CHECK("Nou1", "CheckBox9"),
    CHECK("Nou2", "CheckBox10"),
    {"TONE", ParamKind::Tone, "CheckBox11", "CheckBox12", {none, none, none}, 0, 0, "3",
     KeyFilter::None, FieldCheck::None},
    OPT2("PoBt", "RadioButton12", "1", "RadioButton13", "0", "1"),
};

#undef EDIT
#undef CHECK
#undef OPT2

}  // namespace

namespace ParameterTable {

std::span<const Parameter> all() { return table; }

int indexOf(const QString &key)
{
    for (int i = 0; i < Count; ++i)
        if (key == QLatin1String(table[i].key))
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
        if (p.control && objectName == QLatin1String(p.control))
            return &p;
        if (p.control2 && objectName == QLatin1String(p.control2))
            return &p;
        for (int i = 0; i < p.optionCount; ++i)
            if (objectName == QLatin1String(p.options[i].control))
                return &p;
    }
    return nullptr;
}

}  // namespace ParameterTable
