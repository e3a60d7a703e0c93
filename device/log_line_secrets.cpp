// The password masked in a trace's log lines (see log_line_secrets.h).
#include "device/log_line_secrets.h"

#include <algorithm>
#include <utility>

#include "protocol/frame.h"
#include "protocol/frame_log_line.h"

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
    if (frame->side == TFrameSide::Reply) {
        const std::vector<bool> secret = SecretBytes(frame->side, frame->bytes);
        const auto first = std::find(secret.begin(), secret.end(), true);
        if (first != secret.end())
            secretInNextText_ = (first - secret.begin()) - kTextOffset;
    }
    return QString::fromStdString(MaskedFrameLogLine(text));
}

} // namespace r7730
