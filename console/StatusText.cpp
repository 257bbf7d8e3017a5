#include "console/StatusText.h"

#include <cwchar>

namespace status {

namespace {

std::wstring Widen(const char* p)
{
    int n = ::MultiByteToWideChar(CP_ACP, 0, p, -1, nullptr, 0);
    std::wstring text(static_cast<size_t>(n > 0 ? n : 1), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, p, -1, &text[0], n);
    text.resize(text.size() - 1);
    return text;
}

} // namespace

std::wstring Duration(DWORD ms)
{
    wchar_t text[32];
    if (ms < 10000)
        std::swprintf(text, 32, L"%.2f s", ms / 1000.0);
    else if (ms < 60000)
        std::swprintf(text, 32, L"%.1f s", ms / 1000.0);
    else if (ms < 3600000)
        std::swprintf(text, 32, L"%lu min %02lu s", ms / 60000, ms / 1000 % 60);
    else
        std::swprintf(text, 32, L"%lu h %02lu min", ms / 3600000, ms / 60000 % 60);
    return text;
}

std::wstring Running(DWORD ms)
{
    DWORD seconds = ms / 1000;
    wchar_t text[48];
    if (seconds < 60)
        std::swprintf(text, 48, L"Running\u2026 %lu s", seconds);
    else
        std::swprintf(text, 48, L"Running\u2026 %lu min %02lu s", seconds / 60, seconds % 60);
    return text;
}

std::wstring Saving(int percent)
{
    wchar_t text[32];
    std::swprintf(text, 32, L"Saving\u2026 %d %%", percent);
    return text;
}

std::wstring SystemText(DWORD error, const CString& program)
{
    wchar_t* buffer = nullptr;
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = n > 0 && buffer != nullptr ? std::wstring(buffer, n) : std::wstring();
    if (buffer != nullptr)
        ::LocalFree(buffer);
    for (wchar_t& c : text)
        if (c == L'\r' || c == L'\n')
            c = L' ';
    while (!text.empty() && text.back() == L' ')
        text.pop_back();
    if (text.empty()) {
        wchar_t code[32];
        std::swprintf(code, 32, L"error %lu", error);
        text = code;
    }
    size_t at = text.find(L"%1");
    if (at != std::wstring::npos)
        text.replace(at, 2, Widen(program));
    return text;
}

std::wstring RunEnded(const CRunResult& result, const CString& program)
{
    wchar_t text[64];
    switch (result.kind) {
    case CRunResult::exited:
        // As programs mean them: small negative codes signed, the system's
        // status codes (a crash, say) in hex.
        if (static_cast<LONG>(result.exitCode) < 0 && static_cast<LONG>(result.exitCode) > -65536)
            std::swprintf(text, 64, L"Exit code %ld \u00b7 ", static_cast<LONG>(result.exitCode));
        else if (result.exitCode >= 0xC0000000u)
            std::swprintf(text, 64, L"Exit code 0x%08lX \u00b7 ", result.exitCode);
        else
            std::swprintf(text, 64, L"Exit code %lu \u00b7 ", result.exitCode);
        return text + Duration(result.elapsedMs);
    case CRunResult::stopped:
        return L"Stopped after " + Duration(result.elapsedMs);
    case CRunResult::notStarted:
        return L"Could not start: " + SystemText(result.error, program);
    case CRunResult::failed:
    default:
        return L"Failed: " + Widen(result.failure);
    }
}

} // namespace status
