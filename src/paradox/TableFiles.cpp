#include "TableFiles.h"

#include <dirent.h>
#include <strings.h>

#include <cctype>
#include <memory>

namespace px {

namespace {

bool isHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

char upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

}  // namespace

bool isTableExtension(const std::string& extension) {
    std::string e;
    for (char c : extension)
        e += upper(c);
    if (e == "DB" || e == "MB" || e == "PX" || e == "VAL")
        return true;
    if (e.size() != 3 || (e[0] != 'X' && e[0] != 'Y'))
        return false;
    return e[1] == 'G' ? isHexDigit(e[2]) : isHexDigit(e[1]) && isHexDigit(e[2]);
}

std::vector<std::string> tableFilesOf(const std::string& folder, const std::string& baseName) {
    std::vector<std::string> names;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()),
                                                  ::closedir);
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        // The base name is everything before the last dot, so "A.B.DB" belongs to "A.B".
        const size_t dot = name.rfind('.');
        if (dot == std::string::npos || dot != baseName.size() ||
            ::strncasecmp(name.c_str(), baseName.c_str(), dot) != 0)
            continue;
        if (entry->d_type != DT_DIR && isTableExtension(name.substr(dot + 1)))
            names.push_back(name);
    }
    return names;
}

}  // namespace px
