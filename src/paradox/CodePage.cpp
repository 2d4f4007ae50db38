#include "CodePage.h"

#include <iconv.h>

#include <map>
#include <memory>
#include <mutex>

namespace px {

namespace {

std::string iconvNameFor(int codePageNumber, std::string_view sortOrderId) {
    // SQL Link's Roman-8 tables carry no code page, only their sort order.
    if (codePageNumber == 0 && sortOrderId == "BLROM800")
        return "HP-ROMAN8";
    switch (codePageNumber) {
        case 437:
        case 737:
        case 850:
        case 852:
        case 857:
        case 860:
        case 861:
        case 862:
        case 863:
        case 865:
        case 866:
        case 1250:
        case 1251:
        case 1252:
        case 1253:
        case 1254:
        case 1255:
            return "CP" + std::to_string(codePageNumber);
        case 867:  // Kamenicky has no converter; cp862 is its nearest neighbour
            return "CP862";
        default:
            return "CP1252";
    }
}

void encodeUtf8(char32_t cp, char* out, uint8_t& length) {
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        length = 1;
    } else if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        length = 2;
    } else if (cp < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        length = 3;
    } else {
        out[0] = static_cast<char>(0xF0 | (cp >> 18));
        out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[3] = static_cast<char>(0x80 | (cp & 0x3F));
        length = 4;
    }
}

}  // namespace

CodePage::CodePage(std::string iconvName) : name_(std::move(iconvName)) {
    iconv_t converter = iconv_open("UTF-32LE", name_.c_str());
    for (int byte = 0; byte < 256; ++byte) {
        // A byte the code page leaves undefined keeps its own value, as Windows does.
        char32_t codePoint = static_cast<char32_t>(byte);
        if (converter != reinterpret_cast<iconv_t>(-1)) {
            char in = static_cast<char>(byte);
            unsigned char out[8] = {};
            char* inPtr = &in;
            size_t inLeft = 1;
            char* outPtr = reinterpret_cast<char*>(out);
            size_t outLeft = sizeof out;
            iconv(converter, nullptr, nullptr, nullptr, nullptr);
            if (iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft) != size_t(-1) &&
                outLeft == sizeof out - 4)
                codePoint = char32_t(out[0]) | char32_t(out[1]) << 8 | char32_t(out[2]) << 16 |
                            char32_t(out[3]) << 24;
        }
        encodeUtf8(codePoint, glyphs_[byte].bytes, glyphs_[byte].length);
    }
    if (converter != reinterpret_cast<iconv_t>(-1))
        iconv_close(converter);
    for (int byte = 0; byte < 0x80; ++byte)
        asciiIsIdentity_ = asciiIsIdentity_ && glyphs_[byte].length == 1 &&
                           glyphs_[byte].bytes[0] == static_cast<char>(byte);
}

const CodePage& CodePage::byIconvName(const std::string& iconvName) {
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<CodePage>> pages;
    std::lock_guard lock(mutex);
    auto& page = pages[iconvName];
    if (!page)
        page.reset(new CodePage(iconvName));
    return *page;
}

const CodePage& CodePage::forTable(int codePageNumber, std::string_view sortOrderId) {
    return byIconvName(iconvNameFor(codePageNumber, sortOrderId));
}

const CodePage& CodePage::windows1252() {
    return byIconvName("CP1252");
}

void CodePage::decode(const char* data, size_t length, std::string& utf8) const {
    utf8.reserve(utf8.size() + length);
    size_t i = 0;
    while (i < length) {
        // Runs of ASCII, which every code page here keeps as it is, are copied whole.
        size_t run = i;
        while (run < length && static_cast<unsigned char>(data[run]) < 0x80 && asciiIsIdentity_)
            ++run;
        utf8.append(data + i, run - i);
        if (run == length)
            break;
        const Glyph& glyph = glyphs_[static_cast<unsigned char>(data[run])];
        utf8.append(glyph.bytes, glyph.length);
        i = run + 1;
    }
}

std::string CodePage::decode(std::string_view bytes) const {
    std::string utf8;
    decode(bytes.data(), bytes.size(), utf8);
    return utf8;
}

}  // namespace px
