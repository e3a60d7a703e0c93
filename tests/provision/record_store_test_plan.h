#pragma once
// A plan of numbered rows for the record store's tests and its claimer process.
#include <QStringList>

#include "provision/plan.h"

namespace r7730::testing {

// Rows 1..count labelled "unit-001", ..., with the MACs given for the first rows.
inline provision::TPlan NumberedPlan(const QByteArray& sha256, int count, const QStringList& macs = {})
{
    provision::TPlan plan;
    plan.path = QStringLiteral("/line/plan-%1.csv").arg(QString::fromLatin1(sha256.left(4)));
    plan.sha256 = sha256;
    plan.encoding = QStringLiteral("UTF-8");
    plan.columns = {QStringLiteral("label"), QStringLiteral("mac"), QStringLiteral("ip")};
    for (int number = 1; number <= count; ++number) {
        provision::TPlanRow row;
        row.number = number;
        row.label = QStringLiteral("unit-%1").arg(number, 3, 10, QChar(u'0'));
        row.mac = number <= macs.size() ? macs[number - 1] : QString();
        row.given[TSection::Wan] = {{QStringLiteral("ip"), QStringLiteral("192.168.1.%1").arg(number)}};
        plan.rows.push_back(row);
    }
    return plan;
}

} // namespace r7730::testing
