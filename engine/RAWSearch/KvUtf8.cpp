#include "KvUtf8.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

// Indexed by the number of continuation bytes a lead byte announces.
constexpr unsigned char kLeadMask[6] = {0x80, 0xE0, 0xF0, 0xF8, 0xFC, 0xFE};
constexpr unsigned char kLeadPattern[6] = {0x00, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};
constexpr uint32_t kOffset[6] = {0, 0x3080, 0xE2080, 0x3C82080, 0xFA082080, 0x82082080};

int ContinuationCount(unsigned char lead) {
    if (lead < 0xC0)
        return 0;
    if (lead < 0xE0)
        return 1;
    if (lead < 0xF0)
        return 2;
    if (lead < 0xF8)
        return 3;
    return lead < 0xFC ? 4 : 5;
}

// Runs iconv over the whole input. `dropIncomplete`: a sequence cut off at
// the end is left out instead of failing. At most `limit` bytes come out; a
// text that needs more is cut at a character's end.
bool Iconv(const char* from, const char* to, const uint8_t* bytes, size_t length, size_t limit,
           bool dropIncomplete, std::string& out) {
    out.clear();
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1))
        return false;
    std::vector<char> buffer(limit);
    char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes));
    size_t inLeft = length;
    char* at = buffer.data();
    size_t outLeft = buffer.size();
    bool ok = true;
    if (iconv(converter, &in, &inLeft, &at, &outLeft) == static_cast<size_t>(-1))
        ok = errno == E2BIG || (errno == EINVAL && dropIncomplete);
    if (ok && iconv(converter, nullptr, nullptr, &at, &outLeft) == static_cast<size_t>(-1))
        ok = false;
    iconv_close(converter);
    if (ok)
        out.assign(buffer.data(), static_cast<size_t>(at - buffer.data()));
    return ok;
}

}  // namespace

long UTF8ToUNICODE(const unsigned char* source, long sourceLength, wchar_t* units, long capacity) {
    if (source == nullptr || units == nullptr || sourceLength <= 0 || capacity <= 0)
        return 0;
    long written = 0;
    long at = 0;
    while (at < sourceLength && written < capacity) {
        const unsigned char lead = source[at];
        if (lead < 0x80) {
            units[written++] = lead;
            ++at;
            continue;
        }
        const int n = ContinuationCount(lead);
        if (at + n >= sourceLength)
            return written;
        if ((lead & kLeadMask[n]) != kLeadPattern[n])
            return 0;
        uint32_t value = 0;
        for (int k = 0; k <= n; ++k) {
            const unsigned char byte = source[at + k];
            if (k > 0 && (byte & 0xC0) != 0x80)
                return 0;
            value = value * 64 + byte;
        }
        value -= kOffset[n];
        if (value >= 0x110000)
            return written <= 32 ? 0 : written;
        if (value >= 0x10000) {
            if (capacity - written < 2)
                return written;
            units[written++] = static_cast<wchar_t>((value - 0x10000) / 1024 + 0xD800);
            units[written++] = static_cast<wchar_t>((value & 0x3FF) | 0xDC00);
        } else {
            units[written++] = static_cast<wchar_t>(value);
        }
        at += n + 1;
    }
    return written;
}

long UTF8ToANSI(const unsigned char* source, long sourceLength, char* destination, long capacity) {
    if (source == nullptr || destination == nullptr || sourceLength <= 0 || capacity <= 0)
        return 0;
    std::string text;
    // The destination's own size bounds the output.
    if (!Iconv("UTF-8", nl_langinfo(CODESET), source, static_cast<size_t>(sourceLength),
               static_cast<size_t>(capacity), true, text) ||
        text.empty()) {
        return 0;
    }
    std::memcpy(destination, text.data(), text.size());
    if (text.size() < static_cast<size_t>(capacity))
        destination[text.size()] = '\0';
    return static_cast<long>(text.size());
}

std::string UTF8ToANSI(const std::string& text) {
    std::vector<char> buffer(text.size() * 4 + 4);
    const long written =
        UTF8ToANSI(reinterpret_cast<const unsigned char*>(text.data()),
                   static_cast<long>(text.size()), buffer.data(), static_cast<long>(buffer.size()));
    return std::string(buffer.data(), static_cast<size_t>(written));
}

bool ConvertText(const char* from, const char* to, const uint8_t* bytes, size_t length,
                 std::string& out) {
    return Iconv(from, to, bytes, length, length * 4 + 4, false, out);
}

std::string CutUtf8(const std::string& text, size_t bytes) {
    if (text.size() <= bytes)
        return text;
    size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}
