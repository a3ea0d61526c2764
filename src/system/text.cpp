// Portable text conversions: UTF-8 in both directions, Windows-1252 and ASCII case.
#include "system/text.h"

#include <cstdint>

#include "system/text_internal.h"

namespace {

void AppendCodePoint(std::wstring& out, char32_t cp) {
  if constexpr (sizeof(wchar_t) == 2) {
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
      return;
    }
  }
  out.push_back(static_cast<wchar_t>(cp));
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; its five unassigned bytes map to the
// C1 controls of the same value, as Windows itself converts them.
constexpr char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

char32_t Cp1252ToCodePoint(unsigned char byte) {
  if (byte >= 0x80 && byte < 0xA0) return kCp1252High[byte - 0x80];
  return byte;
}

std::size_t DecodeUtf8Sequence(std::string_view bytes, std::size_t pos, char32_t& cp) {
  const auto lead = static_cast<unsigned char>(bytes[pos]);
  std::size_t length = 0;
  char32_t min = 0;
  if (lead < 0x80) {
    cp = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, cp = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, cp = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, cp = lead & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (pos + length > bytes.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(bytes[pos + i]);
    if ((next & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (next & 0x3F);
  }
  const bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
  return (cp < min || cp > 0x10FFFF || surrogate) ? 0 : length;
}

std::wstring FromUtf8WithFallback(std::string_view bytes, bool cp1252Fallback) {
  std::wstring out;
  out.reserve(bytes.size());
  for (std::size_t pos = 0; pos < bytes.size();) {
    char32_t cp = 0;
    const std::size_t length = DecodeUtf8Sequence(bytes, pos, cp);
    if (length == 0) {
      AppendCodePoint(out, cp1252Fallback ? Cp1252ToCodePoint(static_cast<unsigned char>(bytes[pos])) : U'\uFFFD');
      ++pos;
    } else {
      AppendCodePoint(out, cp);
      pos += length;
    }
  }
  return out;
}

std::wstring FromUtf8(std::string_view bytes) { return FromUtf8WithFallback(bytes, false); }

std::string ToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto cp = static_cast<char32_t>(text[i]);
    if constexpr (sizeof(wchar_t) == 2) {
      cp &= 0xFFFF;
      if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
        const auto low = static_cast<char32_t>(text[i + 1]) & 0xFFFF;
        if (low >= 0xDC00 && low <= 0xDFFF) {
          cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          ++i;
        }
      }
    }
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
    AppendUtf8(out, cp);
  }
  return out;
}

std::wstring FromUtf16Le(std::string_view bytes) {
  std::wstring out;
  out.reserve(bytes.size() / 2);
  auto unitAt = [&bytes](std::size_t i) {
    return static_cast<char32_t>(static_cast<unsigned char>(bytes[i]) |
                                 (static_cast<unsigned char>(bytes[i + 1]) << 8));
  };
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t unit = unitAt(i);
    if (unit == 0) break;
    if constexpr (sizeof(wchar_t) == 4) {
      if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
        const char32_t low = unitAt(i + 2);
        if (low >= 0xDC00 && low <= 0xDFFF) {
          unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
          i += 2;
        }
      }
      if (unit >= 0xD800 && unit <= 0xDFFF) unit = 0xFFFD;
    }
    out.push_back(static_cast<wchar_t>(unit));
  }
  return out;
}

std::wstring AsciiUpper(std::wstring_view text) {
  std::wstring out(text);
  for (auto& c : out) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return out;
}

std::string EncodeHexDigits(const void* bytes, std::size_t count, HexCase letters) {
  const char* digits = letters == HexCase::Upper ? "0123456789ABCDEF" : "0123456789abcdef";
  const auto* in = static_cast<const std::uint8_t*>(bytes);
  std::string hex(2 * count, '0');
  for (std::size_t i = 0; i < count; ++i) {
    hex[2 * i] = digits[in[i] >> 4];
    hex[2 * i + 1] = digits[in[i] & 15];
  }
  return hex;
}

bool DecodeHexDigits(std::wstring_view hex, std::uint8_t* out, std::size_t count) {
  const auto value = [](wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
  };
  if (hex.size() != 2 * count) return false;
  for (std::size_t i = 0; i < count; ++i) {
    const int high = value(hex[2 * i]);
    const int low = value(hex[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    out[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return true;
}

// Written here because the formatted-print family (std::to_wstring included) would add its
// whole engine to Setup.exe.
void AppendPadded(std::wstring& text, std::int64_t value, std::size_t width) {
  std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  std::wstring digits;
  do {
    digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  const std::size_t signWidth = value < 0 ? 1 : 0;
  if (value < 0) text += L'-';
  if (digits.size() + signWidth < width) text.append(width - digits.size() - signWidth, L'0');
  text += digits;
}

std::wstring DecimalText(std::int64_t value) {
  std::wstring text;
  AppendPadded(text, value, 0);
  return text;
}

// Days since 1970-01-01 to a civil date in the proleptic Gregorian calendar, by eras of 400
// years, so no platform's gmtime (absent or differently named on each) is needed.
std::wstring FormatUtcTime(std::int64_t utcSeconds) {
  constexpr std::int64_t kSecondsPerDay = 86400;
  std::int64_t days = utcSeconds / kSecondsPerDay;
  std::int64_t secondOfDay = utcSeconds % kSecondsPerDay;
  if (secondOfDay < 0) {
    secondOfDay += kSecondsPerDay;
    --days;
  }
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t dayOfEra = z - era * 146097;
  const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  const std::int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  const std::int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  // "dd-mm-yyyy hh:mm:ss"
  std::wstring text;
  const std::int64_t fields[] = {day, month, year, secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60};
  const wchar_t separators[] = L" -- ::";
  for (std::size_t i = 0; i < 6; ++i) {
    if (i > 0) text += separators[i];
    AppendPadded(text, fields[i], i == 2 ? 4 : 2);
  }
  return text;
}
