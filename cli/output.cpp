// Text and JSON output of r7730ctl, and its notes on standard error (see output.h).
#include "cli/output.h"

#include <QJsonArray>
#include <algorithm>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <unistd.h>

namespace r7730::cli {
namespace {

void Print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

qsizetype DisplayWidth(const QString& text)
{
    qsizetype width = 0;
    for (const char32_t c : text.toUcs4()) {
        // Hangul, CJK and full-width forms take two columns of a terminal.
        const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
                          (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                          (c >= 0xFFE0 && c <= 0xFFE6);
        width += wide ? 2 : 1;
    }
    return width;
}

QString Padded(const QString& text, qsizetype width)
{
    return text + QString(std::max<qsizetype>(width - DisplayWidth(text), 0), QLatin1Char(' '));
}

QString Excerpt(const QString& text)
{
    constexpr qsizetype kShown = 80;
    const QList<uint> characters = text.toUcs4();
    QString shown;
    for (qsizetype i = 0; i < std::min(characters.size(), kShown); ++i) {
        const char32_t c = characters[i];
        if (c < 0x20 || c == 0x7F)
            shown += QStringLiteral("\\x") + QStringLiteral("%1").arg(static_cast<uint>(c), 2, 16, QLatin1Char('0')).toUpper();
        else
            shown += QString::fromUcs4(&c, 1);
    }
    if (characters.size() <= kShown)
        return shown;
    return shown + QStringLiteral("... (%1 characters)").arg(characters.size());
}

TOutput::TOutput(bool json) : json_(json), progressShown_(::isatty(STDERR_FILENO) == 1) {}

void TOutput::Line(const QString& line)
{
    if (!json_)
        Print(stdout, line + QLatin1Char('\n'));
}

void TOutput::Fields(const QList<std::pair<QString, QString>>& fields, int labelWidth)
{
    qsizetype width = labelWidth;
    for (const auto& field : fields)
        width = std::max(width, DisplayWidth(field.first));
    for (const auto& [label, value] : fields)
        Line(value.isEmpty() ? label : Padded(label, width + 2) + value);
}

void TOutput::Table(const QList<QStringList>& rows)
{
    QList<qsizetype> widths;
    for (const QStringList& row : rows)
        for (qsizetype column = 0; column < row.size(); ++column) {
            if (widths.size() <= column)
                widths << 0;
            widths[column] = std::max(widths[column], DisplayWidth(row[column]));
        }
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype column = 0; column < row.size(); ++column)
            line += column + 1 < row.size() ? Padded(row[column], widths[column] + 2) : row[column];
        Line(line);
    }
}

void TOutput::Finish()
{
    if (!json_ || document_.isUndefined())
        return;
    const QJsonDocument document =
        document_.isArray() ? QJsonDocument(document_.toArray()) : QJsonDocument(document_.toObject());
    Print(stdout, QString::fromUtf8(document.toJson(jsonLines_ ? QJsonDocument::Compact : QJsonDocument::Indented)) +
                      (jsonLines_ ? QStringLiteral("\n") : QString()));
}

void TOutput::JsonLine(const QJsonObject& event)
{
    if (!json_)
        return;
    jsonLines_ = true;
    Print(stdout, QString::fromUtf8(QJsonDocument(event).toJson(QJsonDocument::Compact)) + QLatin1Char('\n'));
}

void TOutput::Progress(const QString& note) const
{
    if (progressShown_)
        Print(stderr, note + QLatin1Char('\n'));
}

void TOutput::Failure(int code, const QString& message)
{
    Print(stderr, QStringLiteral("r7730ctl: %1\n").arg(message));
    if (json_)
        document_ = QJsonObject{{"error", QJsonObject{{"exit", code}, {"message", message}}}};
}

QList<std::pair<QString, QString>> FieldsOf(TSection section, const TTexts& texts)
{
    QList<std::pair<QString, QString>> fields;
    for (const QString& key : SectionKeys(section)) {
        const auto found = texts.find(key);
        fields.append({key, found == texts.end() ? QStringLiteral("(not decoded)") : found->second});
    }
    return fields;
}

QJsonObject JsonOf(const TTexts& texts)
{
    QJsonObject object;
    for (const auto& [key, text] : texts) {
        bool number = false;
        const int value = text.toInt(&number);
        object.insert(key, IsNumberKey(key) && number ? QJsonValue(value) : QJsonValue(text));
    }
    return object;
}

} // namespace r7730::cli
