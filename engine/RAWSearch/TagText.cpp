#include "TagText.h"

#include <chardet.h>
#include <iconv.h>

#include <vector>

namespace TagText {

std::string decoding(const std::string& text) {
    DetectObj* detected = detect_obj_init();
    if (detected == nullptr)
        return std::string();
    std::string charset;
    const short result = detect(text.c_str(), &detected);
    if (result != CHARDET_NULL_OBJECT && result != CHARDET_OUT_OF_MEMORY &&
        detected->encoding != nullptr && detected->confidence > 0.0f) {
        charset = detected->encoding;
    }
    detect_obj_free(&detected);
    return charset;
}

bool localdecoding(const std::string& charset, const uint8_t* in, size_t length, std::string& out,
                   size_t capacity) {
    out.clear();
    if (charset.empty() || in == nullptr)
        return false;
    iconv_t converter = iconv_open("UTF-8", charset.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1))
        return false;
    std::vector<char> input(in, in + length);
    std::vector<char> output(capacity + 1, 0);
    char* from = input.data();
    size_t fromLeft = input.size();
    char* to = output.data();
    size_t toLeft = capacity;
    const size_t result = iconv(converter, &from, &fromLeft, &to, &toLeft);
    iconv_close(converter);
    out.assign(output.data(), static_cast<size_t>(to - output.data()));
    return result != static_cast<size_t>(-1);
}

std::string UTF16BE2UTF8(const uint8_t* in, size_t length, size_t capacity) {
    std::string out;
    if (!localdecoding("UTF-16LE", in, length, out, capacity))
        return std::string();
    return out.substr(0, out.find('\0'));
}

std::string replaceChar(const char* text, size_t length) {
    size_t end = 0;
    while (end < length && text[end] != '\0')
        ++end;
    bool valid = true;
    for (size_t i = 0; i < end && valid;) {
        const auto lead = static_cast<uint8_t>(text[i]);
        size_t follow = 0;
        if (lead >= 0xC0 && lead <= 0xDF)
            follow = 1;
        else if (lead >= 0xE0 && lead <= 0xEF)
            follow = 2;
        else if (lead >= 0x80)
            valid = false;
        for (size_t k = 1; valid && k <= follow && i + k < end; ++k)
            valid = (static_cast<uint8_t>(text[i + k]) & 0xC0) == 0x80;
        i += follow + 1;
    }
    std::string result(text, end);
    if (valid)
        return result;
    size_t replaced = 0;
    for (char& c : result) {
        if (static_cast<uint8_t>(c) >= 0x80) {
            c = '_';
            ++replaced;
        }
    }
    return replaced == result.size() ? std::string() : result;
}

std::string KeepAscii(const std::string& partial) {
    std::string kept = partial.substr(0, partial.find('\0'));
    for (char& c : kept) {
        if (static_cast<uint8_t>(c) >= 0x80)
            c = '_';
    }
    return kept;
}

}  // namespace TagText
