#pragma once
// What a zoo file exports: a DLL export on Windows, a visible symbol of a shared object elsewhere.
#if defined(_WIN32)
#define ZOO_EXPORT extern "C" __declspec(dllexport)
#define ZOO_IMPORT extern "C" __declspec(dllimport)
#else
#define ZOO_EXPORT extern "C" __attribute__((visibility("default")))
#define ZOO_IMPORT extern "C"
#endif
