// The backup profile file, written and read through the INI layer (see profile.h).
#include "cli/profile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/failure.h"
#include "cli/output.h"
#include "cli/read_back.h"
#include "shell/profile_file.h"
#include "shell/text_lines.h"
#include "shell/whole_file.h"

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
                return QStringLiteral("%1 [%2] %3=%4").arg(path, SectionName(section), key, Excerpt(text));
            },
            [path, section](const QString& key) {
                return QStringLiteral("a %1= line in [%2] of %3").arg(key, SectionName(section), path);
            }};
}

void CheckProfileWritable(const QString& path)
{
    if (path == kStandardOutput)
        return;
    const TWholeFileTarget target = WholeFileTarget(QFile::encodeName(path).toStdString());
    if (!target.refusal.empty())
        throw TCliFailure(kExitRefused, QStringLiteral("%1 is %2, not a regular file: name a regular file for the profile, "
                                                       "or - for standard output")
                                            .arg(path, QString::fromStdString(target.refusal)));
    const QString folder = QFile::decodeName(QByteArray::fromStdString(target.Folder()));
    const QFileInfo folderInfo(folder);
    if (!folderInfo.isDir())
        throw TCliFailure(kExitRefused, QStringLiteral("cannot write %1: the folder %2 does not exist").arg(path, folder));
    if (!folderInfo.isWritable())
        throw TCliFailure(kExitRefused, QStringLiteral("cannot write %1: the folder %2 is not writable").arg(path, folder));
}

void WriteProfile(const QString& path, const TProfileHeader& header, const std::vector<TProfileSection>& sections,
                  const QStringList& notes)
{
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

    // The keys go in through the INI layer, each at the end of its section.
    std::vector<TProfileEntry> entries;
    for (const TProfileSection& section : sections)
        for (const QString& key : SectionKeys(section.section))
            if (const auto text = section.texts.find(key); text != section.texts.end())
                entries.push_back({SectionName(section.section).toStdString(), key.toStdString(), Quoted(text->second).toStdString()});
    const std::string content = WithProfileStrings((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toStdString(), entries);

    if (path == kStandardOutput) {
        std::fflush(stdout);
        if (!WriteAllBytes(STDOUT_FILENO, content))
            throw TCliFailure(kExitDevice, QStringLiteral("cannot write the profile to standard output: %1")
                                               .arg(QString::fromLocal8Bit(std::strerror(errno))));
        return;
    }
    CheckProfileWritable(path);
    // Readable by its owner only: it holds the access point's password.
    if (!WriteWholeFile(QFile::encodeName(path).toStdString(), content, S_IRUSR | S_IWUSR))
        throw TCliFailure(kExitDevice, QStringLiteral("cannot write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
}

namespace {

// The whole file, checked for what a person's editor may have made of it; a UTF-8 byte-order
// mark is dropped.
std::string ProfileBytes(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        throw TCliFailure(kExitRefused, QStringLiteral("cannot read the profile %1").arg(path));
    QByteArray bytes = file.read(kMaxProfileBytes + 1);
    if (bytes.size() > kMaxProfileBytes)
        throw TCliFailure(kExitRefused, QStringLiteral("%1 is larger than a profile may be (1 MiB, %2 bytes); nothing was sent")
                                            .arg(path)
                                            .arg(kMaxProfileBytes));
    // A byte-order mark of UTF-16, or a NUL beside the first character.
    const bool utf16 = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") ||
                       (bytes.size() >= 2 && (bytes[0] == '\0') != (bytes[1] == '\0'));
    if (utf16)
        throw TCliFailure(kExitRefused, QStringLiteral("%1 is UTF-16 text: save it as UTF-8; nothing was sent").arg(path));
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    if (const int line = FirstLineLongerThan(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))))
        throw TCliFailure(kExitRefused, QStringLiteral("%1 line %2 is longer than a line of a profile may be (%3 KiB); nothing "
                                                       "was sent")
                                            .arg(path)
                                            .arg(line)
                                            .arg(kMaxTextLineBytes / 1024));
    const QList<QByteArray> lines = bytes.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
        (void)QString(utf8(lines[i]));
        if (utf8.hasError())
            throw TCliFailure(kExitRefused, QStringLiteral("%1 line %2 is not UTF-8 text: save the file as UTF-8; nothing was sent")
                                                .arg(path)
                                                .arg(i + 1));
    }
    return bytes.toStdString();
}

// The file's sections and keys, each line as the INI layer's strict reading takes it.
TStrictProfile ProfileLines(const QString& path)
{
    const TStrictProfile profile = ParseProfileStrictly(ProfileBytes(path));
    const QString line = Excerpt(QString::fromStdString(profile.faultText));
    const QString byte = QStringLiteral("%1").arg(profile.controlByte, 2, 16, QLatin1Char('0')).toUpper();
    switch (profile.fault) {
    case TProfileFault::None:
        return profile;
    case TProfileFault::KeyOutsideSection:
        throw TCliFailure(kExitRefused, QStringLiteral("%1 line %2: \"%3\" stands above the first section (the sections are "
                                                       "%4); nothing was sent")
                                            .arg(path)
                                            .arg(profile.faultLine)
                                            .arg(line, SectionList()));
    case TProfileFault::NotAKeyLine:
        throw TCliFailure(kExitRefused, QStringLiteral("%1 line %2: \"%3\" is neither key=value, [section] nor a comment "
                                                       "(; or #); nothing was sent")
                                            .arg(path)
                                            .arg(profile.faultLine)
                                            .arg(line));
    case TProfileFault::ControlByte:
        throw TCliFailure(kExitRefused, QStringLiteral("%1 line %2 holds the control byte 0x%3, which no value may carry (a "
                                                       "tab only as a blank around a value); nothing was sent")
                                            .arg(path)
                                            .arg(profile.faultLine)
                                            .arg(byte));
    }
    return profile;
}

} // namespace

