// What the host reads from files a crash or a build left: minidumps and PE headers.
#include <gtest/gtest.h>

#include <cstring>

#include "host/MinidumpReader.h"
#include "host/PeImage.h"
#include "host/SafeText.h"

namespace {

template <typename T>
void Put(std::string& bytes, size_t at, T value)
{
    if (bytes.size() < at + sizeof(T)) bytes.resize(at + sizeof(T));
    std::memcpy(bytes.data() + at, &value, sizeof(T));
}

// A minidump with an exception stream and a module list of two modules.
std::string SmallDump(uint32_t code, uint64_t address)
{
    std::string dump;
    Put<uint32_t>(dump, 0, 0x504D444D);
    Put<uint32_t>(dump, 8, 2);     // streams
    Put<uint32_t>(dump, 12, 32);   // directory
    Put<uint32_t>(dump, 20, 1765000000);  // written at
    Put<uint32_t>(dump, 32, 6);    // exception stream
    Put<uint32_t>(dump, 36, 168);
    Put<uint32_t>(dump, 40, 64);
    Put<uint32_t>(dump, 44, 4);    // module list
    Put<uint32_t>(dump, 48, 220);
    Put<uint32_t>(dump, 52, 256);
    Put<uint32_t>(dump, 64, 0x7B);  // the thread
    Put<uint32_t>(dump, 64 + 8, code);
    Put<uint64_t>(dump, 64 + 24, address);
    Put<uint32_t>(dump, 256, 2);
    const char16_t* names[] = {u"C:\\a.dll", u"C:\\plug-in.dll"};
    for (int m = 0; m < 2; ++m) {
        const size_t entry = 260 + 108 * m, name = 600 + 64 * m;
        Put<uint64_t>(dump, entry, 0x10000000ull * (m + 1));
        Put<uint32_t>(dump, entry + 8, 0x1000);
        Put<uint32_t>(dump, entry + 20, static_cast<uint32_t>(name));
        const size_t units = std::char_traits<char16_t>::length(names[m]);
        Put<uint32_t>(dump, name, static_cast<uint32_t>(units * 2));
        for (size_t u = 0; u < units; ++u) Put<char16_t>(dump, name + 4 + 2 * u, names[m][u]);
    }
    return dump;
}

TEST(HostReading, AMinidumpNamesTheExceptionAndTheModuleItHappenedIn)
{
    const auto summary = ReadMinidump(SmallDump(0xC0000005, 0x20000123));
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->exceptionCode, 0xC0000005u);
    ASSERT_EQ(summary->modules.size(), 2u);
    ASSERT_NE(summary->ModuleAt(0x20000123), nullptr);
    EXPECT_EQ(summary->ModuleAt(0x20000123)->path, "C:\\plug-in.dll");
    EXPECT_EQ(summary->ModuleAt(0x20001000), nullptr);
    EXPECT_EQ(ExceptionCodeText(0xC00000FD), "C00000FD (stack overflow)");
    EXPECT_EQ(ExceptionCodeText(0x12345678), "12345678");

    EXPECT_EQ(ReadMinidump(SmallDump(0xC0000005, 0))->threadId, 0x7Bu);
    EXPECT_EQ(ReadMinidump(SmallDump(0xC0000005, 0))->timeStamp, 1765000000u);

    const std::string cut = SmallDump(0xC0000005, 0).substr(0, 40);
    EXPECT_FALSE(ReadMinidump(cut));
    EXPECT_FALSE(ReadMinidump("MDMP but not really"));
}

