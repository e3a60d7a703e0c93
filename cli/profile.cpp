// The backup profile file, written and read through the INI layer (see profile.h).
#include "cli/profile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#include "cli/failure.h"
#include "cli/read_back.h"
#include "shell/profile_file.h"

namespace r7730::cli {
namespace {

QString SectionList()
{
    QStringList names;
    for (TSection section : kApplyOrder)
        names << SectionName(section);
    return names.join(QStringLiteral(", "));
}

// The INI layer trims values and takes off one pair of surrounding quotes: a value that would
// lose something that way is written inside quotes.
QString Quoted(const QString& value)
{
    const bool blanksAround = !value.isEmpty() && (value.front().isSpace() || value.back().isSpace());
    const bool quotesAround = value.size() >= 2 && (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')) &&
                              value.back() == value.front();
    return blanksAround || quotesAround ? QLatin1Char('"') + value + QLatin1Char('"') : value;
}

} // namespace

TKeyNamer ProfileKeyNamer(const QString& path, TSection section)
{
    return {[path, section](const QString& key, const QString& text) {
                return QStringLiteral("%1 [%2] %3=%4").arg(path, SectionName(section), key, text);
            },
            [path, section](const QString& key) {
                return QStringLiteral("a %1= line in [%2] of %3").arg(key, SectionName(section), path);
            }};
}

void CheckProfileWritable(const QString& path)
{
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    if (file.isDir())
        throw TCliFailure(kExitRefused, QStringLiteral("%1 is a folder; name a file for the profile").arg(path));
    if (!folder.isDir())
        throw TCliFailure(kExitRefused, QStringLiteral("cannot write %1: the folder %2 does not exist").arg(path, folder.filePath()));
    if (!folder.isWritable())
        throw TCliFailure(kExitRefused, QStringLiteral("cannot write %1: the folder %2 is not writable").arg(path, folder.filePath()));
}

void WriteProfile(const QString& path, const TProfileHeader& header, const std::vector<TProfileSection>& sections,
                  const QStringList& notes)
{
    const QString partial = path + QStringLiteral(".part");
    auto fail = [&](const QString& why) {
        QFile::remove(partial);
        throw TCliFailure(kExitDevice, QStringLiteral("cannot write %1: %2").arg(path, why));
    };
    QStringList lines = {
        QStringLiteral("; r7730ctl backup of a device's settings"),
        QStringLiteral("; device: %1, firmware %2").arg(header.model, header.firmware),
        QStringLiteral("; MAC: %1").arg(header.mac),
        QStringLiteral("; date: %1").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))),
        QStringLiteral("; port: %1").arg(header.port),
        QStringLiteral(";"),
        QStringLiteral("; `r7730ctl restore FILE` checks the whole file, then applies the sections present in"),
        QStringLiteral("; the order %1 and reads each back. Leave out a section or key to keep").arg(SectionList()),
        QStringLiteral("; the device's value. The access point's password stands here in clear text."),
    };
    for (const QString& note : notes)
        lines << QStringLiteral("; %1").arg(note);
    for (const TProfileSection& section : sections)
        lines << QString() << QStringLiteral("[%1]").arg(SectionName(section.section));

    QFile file(partial);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        fail(file.errorString());
    file.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    file.close();
    if (file.error() != QFileDevice::NoError)
        fail(file.errorString());

    // The keys go in through the INI layer, each at the end of its section.
    for (const TProfileSection& section : sections)
        for (const QString& key : SectionKeys(section.section)) {
            const auto text = section.texts.find(key);
            if (text != section.texts.end() &&
                !WriteProfileString(partial.toStdString(), SectionName(section.section).toStdString(), key.toStdString(),
                                    Quoted(text->second).toStdString()))
                fail(QStringLiteral("the INI layer could not write key %1").arg(key));
        }
    if (std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(path).constData()) != 0)
        fail(QString::fromLocal8Bit(std::strerror(errno)));
}

std::vector<TProfileSection> ReadProfile(const QString& path, bool noVerify)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        throw TCliFailure(kExitRefused, QStringLiteral("cannot read the profile %1").arg(path));
    const std::string file = path.toStdString();

    std::map<TSection, TTexts> found;
    for (const std::string& name : ReadProfileSections(file)) {
        const std::optional<TSection> section = SectionNamed(QString::fromStdString(name));
        if (!section)
            throw TCliFailure(kExitRefused, QStringLiteral("%1: unknown section [%2] (the sections are %3); nothing was sent")
                                                .arg(path, QString::fromStdString(name), SectionList()));
        TTexts& texts = found[*section];
        const QStringList& keys = SectionKeys(*section);
        for (const auto& [keyText, valueText] : ReadProfileSection(file, name)) {
            const QString key = QString::fromStdString(keyText).toLower();
            if (!keys.contains(key))
                throw TCliFailure(kExitRefused, QStringLiteral("%1 [%2]: unknown key \"%3\" (the keys are %4); nothing was sent")
                                                    .arg(path, SectionName(*section), QString::fromStdString(keyText),
                                                         keys.join(QStringLiteral(", "))));
            if (texts.count(key))
                throw TCliFailure(kExitRefused, QStringLiteral("%1 [%2]: %3 is written twice; nothing was sent")
                                                    .arg(path, SectionName(*section), key));
            texts[key] = QString::fromStdString(valueText);
        }
    }
    if (found.empty())
        throw TCliFailure(kExitRefused, QStringLiteral("%1 holds no section to restore (the sections are %2)").arg(path, SectionList()));

    std::vector<TProfileSection> sections;
    for (TSection section : kApplyOrder) {
        const auto present = found.find(section);
        if (present == found.end())
            continue;
        CheckGiven(section, present->second, noVerify, ProfileKeyNamer(path, section));
        sections.push_back({section, present->second});
    }
    return sections;
}

} // namespace r7730::cli
