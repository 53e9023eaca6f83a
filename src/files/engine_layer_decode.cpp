#include <libdeflate.h>
#include <zstd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

#include "base/parallel.h"
#include "document/map_document.h"
#include "files/engine_map_source.h"

namespace kelvor {
namespace {

constexpr size_t GidBytes = 4;
// Output grows a piece at a time, so that a stream claiming a huge layer
// costs memory only as far as it really inflates.
constexpr size_t OutputPiece = size_t{1} << 20;
// A deflate stream gives at most 258 bytes for every two bits it holds, so
// a layer bigger than this many times its stream cannot be in it.
constexpr size_t MostDeflateRatio = 1032;
// CSV texts longer than this are read in pieces on several processors.
constexpr size_t CsvPieceBytes = size_t{4} << 20;

bool IsSpace(char c) {
  return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

const std::array<int8_t, 256>& Base64Values() {
  static const std::array<int8_t, 256> values = [] {
    std::array<int8_t, 256> table{};
    table.fill(-1);
    const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int8_t i = 0; i < 64; ++i) table[static_cast<uint8_t>(digits[i])] = i;
    return table;
  }();
  return values;
}

bool DecodeBase64(std::string_view text, std::vector<uint8_t>& out) {
  const std::array<int8_t, 256>& values = Base64Values();
  out.resize(text.size() / 4 * 3 + 3);
  uint8_t* written = out.data();
  uint32_t bits = 0;
  int count = 0;
  size_t padding = 0;
  const char* at = text.data();
  const char* const end = at + text.size();
  while (at != end) {
    // Whole groups of four digits, the bulk of any layer.
    if (count == 0 && padding == 0) {
      while (end - at >= 4) {
        const int32_t a = values[static_cast<uint8_t>(at[0])];
        const int32_t b = values[static_cast<uint8_t>(at[1])];
        const int32_t c = values[static_cast<uint8_t>(at[2])];
        const int32_t d = values[static_cast<uint8_t>(at[3])];
        if ((a | b | c | d) < 0) break;
        const uint32_t group = (static_cast<uint32_t>(a) << 18) | (static_cast<uint32_t>(b) << 12) |
                               (static_cast<uint32_t>(c) << 6) | static_cast<uint32_t>(d);
        written[0] = static_cast<uint8_t>(group >> 16);
        written[1] = static_cast<uint8_t>(group >> 8);
        written[2] = static_cast<uint8_t>(group);
        written += 3;
        at += 4;
      }
      if (at == end) break;
    }
    const char c = *at++;
    const int8_t value = values[static_cast<uint8_t>(c)];
    if (value < 0) {
      if (c == '=') {
        ++padding;
        continue;
      }
      if (IsSpace(c)) continue;
      return false;
    }
    if (padding > 0) return false;
    bits = (bits << 6) | static_cast<uint32_t>(value);
    if (++count == 4) {
      written[0] = static_cast<uint8_t>(bits >> 16);
      written[1] = static_cast<uint8_t>(bits >> 8);
      written[2] = static_cast<uint8_t>(bits);
      written += 3;
      count = 0;
      bits = 0;
    }
  }
  if (count == 1 || padding > 2) return false;
  if (count == 2) *written++ = static_cast<uint8_t>(bits >> 4);
  if (count == 3) {
    *written++ = static_cast<uint8_t>(bits >> 10);
    *written++ = static_cast<uint8_t>(bits >> 2);
  }
  out.resize(static_cast<size_t>(written - out.data()));
  return true;
}

// Little-endian 32-bit values, as the map stores them, in place.
void FromLittleEndian(GidList& gids) {
  if constexpr (std::endian::native != std::endian::little) {
    for (uint32_t& gid : gids) {
      const auto* at = reinterpret_cast<const uint8_t*>(&gid);
      gid = uint32_t{at[0]} | (uint32_t{at[1]} << 8) | (uint32_t{at[2]} << 16) |
            (uint32_t{at[3]} << 24);
    }
  }
}

// A zlib or gzip stream inflated straight into the gids: exactly `expected`
// values, anything after the stream's end left unread.
bool Inflate(const std::vector<uint8_t>& in, bool gzip, size_t expected, GidList& gids) {
  if (expected / MostDeflateRatio > in.size() / GidBytes + 1) return false;
  std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> decompressor(
      libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
  if (!decompressor) return false;
  gids.resize(expected);
  const size_t wanted = expected * GidBytes;
  // Without an out-count the output must fill the gids exactly.
  const libdeflate_result result =
      gzip ? libdeflate_gzip_decompress(decompressor.get(), in.data(), in.size(), gids.data(),
                                        wanted, nullptr)
           : libdeflate_zlib_decompress(decompressor.get(), in.data(), in.size(), gids.data(),
                                        wanted, nullptr);
  if (result != LIBDEFLATE_SUCCESS) return false;
  FromLittleEndian(gids);
  return true;
}

bool Unzstd(const std::vector<uint8_t>& in, size_t wanted, std::vector<uint8_t>& out) {
  std::unique_ptr<ZSTD_DStream, size_t (*)(ZSTD_DStream*)> stream(ZSTD_createDStream(),
                                                                  ZSTD_freeDStream);
  if (!stream) return false;
  out.clear();
  ZSTD_inBuffer input{in.data(), in.size(), 0};
  size_t last = 1;
  while (input.pos < input.size || last != 0) {
    uint8_t extra = 0;
    ZSTD_outBuffer output{};
    if (out.size() == wanted) {
      output = {&extra, 1, 0};
    } else {
      const size_t piece = std::min(OutputPiece, wanted - out.size());
      const size_t at = out.size();
      out.resize(at + piece);
      output = {out.data() + at, piece, 0};
    }
    const size_t inBefore = input.pos;
    last = ZSTD_decompressStream(stream.get(), &output, &input);
    if (ZSTD_isError(last)) return false;
    if (output.dst == &extra) {
      if (output.pos > 0) return false;  // more than the layer holds
    } else {
      out.resize(out.size() - (output.size - output.pos));
    }
    // No input taken and nothing made: the stream ends early.
    if (input.pos == inBefore && output.pos == 0) return last == 0 && out.size() == wanted;
  }
  return out.size() == wanted;
}

bool DecodeBase64Data(std::string_view data, std::string_view compression, size_t expected,
                      GidList& gids) {
  if (expected > SIZE_MAX / GidBytes) return false;
  const size_t wanted = expected * GidBytes;
  std::vector<uint8_t> packed;
  if (!DecodeBase64(data, packed)) return false;
  if (compression == "zlib" || compression == "gzip") {
    return Inflate(packed, compression == "gzip", expected, gids);
  }
  std::vector<uint8_t> raw;
  if (compression.empty()) {
    raw = std::move(packed);
  } else if (compression == "zstd") {
    if (!Unzstd(packed, wanted, raw)) return false;
  } else {
    return false;
  }
  if (raw.size() != wanted) return false;
  gids.resize(expected);
  if (wanted > 0) std::memcpy(gids.data(), raw.data(), wanted);
  FromLittleEndian(gids);
  return true;
}

// The number of up to seven digits at `at`, eight bytes of which can be
// read, with its length: 0 when the bytes start with no digit or with more
// than seven. No branch depends on the digits, whose count varies from cell
// to cell.
inline uint32_t ShortNumber(const char* at, int& length) {
  uint64_t bytes;
  std::memcpy(&bytes, at, sizeof bytes);
  if constexpr (std::endian::native != std::endian::little) bytes = __builtin_bswap64(bytes);
  const uint64_t values = bytes ^ 0x3030303030303030u;  // digits become 0..9
  // The top bit of each byte that is not a digit; the first is the end.
  const uint64_t others = ((values + 0x7676767676767676u) | values) & 0x8080808080808080u;
  length = std::countr_zero(others) / 8;
  if (length == 0 || length == 8) {
    length = 0;
    return 0;
  }
  // Digits moved to the top, zeros before them, then summed in pairs.
  uint64_t digits = values << (64 - 8 * length);
  digits = (digits * 2561) >> 8 & 0x00FF00FF00FF00FFu;
  digits = (digits * 6553601) >> 16 & 0x0000FFFF0000FFFFu;
  return static_cast<uint32_t>((digits * 42949672960001u) >> 32);
}

// A place in a list of numbers separated by commas and white space, read
// into `out`, at most `room` numbers.
class CsvCursor {
 public:
  CsvCursor(std::string_view text, uint32_t* out, size_t room)
      : at_(text.data()), end_(text.data() + text.size()), out_(out), room_(room) {
    SkipSpace();
  }
  bool More() const { return at_ != end_ && !failed_; }
  // The count read, or nothing when the text is not such a list.
  std::optional<size_t> Count() const {
    return failed_ ? std::nullopt : std::optional<size_t>(count_);
  }

  // One number and the separator after it.
  void Step() {
    if (count_ == room_) {
      failed_ = true;
      return;
    }
    int length = 0;
    uint32_t number = end_ - at_ >= 8 ? ShortNumber(at_, length) : 0;
    if (length > 0) {
      at_ += length;
    } else if (!LongNumber(number)) {
      failed_ = true;
      return;
    }
    out_[count_++] = number;
    if (at_ != end_ && *at_ == ',') {
      ++at_;
      if (at_ == end_ || !IsSpace(*at_)) return;
    } else {
      SkipSpace();
      if (at_ != end_ && *at_ == ',') ++at_;
    }
    SkipSpace();
  }

 private:
  void SkipSpace() {
    while (at_ != end_ && IsSpace(*at_)) ++at_;
  }
  bool LongNumber(uint32_t& number) {
    uint64_t value = 0;
    const char* start = at_;
    unsigned digit = 0;
    while (at_ != end_ && (digit = static_cast<unsigned char>(*at_) - unsigned{'0'}) < 10u) {
      value = value * 10 + digit;
      if (value > UINT32_MAX) return false;
      ++at_;
    }
    number = static_cast<uint32_t>(value);
    return at_ != start;
  }

  const char* at_;
  const char* const end_;
  uint32_t* const out_;
  const size_t room_;
  size_t count_ = 0;
  bool failed_ = false;
};

std::optional<size_t> ParseCsv(std::string_view text, uint32_t* out, size_t room) {
  CsvCursor cursor(text, out, room);
  while (cursor.More()) cursor.Step();
  return cursor.Count();
}

// A piece of `count` numbers, each followed by a comma but perhaps the last,
// read as two halves taken in turns: the two lists' steps do not wait on
// each other, so the processor overlaps them. False when the piece does
// not hold exactly `count` numbers.
bool ParseCsvPiece(std::string_view text, uint32_t* out, size_t count) {
  const size_t middle = text.find(',', text.size() / 2);
  const std::string_view first =
      middle == std::string_view::npos ? text : text.substr(0, middle + 1);
  const std::string_view second = text.substr(first.size());
  const size_t firstCount =
      std::min<size_t>(count, static_cast<size_t>(std::count(first.begin(), first.end(), ',')));
  CsvCursor a(first, out, firstCount);
  CsvCursor b(second, out + firstCount, count - firstCount);
  while (a.More() && b.More()) {
    a.Step();
    b.Step();
  }
  while (a.More()) a.Step();
  while (b.More()) b.Step();
  return a.Count() == firstCount && b.Count() == count - firstCount;
}

// Where a CSV text is cut for its pieces: just after a comma, so that each
// piece is a list of its own.
std::vector<std::string_view> CsvPieces(std::string_view text) {
  std::vector<std::string_view> pieces;
  const size_t wanted = std::max<size_t>(1, text.size() / CsvPieceBytes);
  size_t from = 0;
  for (size_t k = 1; k < wanted; ++k) {
    const size_t comma = text.find(',', std::max(from, text.size() / wanted * k));
    if (comma == std::string_view::npos) break;
    pieces.push_back(text.substr(from, comma + 1 - from));
    from = comma + 1;
  }
  pieces.push_back(text.substr(from));
  return pieces;
}

}  // namespace

EngineRefusal Refuse(EngineRefusalCode code, std::string detail) {
  EngineRefusal refusal;
  refusal.code = code;
  refusal.detail = std::move(detail);
  return refusal;
}

bool DecodeLayerData(std::string_view data, std::string_view encoding, std::string_view compression,
                     size_t expected, GidList& gids) {
  std::vector<LayerDataJob> jobs(1);
  jobs[0] = {data, encoding, compression, expected, &gids, {}};
  return DecodeLayerDataJobs(jobs, 1);
}

bool DecodeLayerDataJobs(std::vector<LayerDataJob>& jobs, size_t threads) {
  // Long CSV texts are cut in pieces. Where every number but the text's
  // last is followed by a comma, as writers put them, a piece's commas
  // tell how many it holds, hence where in the gids its numbers go.
  struct Piece {
    size_t job = 0;
    std::string_view text;
    size_t first = 0, count = 0;
  };
  std::vector<Piece> pieces;
  std::vector<size_t> whole;  // jobs decoded by one task
  for (size_t j = 0; j < jobs.size(); ++j) {
    const LayerDataJob& job = jobs[j];
    if (job.decode || job.encoding != "csv") {
      whole.push_back(j);
      continue;
    }
    if (!job.compression.empty()) return false;
    // Each number takes a digit and a separator but the last: a claim the
    // text cannot hold is refused before anything is made for it.
    if (job.expected > job.data.size() / 2 + 1) return false;
    for (const std::string_view text : CsvPieces(job.data)) pieces.push_back({j, text, 0, 0});
  }
  const auto run = [&](size_t count, const std::function<void(size_t)>& task) {
    RunInParallel(count, task, threads == 0 ? ProcessorsUpTo(count) : threads);
  };
  run(pieces.size(), [&](size_t i) {
    Piece& piece = pieces[i];
    piece.count = static_cast<size_t>(std::count(piece.text.begin(), piece.text.end(), ','));
    const bool last = i + 1 == pieces.size() || pieces[i + 1].job != piece.job;
    const size_t tail = piece.text.rfind(',');
    const std::string_view after =
        tail == std::string_view::npos ? piece.text : piece.text.substr(tail + 1);
    if (last && after.find_first_not_of(" \t\r\n") != std::string_view::npos) ++piece.count;
  });
  std::vector<uint8_t> byPieces(jobs.size(), 0);
  for (size_t i = 0, next = 0; i < pieces.size(); ++i) {
    if (i == 0 || pieces[i - 1].job != pieces[i].job) next = 0;
    pieces[i].first = next;
    next += pieces[i].count;
    const bool last = i + 1 == pieces.size() || pieces[i + 1].job != pieces[i].job;
    if (last && next == jobs[pieces[i].job].expected) byPieces[pieces[i].job] = 1;
  }
  for (size_t j = 0; j < jobs.size(); ++j) {
    if (jobs[j].decode || jobs[j].encoding != "csv") continue;
    jobs[j].gids->resize(jobs[j].expected);
    if (byPieces[j] == 0) whole.push_back(j);
  }
  std::erase_if(pieces, [&](const Piece& piece) { return byPieces[piece.job] == 0; });
  // The whole jobs first: they are the long ones.
  std::vector<uint8_t> ok(whole.size() + pieces.size(), 0);
  run(ok.size(), [&](size_t i) {
    if (i < whole.size()) {
      LayerDataJob& job = jobs[whole[i]];
      if (job.decode) {
        ok[i] = job.decode(*job.gids);
      } else if (job.encoding == "base64") {
        ok[i] = DecodeBase64Data(job.data, job.compression, job.expected, *job.gids);
      } else if (job.encoding == "csv") {
        ok[i] = ParseCsv(job.data, job.gids->data(), job.expected) == job.expected;
      }
      return;
    }
    const Piece& piece = pieces[i - whole.size()];
    ok[i] = ParseCsvPiece(piece.text, jobs[piece.job].gids->data() + piece.first, piece.count);
  });
  if (std::find(ok.begin(), ok.end(), 0) == ok.end()) return true;
  // A list whose commas misled: read whole, the slow way.
  for (size_t i = whole.size(); i < ok.size(); ++i) {
    LayerDataJob& job = jobs[pieces[i - whole.size()].job];
    if (ok[i] == 0 && ParseCsv(job.data, job.gids->data(), job.expected) != job.expected) {
      return false;
    }
  }
  for (size_t i = 0; i < whole.size(); ++i) {
    if (ok[i] == 0) return false;
  }
  return true;
}

EngineMapKind DetectEngineMap(std::span<const uint8_t> bytes) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  size_t i = 0;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") i = 3;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i >= text.size()) return EngineMapKind::None;
  if (text[i] == '<') {
    // The first element that is not a declaration, comment or doctype.
    while (i < text.size()) {
      const size_t open = text.find('<', i);
      if (open == std::string_view::npos || open + 1 >= text.size()) return EngineMapKind::None;
      const char next = text[open + 1];
      if (next == '?' || next == '!') {
        const std::string_view end = text.substr(open, 4) == "<!--" ? "-->" : ">";
        const size_t close = text.find(end, open + 2);
        if (close == std::string_view::npos) return EngineMapKind::None;
        i = close + end.size();
        continue;
      }
      const std::string_view name = text.substr(open + 1, 4);
      return name.size() == 4 && name.substr(0, 3) == "map" &&
                     (std::isspace(static_cast<unsigned char>(name[3])) || name[3] == '>' ||
                      name[3] == '/')
                 ? EngineMapKind::Tmx
                 : EngineMapKind::None;
    }
    return EngineMapKind::None;
  }
  if (text[i] != '{') return EngineMapKind::None;
  // Our own and the peer's writers put "type" near the start, but any
  // position counts: look for the key at the object's top level.
  int depth = 0;
  bool inString = false;
  size_t stringStart = 0;
  std::string_view lastKey;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        inString = false;
        const std::string_view value = text.substr(stringStart, i - stringStart);
        size_t j = i + 1;
        while (j < text.size() && std::isspace(static_cast<unsigned char>(text[j]))) ++j;
        if (j < text.size() && text[j] == ':') {
          lastKey = depth == 1 ? value : std::string_view{};
        } else if (depth == 1 && lastKey == "type") {
          return value == "map" ? EngineMapKind::Tmj : EngineMapKind::None;
        }
      }
      continue;
    }
    if (c == '"') {
      inString = true;
      stringStart = i + 1;
    } else if (c == '{' || c == '[') {
      ++depth;
    } else if (c == '}' || c == ']') {
      if (--depth <= 0) break;
    }
  }
  return EngineMapKind::None;
}

EngineRefusal CheckMapHeader(std::string_view orientation, int64_t tileWidth, int64_t tileHeight) {
  if (orientation != "orthogonal") {
    return Refuse(EngineRefusalCode::NotOrthogonal, std::string(orientation));
  }
  if (tileWidth != ChipSize || tileHeight != ChipSize) {
    return Refuse(EngineRefusalCode::TileSize,
                  std::to_string(tileWidth) + " x " + std::to_string(tileHeight));
  }
  return {};
}

bool FitsChunk(int64_t x, int64_t y, int64_t width, int64_t height) {
  constexpr int64_t Far = int64_t{1} << 30;
  return width >= 0 && height >= 0 && width <= MaxMapSide && height <= MaxMapSide && x > -Far &&
         x < Far && y > -Far && y < Far;
}

std::string FolderOf(const std::string& path) {
  return std::filesystem::path(path).parent_path().string();
}

std::string ResolveAgainst(const std::string& folder, const std::string& name) {
  const std::filesystem::path relative(name);
  if (relative.is_absolute() || folder.empty()) return relative.lexically_normal().string();
  return (std::filesystem::path(folder) / relative).lexically_normal().string();
}

}  // namespace kelvor
