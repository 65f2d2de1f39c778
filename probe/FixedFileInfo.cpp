#include "probe/FixedFileInfo.h"

#include <vector>

bool ReadFixedFileInfo(const wchar_t* path, VS_FIXEDFILEINFO& info)
{
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &handle);
    if (size == 0) return false;
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoW(path, handle, size, block.data())) return false;
    void* root = nullptr;
    UINT length = 0;
    // A root block shorter than the whole record holds no usable version; reading the record
    // from it would run past its end.
    if (!VerQueryValueW(block.data(), L"\\", &root, &length) || length < sizeof(VS_FIXEDFILEINFO)) return false;
    info = *static_cast<const VS_FIXEDFILEINFO*>(root);
    return true;
}
