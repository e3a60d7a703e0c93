// The password masked in a trace's log lines (see log_line_secrets.h).
#include "device/log_line_secrets.h"

#include <algorithm>
#include <utility>

#include "protocol/code_page.h"
#include "protocol/frame.h"
#include "protocol/frame_log_line.h"
#include "protocol/reply_decoders.h"

namespace r7730 {
namespace {

// The reply's text line begins with the payload, at frame offset 4.
constexpr int kTextOffset = 4;

// "tmpSSIDPW   : [16][<the padded password>]": everything after the width is the password.
QString MaskedPasswordLine(const QString& line, qsizetype headLength)
{
    const qsizetype field = line.indexOf(QStringLiteral("]["), headLength);
    if (field < 0)
        return line;
    return line.left(field + 2) + QString(kApPasswordWidth, QLatin1Char('*')) + QLatin1Char(']');
}

// "res[48] = [<text>]": the text from secretAt on, up to its closing bracket.
QString MaskedReplyText(const QString& line, qsizetype secretAt)
{
    const QString head = QStringLiteral("] = [");
    const qsizetype text = line.indexOf(head);
    if (!line.startsWith(QStringLiteral("res[")) || text < 0 || !line.endsWith(QLatin1Char(']')))
        return line;
    const qsizetype from = std::min(text + head.size() + secretAt, line.size() - 1);
    return line.left(from) + QString(line.size() - 1 - from, QLatin1Char('*')) + QLatin1Char(']');
}

// Where the reply's secret field begins in its text line, in characters of the decoded payload
// (a double-byte character before it counts one); a character the field's first byte ends
// belongs to the secret. -1 for a reply without one.
qsizetype SecretInReplyText(const std::vector<std::uint8_t>& frame)
{
    const std::vector<bool> secret = SecretBytes(TFrameSide::Reply, frame);
    const auto first = std::find(secret.begin(), secret.end(), true);
    if (first == secret.end())
        return -1;
    const std::string payload = PayloadText(frame);
    std::size_t at = std::min(static_cast<std::size_t>(first - secret.begin() - kTextOffset), payload.size());
    if (at < payload.size() && ByteTypeAt(payload, at) == TMbcsByteType::mbTrailByte)
        --at;
    return static_cast<qsizetype>(AnsiToWide(std::string_view(payload).substr(0, at)).size());
}

} // namespace

QString TLogLineMask::Masked(const QString& line)
{
    const qsizetype secretInText = std::exchange(secretInNextText_, -1);
    const QString passwordHead = QString::fromLatin1(kPasswordLineLabel) + QStringLiteral(" : [");
    if (line.startsWith(passwordHead))
        return MaskedPasswordLine(line, passwordHead.size());
    if (secretInText >= 0)
        return MaskedReplyText(line, secretInText);
    const std::string text = line.toStdString();
    const std::optional<TLoggedFrame> frame = ReadFrameLogLine(text);
    if (!frame)
        return line;
    if (frame->side == TFrameSide::Reply)
        secretInNextText_ = SecretInReplyText(frame->bytes);
    return QString::fromStdString(MaskedFrameLogLine(text));
}

} // namespace r7730
