// Cookie text of HttpRequest: items "name=value" separated by "; ", GBK text.
#pragma once

#include <string>
#include <string_view>

namespace lectoria {

/// The cookie's name: TrimBlanks of the text before the first "=", or of the whole item.
std::string CookieName(std::string_view item);

/// Removes every "Cookie:" (ignoring case) from a caller's cookie text, so that text copied from
/// a header line can be sent as the Cookie header's value. Other bytes are kept, spaces too.
std::string StripCookiePrefix(std::string_view cookies);

/// The cookies a response sets, from its header lines joined by CR LF: for each line whose name
/// before the first ": " is exactly "Set-Cookie", the text up to the first ";" (attributes such
/// as Path dropped), trimmed; joined by "; ".
std::string ExtractReturnedCookies(std::string_view responseHeaders);

/// Merges the cookies a response returned (`newCookies`) into those that were sent
/// (`oldCookies`): a returned cookie replaces a sent one of the same name, sent cookies the
/// response did not mention follow the returned ones, items ending in "=deleted" are dropped and
/// exact duplicates kept once. `oldCookies` receives the result, `newCookies` its trimmed form;
/// the result is also returned.
std::string MergeCookies(std::string& oldCookies, std::string& newCookies);

/// Splits `text` at `separator`, keeps the first of each exactly equal item, in order, and joins
/// them with the separator again.
std::string RemoveDuplicateItems(std::string_view text, std::string_view separator);

}  // namespace lectoria
