// The commands that change the device: set, reboot, factory-reset, backup (to a file) and
// restore; and the dispatch of every command.
#include <QJsonArray>
#include <QJsonObject>

#include "cli/commands.h"
#include "cli/session_wording.h"
#include "cli/failure.h"
#include "cli/profile.h"
#include "cli/read_back.h"
#include "cli/unit_report.h"

namespace r7730::cli {
namespace {

TKeyNamer OptionNamer()
{
    return {[](const QString& key, const QString& text) { return QStringLiteral("--%1 %2").arg(key, Excerpt(text)); },
            [](const QString& key) { return QStringLiteral("--%1").arg(key); }};
}

// The device's present values of a section.
TTexts Current(TCtlSession& session, TSection section, const TStatusReply& status)
{
    const std::optional<TTexts> texts =
        session.Run([&] { return ReadSectionTexts(session.Device(), section, status); });
    if (!texts)
        session.NoAnswer("current access point");
    return *texts;
}

// The report files written for the unit, told to the person and to the script.
void AddReports(const QStringList& paths, TOutput& output, QJsonObject& document)
{
    if (paths.isEmpty())
        return;
    output.Line(QStringLiteral("report: %1").arg(paths.join(", ")));
    document.insert("reports", QJsonArray::fromStringList(paths));
}

QString SecondsText(double seconds)
{
    return QString::number(seconds, 'f', 1);
}

// A change that could not go on: the unit's report says FAIL with the reason before the
// failure goes up. Returns the failure to raise, which also names a report left unwritten.
TCliFailure WithFailReport(const TCliFailure& failure, const TPreparedChange& change, TUnitReport& unit, TOutput& output)
{
    unit.Fail(change, failure.Message());
    try {
        if (const QStringList paths = unit.Write(); !paths.isEmpty())
            output.Line(QStringLiteral("report: %1").arg(paths.join(", ")));
        return failure;
    } catch (const TCliFailure& unwritten) {
        return TCliFailure(failure.Code(), QStringLiteral("%1; %2").arg(failure.Message(), unwritten.Message()));
    }
}

// Applies a prepared change (unless the device holds it already) and reports it. Returns
// whether the device holds what was sent.
bool ApplyAndReport(TCtlSession& session, const TPreparedChange& change, TOutput& output, QJsonArray& json,
                    TUnitReport& unit)
{
    const QString name = SectionName(change.section);
    QJsonObject result{{"section", name}, {"values", JsonOf(change.sent)}};
    if (!change.Changes()) {
        output.Line(QStringLiteral("%1: the device holds these values already; nothing was sent").arg(name));
        output.Fields(FieldsOf(change.section, change.before), kLabelWidth);
        result.insert("sent", false);
        result.insert("holds", JsonOf(change.before));
        result.insert("verified", true);
        json.append(result);
        unit.Add(change, nullptr);
        return true;
    }
    output.Progress(QStringLiteral("saving the %1 settings; the device reboots").arg(name));
    TChangeReport report;
    try {
        report = Apply(session, change);
    } catch (const TCliFailure& failure) {
        throw WithFailReport(failure, change, unit, output);
    }
    unit.Add(change, &report);

    if (report.rebootSeen)
        output.Line(QStringLiteral("%1: saved; the device answered again after %2 s and holds:").arg(name, SecondsText(report.backAfterSeconds)));
    else
        output.Line(QStringLiteral("%1: saved, but no reboot seen: the device answered throughout the %2 s wait; it holds:")
                        .arg(name, SecondsText(report.backAfterSeconds)));
    QList<std::pair<QString, QString>> fields;
    for (const auto& [key, held] : FieldsOf(change.section, report.after)) {
        QString value = held;
        if (change.unverified.contains(key))
            value = QStringLiteral("%1  (sent %2, not verified: a reply cannot carry the byte 254)").arg(held, change.sent.at(key));
        else if (report.differs.contains(key))
            value = QStringLiteral("%1  (sent %2)").arg(held, change.sent.at(key));
        fields.append({key, value});
    }
    output.Fields(fields, kLabelWidth);
    if (!report.lineNote.isEmpty())
        output.Line(QStringLiteral("line: %1").arg(report.lineNote));
    if (!report.differs.isEmpty())
        output.Line(QStringLiteral("read-back differs: %1").arg(report.differs.join(", ")));
    else if (!change.unverified.isEmpty())
        output.Line(QStringLiteral("verified, except %1 (not verified)").arg(change.unverified.join(", ")));
    else
        output.Line(QStringLiteral("verified: the device holds what was sent"));

    result.insert("sent", true);
    result.insert("holds", JsonOf(report.after));
    result.insert("differs", QJsonArray::fromStringList(report.differs));
    result.insert("unverified", QJsonArray::fromStringList(change.unverified));
    result.insert("verified", report.differs.isEmpty());
    result.insert("back_after_s", report.backAfterSeconds);
    result.insert("reboot_seen", report.rebootSeen);
    if (!report.lineNote.isEmpty())
        result.insert("line", report.lineNote);
    json.append(result);
    return report.differs.isEmpty();
}

} // namespace

std::unique_ptr<TCtlSession> OpenSession(const TInvocation& invocation, const TOutput& output)
{
    TSessionOptions options;
    options.portName = invocation.portName;
    options.timeoutMs = invocation.timeoutMs;
    options.verbose = invocation.verbose;
    options.decodeFrames = invocation.verbosity >= 2;
    options.progress = [&output](const QString& note) { output.Progress(note); };
    auto session = std::make_unique<TCtlSession>(options);
    session->Open();
    return session;
}

int SetCommand(const TInvocation& invocation, TOutput& output)
{
    const TKeyNamer namer = OptionNamer();
    CheckGiven(invocation.section, invocation.given, invocation.noVerify, invocation.forceMask, namer);
    const auto session = OpenSession(invocation, output);
    const TStatusReply status = session->ReadStatus();
    const TPreparedChange change = Prepare(invocation.section, invocation.given, Current(*session, invocation.section, status),
                                           session->Link().StatusReceived(), namer);
    QJsonArray results;
    TUnitReport unit(invocation.reportDir, *session, status);
    const bool verified = ApplyAndReport(*session, change, output, results, unit);
    QJsonObject document = results.first().toObject();
    AddReports(unit.Write(), output, document);
    output.SetDocument(document);
    return verified ? kExitDone : kExitMismatch;
}

int RebootCommand(TCtlSession& session, TOutput& output, bool factoryReset)
{
    const TStatusReply before = session.ReadStatus();
    if (factoryReset)
        session.Link().FactoryReset(TMessageId::FactoryReset);
    else
        session.Link().SystemReboot();
    QElapsedTimer clock;
    clock.start();
    const TReturn back = session.Run([&session] { return session.Device().AwaitReturn(session.RebootWaitMs()); });
    if (!back.status)
        throw TCliFailure(kExitDevice, QStringLiteral("the device did not answer again within %1 s after the %2")
                                           .arg(session.RebootWaitMs() / 1000.0)
                                           .arg(factoryReset ? "factory reset" : "reboot"));
    const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
    const QString unit = QStringLiteral("%1 %2").arg(QString::fromStdU16String(before.deviceName),
                                                     QString::fromStdU16String(before.macAddress));
    if (back.silenceSeen)
        output.Line(QStringLiteral("%1: %2; the device answered again after %3 s")
                        .arg(unit, factoryReset ? QStringLiteral("factory settings restored") : QStringLiteral("rebooted"),
                             SecondsText(seconds)));
    else
        output.Line(QStringLiteral("%1: %2 sent, but no reboot seen: the device answered throughout the %3 s wait")
                        .arg(unit, factoryReset ? QStringLiteral("factory reset") : QStringLiteral("reboot"),
                             SecondsText(seconds)));
    output.SetDocument(QJsonObject{{"done", factoryReset ? "factory-reset" : "reboot"},
                                   {"mac", QString::fromStdU16String(before.macAddress)},
                                   {"back_after_s", seconds},
                                   {"reboot_seen", back.silenceSeen}});
    return kExitDone;
}

int BackupCommand(const TInvocation& invocation, TOutput& output)
{
    CheckProfileWritable(invocation.file);
    const auto session = OpenSession(invocation, output);
    const TStatusReply status = session->ReadStatus();
    const TTexts accessPoint = Current(*session, TSection::AccessPoint, status);
    // A control character would break its profile line, and restore would refuse the file.
    for (const auto& [key, text] : accessPoint)
        if (const QString refusal = ControlCharacterRefusal(key, text); !refusal.isEmpty())
            throw TCliFailure(kExitRefused,
                              QStringLiteral("the device's access point cannot be backed up: %1; nothing was written").arg(refusal));

    std::vector<TProfileSection> sections;
    QStringList notes;
    QJsonObject json{{"file", invocation.file},
                     {"model", QString::fromStdU16String(status.deviceName)},
                     {"firmware", QString::fromStdU16String(status.version)},
                     {"mac", QString::fromStdU16String(status.macAddress)}};
    for (TSection section : {TSection::Wan, TSection::Tcp, TSection::Serial}) {
        const TTexts texts = TextsOfStatus(section, status);
        if (texts.size() != static_cast<std::size_t>(SectionKeys(section).size()))
            throw TCliFailure(kExitDevice, QStringLiteral("the device's status reply did not decode its %1 settings; "
                                                          "nothing was written")
                                               .arg(SectionName(section)));
        sections.push_back({section, texts});
    }
    if (accessPoint.at("ssid").isEmpty())
        notes << QStringLiteral("[ap] is left out: the device had joined no access point.");
    else
        sections.push_back({TSection::AccessPoint, accessPoint});

    const TProfileHeader header{QString::fromStdU16String(status.deviceName), QString::fromStdU16String(status.version),
                                QString::fromStdU16String(status.macAddress), session->PortName()};
    WriteProfile(invocation.file, header, sections, notes);

    QStringList names;
    for (const TProfileSection& section : sections) {
        names << SectionName(section.section);
        json.insert(SectionName(section.section), JsonOf(section.texts));
    }
    const QString saved = QStringLiteral("%1 %2: %3 saved to %4").arg(header.model, header.mac, names.join(", "), invocation.file);
    if (invocation.file == kStandardOutput) {
        // Standard output holds the profile alone; a person at a terminal still learns what it holds.
        output.Progress(saved);
        return kExitDone;
    }
    output.Line(saved);
    for (const QString& note : notes)
        output.Line(note);
    output.SetDocument(json);
    return kExitDone;
}

int RestoreCommand(const TInvocation& invocation, TOutput& output)
{
    const std::vector<TProfileSection> sections = ReadProfile(invocation.file, invocation.noVerify, invocation.forceMask);
    const auto session = OpenSession(invocation, output);
    const TStatusReply status = session->ReadStatus();

    // Every section is filled and checked before the first one is sent.
    std::vector<TPreparedChange> changes;
    for (const TProfileSection& section : sections)
        changes.push_back(Prepare(section.section, section.texts, Current(*session, section.section, status),
                                  session->Link().StatusReceived(), ProfileKeyNamer(invocation.file, section.section)));
    bool verified = true;
    QJsonArray results;
    TUnitReport unit(invocation.reportDir, *session, status);
    for (const TPreparedChange& change : changes) {
        verified = ApplyAndReport(*session, change, output, results, unit) && verified;
        output.Line();
    }
    output.Line(verified ? QStringLiteral("restored %1: the device holds what the file says").arg(invocation.file)
                         : QStringLiteral("restored %1, but the device holds other values than sent (see above)").arg(invocation.file));
    QJsonObject document{{"file", invocation.file}, {"verified", verified}, {"sections", results}};
    AddReports(unit.Write(), output, document);
    output.SetDocument(document);
    return verified ? kExitDone : kExitMismatch;
}

} // namespace r7730::cli
