// Opening a web address with the desktop's URL handler.
#pragma once

#include <string_view>

namespace lectoria {

/// Opens `url` (UTF-8) in the user's default browser through QDesktopServices, without a
/// shell. Only absolute http and https addresses are opened; anything else returns false.
/// GUI thread.
bool OpenUrlInBrowser(std::string_view url);

}  // namespace lectoria
