// An attempt's fields, steps and differing keys as JSON text (see record_store_json.h).
#include "provision/record_store_json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "provision/record_store.h"

namespace r7730::provision {
namespace {

QString Compact(const QJsonArray& array)
{
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

QJsonArray ArrayOf(const QString& json, const char* what)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        throw EStoreError(QStringLiteral("The record store holds %1 that are not a JSON list: %2")
                              .arg(QLatin1String(what), json.left(80)));
    return document.array();
}

} // namespace

QString FieldsJson(const std::vector<TFieldRecord>& fields)
{
    QJsonArray array;
    for (const TFieldRecord& field : fields)
        array.append(QJsonObject{{"section", SectionName(field.section)},
                                 {"key", field.key},
                                 {"sent", field.sent},
                                 {"read_back", field.readBack},
                                 {"differs", field.differs},
                                 {"unverified", field.unverified}});
    return Compact(array);
}

QString StepsJson(const std::vector<TStepTime>& steps)
{
    QJsonArray array;
    for (const TStepTime& step : steps)
        array.append(QJsonObject{{"step", step.step}, {"seconds", step.seconds}});
    return Compact(array);
}

QString TextsJson(const QStringList& texts)
{
    return Compact(QJsonArray::fromStringList(texts));
}

std::vector<TFieldRecord> FieldsOfJson(const QString& json)
{
    std::vector<TFieldRecord> fields;
    for (const QJsonValue& value : ArrayOf(json, "fields")) {
        const QJsonObject object = value.toObject();
        const std::optional<TSection> section = SectionNamed(object.value("section").toString());
        if (!section)
            throw EStoreError(QStringLiteral("The record store holds a field of no known section: %1")
                                  .arg(object.value("section").toString()));
        fields.push_back({*section, object.value("key").toString(), object.value("sent").toString(),
                          object.value("read_back").toString(), object.value("differs").toBool(),
                          object.value("unverified").toBool()});
    }
    return fields;
}

std::vector<TStepTime> StepsOfJson(const QString& json)
{
    std::vector<TStepTime> steps;
    for (const QJsonValue& value : ArrayOf(json, "steps"))
        steps.push_back({value.toObject().value("step").toString(), value.toObject().value("seconds").toDouble()});
    return steps;
}

QStringList TextsOfJson(const QString& json)
{
    QStringList texts;
    for (const QJsonValue& value : ArrayOf(json, "keys"))
        texts << value.toString();
    return texts;
}

} // namespace r7730::provision
