#pragma once
// The machine this server is built for, as its banner, its dump names and its reports say it.
constexpr const char16_t* kPlatformName = sizeof(void*) == 8 ? u"x64" : u"x86";
