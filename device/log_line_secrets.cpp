// The password masked in a trace's log lines (see log_line_secrets.h).
#include "device/log_line_secrets.h"

#include "protocol/frame.h"
#include "protocol/frame_log_line.h"

namespace r7730 {

QString MaskedLogLine(const QString& line)
{
    // "tmpSSIDPW   : [16][<the padded password>]": everything after the width is the password.
    const QString passwordHead = QString::fromLatin1(kPasswordLineLabel) + QStringLiteral(" : [");
    if (line.startsWith(passwordHead)) {
        const qsizetype field = line.indexOf(QStringLiteral("]["), passwordHead.size());
        if (field < 0)
            return line;
        return line.left(field + 2) + QString(kApPasswordWidth, QLatin1Char('*')) + QLatin1Char(']');
    }
    return QString::fromStdString(MaskedFrameLogLine(line.toStdString()));
}

} // namespace r7730
