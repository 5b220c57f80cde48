// The digit-keyed additive pass: each byte shifted by the digit at its position in the key. It
// scrambles uninstall-log and package-command lines, and the archive cipher is built from it.
#pragma once

#include <string>
#include <string_view>

namespace zq {

// Adds the key's digits, repeated, to the bytes (mod 256). With `reverse` the text is read from
// its end, so the result is the reversed text with the key applied from its first byte. A key
// character counts as its offset from '0' ('0' adds nothing); an empty key adds nothing.
std::string EncodePass(const std::string& key, const std::string& text, bool reverse);

// Undoes EncodePass with the same key and flag.
std::string DecodePass(const std::string& key, const std::string& text, bool reverse);

std::string ScrambleLine(std::string_view key, const std::string& text);
std::string UnscrambleLine(std::string_view key, const std::string& text);

// The uninstall log's key and the package update commands' key. Logs and scripts written
// with one key can only be read with the same key, so these never change.
inline constexpr std::string_view kUninstallLogKey =
    "32336552126399414773444788573555122321462917723298316867321594623527533728183699313391733495966156737811631245995878737184"
    "12431796466329616556656257112362282727796858222652663351768284719821194426468189975965474518767627172241137695232719436224";
inline constexpr std::string_view kPackageCommandKey =
    "41181448147168391975252464431837372671917839556896968794354564224654233725948947793237535639758496529752262748116826499535"
    "11433374282737116773196757931425367344991987967575945423769166944497724392213873447861643788956396833639423869848849584467";

}  // namespace zq
