// cp932ToUtf8 and cp932ToEucJp: the program's own Japanese texts in the
// encoding of a terminal that reads UTF-8 or EUC-JP.
//
// The texts are stored and written as code page 932 bytes, which is what a
// file or a pipe gets; a person at a UTF-8 terminal gets them converted. Only
// the characters those texts use are known (ASCII passes through, any other
// character becomes U+FFFD), so no locale library is needed.
#pragma once

#include <string>
#include <string_view>

namespace vantrel {

std::string cp932ToUtf8(std::string_view text);

// Any code page 932 text of JIS X 0208's characters (a trailing half of a
// character is dropped).
std::string cp932ToEucJp(std::string_view text);

}  // namespace vantrel
