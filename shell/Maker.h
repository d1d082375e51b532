#pragma once
// The maker's addresses, shown in messages and opened from the help window.

#include <QString>

namespace shell {

inline const QString kSupportEmail = QStringLiteral("support@marlowick.example");
inline const QString kMakerHost = QStringLiteral("marlowick.example");
inline const QString kMakerSite = QStringLiteral("https://") + kMakerHost;
inline const QString kHomePage = kMakerSite + QStringLiteral("/");
inline const QString kFaqPage = kMakerSite + QStringLiteral("/question/");
inline const QString kContactPage = kMakerSite + QStringLiteral("/contact/");

} // namespace shell
