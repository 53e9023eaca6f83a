#include "app/instance_request.h"

#include <algorithm>
#include <filesystem>

namespace kelvor {
namespace {

constexpr size_t LengthBytes = 4;

bool StartsWith(std::span<const uint8_t> bytes, std::string_view text) {
  const size_t n = std::min(bytes.size(), text.size());
  return std::equal(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n), text.begin());
}

bool CanTravel(std::string_view path) {
  return !path.empty() && path.size() <= MaxHandedOverPath &&
         path.find('\0') == std::string_view::npos;
}

}  // namespace

InstanceRequest ParseInstanceRequest(std::span<const uint8_t> bytes) {
  InstanceRequest request;
  if (StartsWith(bytes, RaiseRequestText)) {
    if (bytes.size() < RaiseRequestText.size()) return request;
    request.kind = bytes.size() == RaiseRequestText.size() ? InstanceRequestKind::Raise
                                                           : InstanceRequestKind::Invalid;
    return request;
  }
  if (!StartsWith(bytes, OpenRequestText)) {
    request.kind = InstanceRequestKind::Invalid;
    return request;
  }
  const size_t header = OpenRequestText.size() + LengthBytes;
  if (bytes.size() < header) return request;
  uint32_t length = 0;
  for (size_t i = 0; i < LengthBytes; ++i) {
    length |= static_cast<uint32_t>(bytes[OpenRequestText.size() + i]) << (8 * i);
  }
  // The claimed length is checked before anything waits for it.
  if (length == 0 || length > MaxHandedOverPath || bytes.size() > header + length) {
    request.kind = InstanceRequestKind::Invalid;
    return request;
  }
  if (bytes.size() < header + length) return request;
  const auto* first = reinterpret_cast<const char*>(bytes.data() + header);
  std::string path(first, length);
  if (!CanTravel(path) || !std::filesystem::path(path).is_absolute()) {
    request.kind = InstanceRequestKind::Invalid;
    return request;
  }
  request.kind = InstanceRequestKind::Open;
  request.path = std::move(path);
  return request;
}

std::vector<uint8_t> EncodeOpenRequest(std::string_view path) {
  if (!CanTravel(path)) return {};
  std::vector<uint8_t> bytes(OpenRequestText.begin(), OpenRequestText.end());
  const auto length = static_cast<uint32_t>(path.size());
  for (size_t i = 0; i < LengthBytes; ++i) bytes.push_back(static_cast<uint8_t>(length >> (8 * i)));
  bytes.insert(bytes.end(), path.begin(), path.end());
  return bytes;
}

}  // namespace kelvor
