#pragma once
// What kind of file a chosen name asks for.
#include <string>

namespace npt {

// The extension of a file name in lower case (ASCII): from the last point after the last path
// separator, the point included; empty when there is none. ".TXT" and ".txt" ask for the same.
std::string lowerCaseExtension(const std::string& path);

}  // namespace npt
