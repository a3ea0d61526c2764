// The connection check and the URL probe: the two network questions asked before any
// download.
#pragma once

#include <cstdint>
#include <string>

#include "download/http_transport.h"

// True when the machine has a network connection that could reach the Internet.
bool IsOnline();

// The length the server declares for url, without fetching the body; 0 when the request fails,
// declares no length, or ends in an error status (400 and above), so that a mirror answering
// with a large error page is never chosen. Redirects are followed first. 64-bit, so a file
// of 2 GiB or more is never reported as a negative size.
std::int64_t ProbeUrlLength(const std::wstring& url, IHttpTransport& transport = PlatformHttpTransport());

// The initial file must declare at least this many bytes on a host; a site must declare more
// than this for the first listed file. Anything smaller is an error page or a placeholder.
inline constexpr std::int64_t kMinimumDeclaredLength = 1000;

// Statuses from here on are error answers, never the file asked for.
inline constexpr int kFirstErrorStatus = 400;
