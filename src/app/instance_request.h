#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelvor {

// What a second start of the editor tells the running one over the
// single-instance channel. Either "raise\n" (come to the front), or "open\n"
// followed by the length of a path as 4 bytes, least significant first, and
// the path's bytes (UTF-8 on our desktops, no NUL): come to the front and
// open that document. Anything else is refused and the connection dropped.
inline constexpr std::string_view RaiseRequestText = "raise\n";
inline constexpr std::string_view OpenRequestText = "open\n";
// Longer than any path the system opens; a longer claim is refused unread.
inline constexpr uint32_t MaxHandedOverPath = 4096;

enum class InstanceRequestKind {
  Incomplete,  // the bytes so far begin a request: wait for more
  Raise,
  Open,
  Invalid,  // no request of ours: drop the connection
};

struct InstanceRequest {
  InstanceRequestKind kind = InstanceRequestKind::Incomplete;
  std::string path;  // for Open: absolute
};

// Reads the request that `bytes` (everything received so far) holds.
InstanceRequest ParseInstanceRequest(std::span<const uint8_t> bytes);

// The bytes of an open request for `path` (absolute), or none when the path
// cannot travel (empty, too long, holding a NUL).
std::vector<uint8_t> EncodeOpenRequest(std::string_view path);

}  // namespace kelvor
