// UTF-8 text of the program to and from the UTF-16 of the Windows wide-character calls.
// Windows files only; the declarations carry no Windows types.
#pragma once

#include <string>
#include <string_view>

// Malformed UTF-8 becomes U+FFFD; unpaired surrogates likewise on the way back.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);
// The system's text for a GetLastError code, without the trailing line break.
std::string Win32ErrorText(unsigned long code);
