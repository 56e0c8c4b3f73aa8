// Reading what an FTP or SFTP server says: reply lines of the control
// connection, names-only listings and SIZE answers. Pure text work, apart
// from the session so that any bytes a server sends can be tried on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace transfer {

// The code of a reply line ("421 Bye" -> 421), 0 for anything else.
int ReplyCode(std::string_view line);

// The lines of a piece of the control connection, without their line ends,
// empty lines left out.
std::vector<std::string_view> ReplyLines(std::string_view text);

// A line that ends a reply ("230 Welcome"), not one of its leading lines
// ("230-Welcome") nor a text line inside it (" Welcome").
bool IsFinalReplyLine(std::string_view line);

// The size in a "213 12345" answer to SIZE; nullopt for any other answer.
std::optional<std::int64_t> SizeFromReply(std::string_view line);

// The names of a names-only listing, one per line (LF, CR LF or CR), empty lines
// and the folder's own "." and ".." left out (SFTP lists them). nullopt when
// there are more than maxNames names.
std::optional<std::vector<std::string>> ListingNames(std::string_view listing, std::size_t maxNames);

}  // namespace transfer
