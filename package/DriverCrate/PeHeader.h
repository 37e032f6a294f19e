// Whether a file begins as a Windows executable image (a driver is one). Pure, over the
// file's bytes.
#pragma once

#include <string>

namespace driver_crate {

// True when the "MZ" header points at a "PE\0\0" signature whose file header, optional
// header (PE32 or PE32+) and section table lie inside bytes, and every section's raw data
// ends within them. A file zeroed from its start or cut short fails.
bool HasSanePeHeader(const std::string& bytes);

}  // namespace driver_crate
