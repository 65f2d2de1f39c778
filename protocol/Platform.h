#pragma once
// The machine this server is built for, as its banner, its dump names and its reports say it.
#if defined(_WIN32)
constexpr const char16_t* kPlatformName = sizeof(void*) == 8 ? u"x64" : u"x86";
// The servers' file names are Windows' (under Wine too, where a Linux name can hold more).
constexpr bool kWindowsFileNames = true;
#else
constexpr const char16_t* kPlatformName = u"linux-x86_64";
constexpr bool kWindowsFileNames = false;
#endif
