#include "runner/CommandLine.h"

#include <cstring>

namespace {

constexpr int kMaxChars = kCommandBufferSize - 1;
const char* const kSuffixes[] = { ".exe", ".bat", ".com" };

// SearchPathA along the default search order; the full path on success. A
// path that does not fit the buffer counts as not found.
bool Search(const CString& name, CString& fullPath)
{
    if (name.GetLength() > kMaxChars)
        return false;
    char buf[kCommandBufferSize];
    char* filePart = nullptr;
    DWORD n = ::SearchPathA(nullptr, name, nullptr, kCommandBufferSize, buf, &filePart);
    if (n == 0 || n >= static_cast<DWORD>(kCommandBufferSize))
        return false;
    fullPath = buf;
    return true;
}

// The directory a program token names: everything before its last
// backslash, keeping the backslash of a drive root.
CString DirectoryOf(const CString& token)
{
    int slash = token.ReverseFind('\\');
    if (slash <= 0)
        return CString();
    if (token[slash - 1] == ':')
        return token.Left(slash + 1);
    return token.Left(slash);
}

} // namespace

bool IsWindowsNT()
{
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    return ::GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

bool ResolveCommandLine(CString& command, CString& directory)
{
    const CString typed = command;
    if (typed.GetLength() > kMaxChars)
        return false;

    // The program token and the argument text.
    int pos = 0;
    char separator = ' ';
    if (typed.GetLength() > 0 && typed[0] == '"') {
        separator = '"';
        pos = 1;
    }
    int end = typed.Find(separator, pos);
    CString token = end < 0 ? typed.Mid(pos) : typed.Mid(pos, end - pos);
    CString arguments = end < 0 ? CString() : typed.Mid(end + 1);

    // Suffix completion, unless the token already ends in a three-letter
    // extension.
    int len = token.GetLength();
    if (len < 5 || token[len - 4] != '.') {
        for (const char* suffix : kSuffixes) {
            CString found;
            if (Search(token + suffix, found)) {
                token = found;
                break;
            }
        }
    }

    CString path;
    CString result;
    CString dir;
    if (!Search(token, path)) {
        result = CString(IsWindowsNT() ? "cmd.exe /c " : "command.com /c ") + typed;
    } else {
        result = CString("\"") + path + "\" " + arguments;
        // A token typed with its extension and no folder runs in the folder
        // where it was found, as a completed one does.
        dir = DirectoryOf(token.Find('\\') >= 0 ? token : path);
    }
    if (result.GetLength() > kMaxChars)
        return false;
    command = result;
    directory = dir;
    return true;
}
