#pragma once

#include <string>

// The description file as the reader shows it: transformed by the stylesheet
// into HTML. Throws HostError when either file cannot be read or applied.
std::string RenderDescription(const std::u16string& descriptionFile, const std::u16string& stylesheet);

// The rendered page taken apart, for pages that show several articles: the
// style sheet text of its head and the markup inside its body.
struct RenderedParts {
  std::string style;
  std::string body;
};
RenderedParts RenderDescriptionParts(const std::u16string& descriptionFile, const std::u16string& stylesheet);
