#pragma once

#include <string>

// The description file as the reader shows it: transformed by the stylesheet
// into HTML. Throws HostError when either file cannot be read or applied.
std::string RenderDescription(const std::u16string& descriptionFile, const std::u16string& stylesheet);
