#pragma once

#include <QString>

// The product's fixed names and addresses.
namespace Vendor {

inline const QString kProductTitle = QStringLiteral("Morvane Conversion Software");
inline const QString kSupportEmail = QStringLiteral("support@morvane-software.example");
inline const QString kHomePage = QStringLiteral("https://www.morvane-software.example/");
inline const QString kContactPage = QStringLiteral("https://www.morvane-software.example/contact");
inline const QString kBuildStamp = QStringLiteral("2021/08/31");

}  // namespace Vendor
