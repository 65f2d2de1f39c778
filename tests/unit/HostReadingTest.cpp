// What the host reads from files a crash or a build left: minidumps and PE headers.
#include <gtest/gtest.h>

#include <cstring>

#include "host/MinidumpReader.h"
#include "host/PeImage.h"

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
    Put<uint32_t>(dump, 32, 6);    // exception stream
    Put<uint32_t>(dump, 36, 168);
    Put<uint32_t>(dump, 40, 64);
    Put<uint32_t>(dump, 44, 4);    // module list
    Put<uint32_t>(dump, 48, 220);
    Put<uint32_t>(dump, 52, 256);
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

    const std::string cut = SmallDump(0xC0000005, 0).substr(0, 40);
    EXPECT_FALSE(ReadMinidump(cut));
    EXPECT_FALSE(ReadMinidump("MDMP but not really"));
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
