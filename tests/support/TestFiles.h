// Files, pipes and the clipboard as the tests see them.
#pragma once

#include "platform/Win32.h"

#include <string>

namespace testsupport {

// A path in the temporary folder, made unique to this process.
std::string TempPath(const char* name);
// The whole file, or "" when it cannot be read.
std::string ReadFileText(const std::string& path);
// Everything waiting in a pipe now, read without blocking.
std::string ReadAvailable(HANDLE hRead);
// The clipboard's CF_TEXT, waiting while another process holds it open.
std::string ClipboardText();
void SetClipboardText(const std::string& text);

} // namespace testsupport
