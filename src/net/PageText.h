#pragma once

#include <string>
#include <string_view>

namespace varnet {

// A web page turned into the plain text a browser shows, by a real HTML
// parser: no markup, scripts or styles; runs of white space as one blank;
// block elements, rows and <br> end lines ("\n"); table cells separated by a
// tab. The page's bytes are read as UTF-8 when valid, otherwise as GBK (the
// site's Chinese pages use one or the other); the result is UTF-8.
class PageText {
  public:
    static std::string fromHtml(std::string_view html);
};

}  // namespace varnet
