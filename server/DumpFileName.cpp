#include "server/DumpFileName.h"

namespace {

struct CWriter {
    char16_t* out;
    size_t capacity;
    size_t length = 0;
    bool overflow = false;

    void Put(char16_t unit)
    {
        if (length + 1 < capacity) out[length++] = unit;
        else overflow = true;
    }
    void Text(const char16_t* text)
    {
        for (; *text; ++text) Put(*text);
    }
    // Zero-padded to `digits`, wider when the number needs it (years past 9999).
    void Number(int value, int digits)
    {
        char16_t reversed[12];
        int n = 0;
        unsigned v = value < 0 ? 0u : static_cast<unsigned>(value);
        do {
            reversed[n++] = static_cast<char16_t>(u'0' + v % 10);
            v /= 10;
        } while (v != 0);
        while (n < digits) reversed[n++] = u'0';
        while (n > 0) Put(reversed[--n]);
    }
};

}  // namespace

size_t FormatDumpPath(char16_t* out, size_t capacity, const char16_t* folder, const char16_t* baseName,
                      const CDumpTime& time, char16_t separator)
{
    if (capacity == 0) return 0;
    CWriter writer{out, capacity};
    writer.Text(folder);
    writer.Put(separator);
    writer.Text(baseName);
    const int fields[] = {time.month, time.day, time.hour, time.minute, time.second};
    writer.Put(u'-');
    writer.Number(time.year, 4);
    for (int field : fields) {
        writer.Put(u'-');
        writer.Number(field, 2);
    }
    writer.Text(u".mdmp");
    out[writer.length] = u'\0';
    return writer.overflow ? 0 : writer.length;
}
