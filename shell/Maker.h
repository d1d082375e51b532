#pragma once
// The maker's addresses, shown in messages and opened from the help window.

#include <QString>

namespace shell {

inline const QString kSupportEmail = QStringLiteral("support@marlowick.example");
inline const QString kMakerSite = QStringLiteral("https://marlowick.example");

} // namespace shell
