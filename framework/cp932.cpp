#include "framework/cp932.h"

#include "platform/text.h"

#include <cerrno>
#include <iconv.h>

namespace sv {

std::string Utf8ToCp932(std::string_view text) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(text);
    std::string out;
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char buffer[1024];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // One character that has no code: skip its whole UTF-8 sequence.
            out += '?';
            std::size_t n = 1;
            while (n < inLeft && (static_cast<unsigned char>(in[n]) & 0xC0) == 0x80) ++n;
            in += n;
            inLeft -= n;
        }
    }
    iconv_close(cd);
    return out;
}

std::string Cp932ToUtf8(std::string_view text) {
    return platform::Cp932ToUtf8(text);
}

} // namespace sv