// A crafted dump: thousands of module lists, each claiming a million modules that all share one
// long name. What it takes to read stays in proportion to the file.
TEST(HostReading, AMinidumpCostsMemoryInProportionToItsSize)
{
    std::string dump = SmallDump(0xC0000005, 0);
    constexpr uint32_t kLists = 4000, kEntries = 6000, kNameAt = 16;
    const uint32_t directory = static_cast<uint32_t>(dump.size()), list = directory + 12 * kLists;
    Put<uint32_t>(dump, 8, kLists + 1);
    Put<uint32_t>(dump, 12, directory);
    // The exception stream first, then every module list pointing at the same one.
    Put<uint32_t>(dump, directory, 6);
    Put<uint32_t>(dump, directory + 8, 64);
    for (uint32_t i = 1; i <= kLists; ++i) {
        Put<uint32_t>(dump, directory + 12 * i, 4);
        Put<uint32_t>(dump, directory + 12 * i + 8, list);
    }
    Put<uint32_t>(dump, list, 1000000);
    for (uint32_t m = 0; m < kEntries; ++m) Put<uint32_t>(dump, list + 4 + 108 * m + 20, kNameAt);
    Put<uint32_t>(dump, kNameAt, 2040);  // a name over the header and what follows
    const auto summary = ReadMinidump(dump);
    ASSERT_TRUE(summary);
    EXPECT_LE(summary->modules.size(), kMostDumpModules);
    size_t names = 0;
    for (const auto& module : summary->modules) names += module.path.size();
    EXPECT_LE(names, dump.size());
}

TEST(HostReading, ImportNamesAreBoundedAndEndInsideTheirSection)
{
    // One section over the whole file, an import table at 0x400 naming three DLLs.
    std::string image(0x2000, '\0');
    Put<uint16_t>(image, 0, 0x5A4D);
    Put<uint32_t>(image, 0x3C, 0x80);
    Put<uint32_t>(image, 0x80, 0x00004550);
    Put<uint16_t>(image, 0x84, kMachineX64);
    Put<uint16_t>(image, 0x86, 1);                 // sections
    Put<uint16_t>(image, 0x94, 240);               // optional header size
    Put<uint16_t>(image, 0x98, 0x20B);             // PE32+
    Put<uint32_t>(image, 0x98 + 112 + 8, 0x400);   // the import directory
    const size_t section = 0x98 + 240;
    Put<uint32_t>(image, section + 8, 0x2000);
    Put<uint32_t>(image, section + 16, 0x2000);
    const uint32_t names[] = {0x800, 0x900, 0xA00, 0x1FFC};
    for (size_t i = 0; i < 4; ++i) Put<uint32_t>(image, 0x400 + 20 * i + 12, names[i]);
    image.replace(0x800, 10, "first.dll");
    image.replace(0xA00, 300, std::string(300, 'x'));  // no end within the longest name
    image.replace(0x1FFC, 4, "last");                   // no end inside its section
    EXPECT_EQ(ImportedDllNames(image), std::vector<std::string>{"first.dll"});  // the empty one is left out too
}

TEST(HostReading, APeHeaderTellsItsMachineWithoutLoadingIt)
{
    std::string image(0x200, '\0');
    Put<uint16_t>(image, 0, 0x5A4D);
    Put<uint32_t>(image, 0x3C, 0x80);
    Put<uint32_t>(image, 0x80, 0x00004550);
    for (uint16_t machine : {kMachineX64, kMachineX86, kMachineArm64}) {
        Put<uint16_t>(image, 0x84, machine);
        EXPECT_EQ(PeMachine(image), machine);
    }
    EXPECT_EQ(MachineName(kMachineX86), "32-bit x86");
    EXPECT_FALSE(PeMachine("MZ"));
    EXPECT_FALSE(PeMachine(std::string(0x200, 'x')));
    Put<uint32_t>(image, 0x3C, 0x7FFFFFFF);  // e_lfanew past the end
    EXPECT_FALSE(PeMachine(image));
}

}  // namespace

// The table pads by terminal cells: wide characters take two, combining marks none.
TEST(HostReading, TextWidthsAreTerminalCells)
{
    EXPECT_EQ(TerminalWidth("abc"), 3u);
    EXPECT_EQ(TerminalWidth("\xE6\x97\xA5\xE6\x9C\xAC"), 4u);  // two CJK characters
    EXPECT_EQ(TerminalWidth("e\xCC\x81"), 1u);                  // e and a combining acute
    EXPECT_EQ(ClipToWidth("\xE6\x97\xA5\xE6\x9C\xAC\xE6\x97\xA5", 5), "\xE6\x97\xA5...");
    EXPECT_EQ(ClipToWidth("short", 5), "short");
}
