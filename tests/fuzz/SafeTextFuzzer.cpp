// The texts made safe for a terminal, a console record, a CSV cell and JSON: whatever a plug-in
// calls itself, the result holds nothing a terminal or a spreadsheet would obey, and JSON made
// safer still means the same.
#include <cstddef>
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "host/SafeText.h"
#include "protocol/Utf8.h"

namespace {

void Expect(bool holds)
{
    if (!holds) __builtin_trap();
}

// Valid UTF-8 without C0 (but for the line feed where allowed), DEL, C1 or bidirectional controls.
void ExpectShowable(const std::string& text, bool lineFeeds)
{
    const std::u16string units = Utf8ToUtf16(text);
    Expect(ToUtf8(units) == text);  // valid UTF-8: it survives the round trip unchanged
    for (char16_t unit : units) {
        if (unit == u'\n' && lineFeeds) continue;
        Expect(unit >= 0x20 && unit != 0x7F && !(unit >= 0x80 && unit < 0xA0));
        Expect(!(unit >= 0x202A && unit <= 0x202E) && !(unit >= 0x2066 && unit <= 0x2069));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    ExpectShowable(TerminalSafe(text), false);
    ExpectShowable(ConsoleSafe(text), true);
    const std::string cell = FormulaSafe(text);
    Expect(cell.empty() || std::string("=+-@\t\r").find(cell.front()) == std::string::npos);

    const nlohmann::json value = {{"name", text}, {"texts", {text, text.substr(0, size / 2)}}};
    const std::string json = value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
    const std::string safer = EscapeInvisibleInJson(json);
    const auto parsed = nlohmann::json::parse(safer, nullptr, false);
    Expect(!parsed.is_discarded());
    Expect(parsed == nlohmann::json::parse(json));
    return 0;
}
