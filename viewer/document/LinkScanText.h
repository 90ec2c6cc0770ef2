// Character classes and small readers shared by the PDF and PostScript link
// scanners.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace linkscan {

bool IsWhite(char c);
bool IsDelimiter(char c);
bool IsBoundary(char c); // white space, a delimiter or NUL
size_t SkipWhite(std::string_view s, size_t i);
// Truncates toward zero, saturating at the int32 range; NaN gives 0.
int32_t ToInt32(double v);
// atoi in the C locale, saturating at the int32 range.
int32_t ParseInt(std::string_view s);
// False when the file cannot be opened or read whole.
bool ReadWholeFile(const char* path, std::string* out);

} // namespace linkscan
