#include "cli/KvrJson.h"

#include "settings/MemoryRecord.h"
#include "settings/ParameterTable.h"
#include "settings/SettingsFile.h"

#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace KvrJson
{

namespace
{

constexpr int ValueOffset = 17; // length byte of a record's value field
constexpr int ValueRoom = 32;

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

QByteArray jsonString(const QString &text)
{
    QByteArray quoted = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return quoted.mid(1, quoted.size() - 2); // without the brackets
}

bool isSingleByte(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() > 0xFF)
            return false;
    return true;
}

} // namespace

std::optional<QByteArray> exportFile(const QString &path, QString *error)
{
    MemoryRecord loaded;
    if (const auto failure = SettingsFile::load(path, loaded)) {
        *error = *failure;
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return std::nullopt;
    }
    const QByteArray contents = file.read(SettingsFile::FileSize);
    const int records = int(contents.size() / SettingsFile::RecordSize);

    QByteArray out = "{\n";
    const auto params = ParameterTable::all();
    for (int i = 0; i < ParameterTable::Count; ++i) {
        QString value;
        if (i < records) {
            const char *record = contents.constData() + i * SettingsFile::RecordSize;
            const int length = qMin(int(quint8(record[ValueOffset])), ValueRoom);
            value = QString::fromLatin1(record + ValueOffset + 1, length);
        } else {
            value = loaded.storedText(QLatin1String(params[i].key));
        }
        out += "  " + jsonString(QLatin1String(params[i].key)) + ": " + jsonString(value);
        out += i + 1 < ParameterTable::Count ? ",\n" : "\n";
    }
    out += "}\n";
    return out;
}

bool importJson(const QByteArray &json, const QString &path, QString *error)
{
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError) {
        *error = QStringLiteral("not valid JSON at offset %1: %2").arg(parse.offset).arg(parse.errorString());
        return false;
    }
    if (!doc.isObject()) {
        *error = QStringLiteral("the JSON must be one object with a member per key");
        return false;
    }
    const QJsonObject object = doc.object();
    QStringList unknown;
    for (auto it = object.begin(); it != object.end(); ++it)
        if (!ParameterTable::byKey(it.key()))
            unknown << it.key();
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
        if (value.size() > ValueRoom)
            bad << QStringLiteral("%1 is longer than %2 characters").arg(key).arg(ValueRoom);
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
    if (!reasons.isEmpty()) {
        *error = reasons.join(QStringLiteral("; "));
        return false;
    }
    if (const auto failure = SettingsFile::write(path, record)) {
        *error = QStringLiteral("%1: %2").arg(path, *failure);
        return false;
    }
    return true;
}

} // namespace KvrJson
