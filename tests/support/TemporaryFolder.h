#pragma once
// A folder of its own for one test, removed with everything in it afterwards.
#include <windows.h>

#include <string>

class CTemporaryFolder {
public:
    CTemporaryFolder();
    ~CTemporaryFolder();
    const std::wstring& Path() const { return path; }

private:
    std::wstring path;
};
