#include "cli/KvrJson.h"

#include "cli/TerminalText.h"

#include "settings/ParameterTable.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsRecord.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace KvrJson
{

namespace
{

// Hands the settings file writer the texts exactly as given.
class TextRecord : public SettingsRecord
{
  public:
    QHash<QString, QString> values;

    QString storedText(const QString &key) const override { return values.value(key); }
    void setStoredText(const QString &key, const QString &text) override { values.insert(key, text); }
    bool toneOptionsEnabled() const override { return true; }
    void setToneOptionsEnabled(bool) override {}
    bool polarityOptionsEnabled() const override { return true; }
    void setPolarityOptionsEnabled(bool) override {}
    QString deviceValue(DeviceValue) const override { return {}; }
    void setDeviceValue(DeviceValue, const QString &) override {}
};

// A JSON string. The JSON writer escapes the C0 controls; DEL and the C1
// controls (U+009B acts as ESC [ on many terminals) it leaves as they are,
// so they get \u escapes here.
QByteArray jsonString(const QString &text)
{
    const QByteArray quoted = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    const QString json = QString::fromUtf8(quoted.mid(1, quoted.size() - 2)); // without the brackets
    QString out;
    out.reserve(json.size());
    for (const QChar c : json) {
        const char16_t u = c.unicode();
        if (u >= 0x7F && u <= 0x9F)
            out += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out.toUtf8();
}

bool isSingleByte(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() > 0xFF)
            return false;
    return true;
}

} // namespace

Result<QByteArray> exportFile(const QString &path)
{
    const Result<QStringList> texts = SettingsFile::storedTexts(path);
    if (!texts)
        return texts.failure();
    QByteArray out = "{\n";
    const auto params = ParameterTable::all();
    for (int i = 0; i < ParameterTable::Count; ++i) {
        out += "  " + jsonString(QLatin1String(params[i].key)) + ": " + jsonString(texts->at(i));
        out += i + 1 < ParameterTable::Count ? ",\n" : "\n";
    }
    out += "}\n";
    return out;
}

Result<void> importJson(const QByteArray &json, const QString &path)
{
    const auto refused = [](const QString &reason) { return Failure{Failure::Kind::Format, {}, reason}; };
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError)
        return refused(
            QStringLiteral("not valid JSON at offset %1: %2").arg(parse.offset).arg(parse.errorString()));
    if (!doc.isObject())
        return refused(QStringLiteral("the JSON must be one object with a member per key"));
    const QJsonObject object = doc.object();
    QStringList unknown;
    for (auto it = object.begin(); it != object.end(); ++it)
        if (!ParameterTable::byKey(it.key()))
            unknown << TerminalText::printable(it.key());
    QStringList missing;
    TextRecord record;
    QStringList bad;
    for (const Parameter &p : ParameterTable::all()) {
        const QString key = QLatin1String(p.key);
        const auto it = object.constFind(key);
        if (it == object.constEnd()) {
            missing << key;
            continue;
        }
        if (!it->isString()) {
            bad << QStringLiteral("%1 is not a text").arg(key);
            continue;
        }
        const QString value = it->toString();
        if (value.size() > SettingsFile::ValueRoom)
            bad << QStringLiteral("%1 is longer than %2 characters").arg(key).arg(SettingsFile::ValueRoom);
        else if (!isSingleByte(value))
            bad << QStringLiteral("%1 holds a character a settings file cannot store").arg(key);
        else
            record.values.insert(key, value);
    }
    QStringList reasons;
    if (!unknown.isEmpty())
        reasons << QStringLiteral("unknown keys: %1").arg(unknown.join(QStringLiteral(", ")));
    if (!missing.isEmpty())
        reasons << QStringLiteral("missing keys: %1").arg(missing.join(QStringLiteral(", ")));
    reasons << bad;
    if (!reasons.isEmpty())
        return refused(reasons.join(QStringLiteral("; ")));
    return SettingsFile::write(path, record);
}

} // namespace KvrJson
