#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace px {

// A single-byte character set, decoded through a table built once per code page.
class CodePage {
  public:
    // The code page a table's header names; Windows-1252 where it names none or one we lack.
    static const CodePage& forTable(int codePageNumber, std::string_view sortOrderId);
    static const CodePage& windows1252();

    const std::string& name() const { return name_; }
    void decode(const char* data, size_t length, std::string& utf8) const;
    std::string decode(std::string_view bytes) const;

  private:
    explicit CodePage(std::string iconvName);
    static const CodePage& byIconvName(const std::string& iconvName);

    struct Glyph {
        char bytes[4];
        uint8_t length;
    };
    std::string name_;
    std::array<Glyph, 256> glyphs_{};
    bool asciiIsIdentity_ = true;
};

}  // namespace px
