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