std::vector<TProfileSection> ReadProfile(const QString& path, bool noVerify, bool forceMask)
{
    const TStrictProfile profile = ProfileLines(path);
    std::map<TSection, TTexts> found;
    for (const std::string& name : profile.sections) {
        const std::optional<TSection> section = SectionNamed(QString::fromStdString(name));
        if (!section)
            throw TCliFailure(kExitRefused, QStringLiteral("%1: unknown section [%2] (the sections are %3); nothing was sent")
                                                .arg(path, Excerpt(QString::fromStdString(name)), SectionList()));
        found[*section];
    }
    for (const TProfileLineEntry& line : profile.entries) {
        const TSection section = *SectionNamed(QString::fromStdString(line.entry.section));
        TTexts& texts = found[section];
        const QStringList& keys = SectionKeys(section);
        const QString key = QString::fromStdString(line.entry.key).toLower();
        if (!keys.contains(key))
            throw TCliFailure(kExitRefused, QStringLiteral("%1 [%2]: unknown key \"%3\" (the keys are %4); nothing was sent")
                                                .arg(path, SectionName(section), Excerpt(QString::fromStdString(line.entry.key)),
                                                     keys.join(QStringLiteral(", "))));
        if (texts.count(key))
            throw TCliFailure(kExitRefused, QStringLiteral("%1 [%2]: %3 is written twice; nothing was sent")
                                                .arg(path, SectionName(section), key));
        texts[key] = QString::fromStdString(line.entry.value);
    }
    if (found.empty())
        throw TCliFailure(kExitRefused, QStringLiteral("%1 holds no section to restore (the sections are %2)").arg(path, SectionList()));

    std::vector<TProfileSection> sections;
    for (TSection section : kApplyOrder) {
        const auto present = found.find(section);
        if (present == found.end())
            continue;
        CheckGiven(section, present->second, noVerify, forceMask, ProfileKeyNamer(path, section));
        sections.push_back({section, present->second});
    }
    return sections;
}

} // namespace r7730::cli
