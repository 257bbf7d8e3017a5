#include "TestFiles.h"

#include "Pump.h"

#include <cstring>
#include <fstream>
#include <sstream>

namespace testsupport {

std::string TempPath(const char* name)
{
    char temp[MAX_PATH] = "";
    ::GetTempPathA(sizeof temp, temp);
    return std::string(temp) + name + std::to_string(::GetCurrentProcessId());
}

std::string ReadFileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string ReadAvailable(HANDLE hRead)
{
    std::string s;
    DWORD avail = 0;
    while (::PeekNamedPipe(hRead, nullptr, 0, nullptr, &avail, nullptr) && avail > 0) {
        std::string chunk(avail, '\0');
        DWORD got = 0;
        ::ReadFile(hRead, &chunk[0], avail, &got, nullptr);
        s.append(chunk, 0, got);
    }
    return s;
}

std::string ClipboardText()
{
    std::string text;
    if (!WaitUntil([] { return ::OpenClipboard(nullptr) != FALSE; }))
        return "<clipboard busy>";
    if (HANDLE h = ::GetClipboardData(CF_TEXT)) {
        if (const char* p = static_cast<const char*>(::GlobalLock(h))) {
            text = p;
            ::GlobalUnlock(h);
        }
    }
    ::CloseClipboard();
    return text;
}

void SetClipboardText(const std::string& text)
{
    if (!WaitUntil([] { return ::OpenClipboard(nullptr) != FALSE; }))
        return;
    ::EmptyClipboard();
    HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    std::memcpy(::GlobalLock(h), text.c_str(), text.size() + 1);
    ::GlobalUnlock(h);
    ::SetClipboardData(CF_TEXT, h);
    ::CloseClipboard();
}

} // namespace testsupport
