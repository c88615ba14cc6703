#pragma once

#include <QString>

// The web pages the program opens: the maker's, and those of the product's other editions.
namespace web_addresses {

inline QString maker() {
    return QStringLiteral("https://www.vistrelle.example/");
}
inline QString proEdition() {
    return QStringLiteral("https://www.vistrelle.example/pro/");
}
inline QString studioEdition() {
    return QStringLiteral("https://www.vistrelle.example/studio/");
}

} // namespace web_addresses
