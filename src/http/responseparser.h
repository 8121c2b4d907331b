#pragma once

#include "http/httpheader.h"

#include <cstdint>
#include <string_view>

namespace bryndle {

// The pure parsing of a response's status and header lines, apart from the socket code.

// The status code of a text of decimal digits, or 0 for a code without a status text.
// A non-digit raises ConvError, a value beyond 32 bits ConvOverflowError.
int32_t parseStatus(std::string_view text);

// Sets the header's version and status from a status line such as "HTTP/1.1 404 Not Found".
// A line that is not three space-separated parts with an 8-byte first part raises
// HTTPProtocolException "http protocol error1"; a version or status that is not a number
// raises ConvError (or ConvOverflowError).
void parseStatusLine(std::string_view line, HTTPHeader& header);

// Adds the field of a header line "name: value" (white space around both stripped). A line
// without a colon raises HTTPProtocolException "http protocol error 2".
void parseHeaderLine(std::string_view line, HTTPHeader& header);

} // namespace bryndle
