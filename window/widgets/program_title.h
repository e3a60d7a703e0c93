#pragma once
#include <QString>

namespace r7730 {

// The program's title: window caption, task-bar text and caption of notices.
inline const QString kProgramTitle = QStringLiteral("Kavlor R7730LX Serial Setup Program");

} // namespace r7730
