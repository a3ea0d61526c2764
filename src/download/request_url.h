// The bytes of a URL as the Windows client puts them on the request line, for the transports
// that must be told them (libcurl): the same setup name, download path and listed remote part
// reach a server in the same form from Linux as from Windows.
#pragma once

#include <string>

// The URL as WinINet sends it: the scheme and host as they are; in the rest, a space becomes
// %20, a backslash a slash, tabs and line breaks are dropped, other control characters and every
// character beyond ASCII become %XX escapes (of its UTF-8 bytes), and every other character,
// '%' included, goes unchanged. One exception: a '#' becomes %23, as libcurl would otherwise
// cut the request there, while WinINet sends it as it is (see README, "Names on the wire").
std::string RequestUrl(const std::wstring& url);
