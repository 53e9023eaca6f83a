#include "files/engine_map_export.h"

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "document/display_settings.h"
#include "files/document_saving.h"
#include "files/engine_map_layer_data.h"
#include "platform/image_codec.h"
#include "platform/messages.h"

namespace kelvor {

namespace {

using engine_map_data::FlagTilesSide;
using engine_map_data::MapHasCells;

// The pictures of one map under temporary names beside their targets,
// renamed over them together; whatever was not renamed is removed when the
// set goes away.
class StagedPictures {
 public:
  StagedPictures() = default;
  ~StagedPictures() {
    for (const Staged& staged : staged_) {
      std::error_code ignored;
      std::filesystem::remove(staged.temporary, ignored);
    }
  }
  StagedPictures(const StagedPictures&) = delete;
  StagedPictures& operator=(const StagedPictures&) = delete;

  EngineMapStatus Write(const std::filesystem::path& target, const PixelBuffer& pixels,
                        ImageEncoder& encoder, Messages& messages) {
    // As for every save: a file the user may not write, or a folder in the
    // way, stays as it is.
    if (!MayReplace(target.string())) return EngineMapStatus::CannotCreate;
    std::error_code error;
    const std::filesystem::file_status existing = std::filesystem::status(target, error);
    const bool replacing = std::filesystem::exists(existing);
    std::string name = ".";
    name.append(target.filename().string()).append(".");
    name.append(std::to_string(::getpid())).append(".tmp.png");
    std::filesystem::path temporary = target;
    temporary.replace_filename(name);
    staged_.push_back({temporary, target});
    // PNG is straight alpha: engines would draw premultiplied colours darker.
    if (!encoder.Encode(temporary.string(), pixels, PixelAlpha::Premultiplied, messages)) {
      return EngineMapStatus::CannotWrite;
    }
    if (replacing) std::filesystem::permissions(temporary, existing.permissions(), error);
    return EngineMapStatus::Ok;
  }

  bool RenameAll() {
    while (!staged_.empty()) {
      std::error_code error;
      std::filesystem::rename(staged_.front().temporary, staged_.front().target, error);
      if (error) return false;
      staged_.erase(staged_.begin());
    }
    return true;
  }

 private:
  struct Staged {
    std::filesystem::path temporary;
    std::filesystem::path target;
  };
  std::vector<Staged> staged_;
};

}  // namespace


PixelBuffer ComposeFlagTiles(const CanvasFactory& makeCanvas) {
  PixelBuffer picture = PixelBuffer::Make(FlagTilesSide, FlagTilesSide);
  {
    std::unique_ptr<Canvas> canvas = makeCanvas ? makeCanvas(picture) : nullptr;
    if (!canvas) return PixelBuffer{};
    const Color color = DisplaySettings{}.mapAttrFrameColor;
    // Translucent, so that the chips beneath stay visible.
    constexpr uint32_t FillAlpha = 128;
    const auto premultiplied = [](uint8_t channel) {
      return static_cast<uint8_t>((channel * FillAlpha + 127) / 255);
    };
    PixelBuffer fill = PixelBuffer::Make(ChipSize, ChipSize);
    for (size_t i = 0; i < fill.pixels.size(); i += 4) {
      fill.pixels[i] = premultiplied(ColorBlue(color));
      fill.pixels[i + 1] = premultiplied(ColorGreen(color));
      fill.pixels[i + 2] = premultiplied(ColorRed(color));
      fill.pixels[i + 3] = static_cast<uint8_t>(FillAlpha);
    }
    // Walls as bars an eighth of a cell thick; the priority frame as the map
    // view draws cell frames at full size: two pixels in, pen two wide.
    constexpr int32_t Bar = ChipSize / 8;
    constexpr int32_t FrameInset = 2;
    constexpr int32_t FrameSide = ChipSize - 3;
    canvas->SetPen({2, color});
    for (uint32_t flags = 0; flags < static_cast<uint32_t>(FlagTileCount); ++flags) {
      const int32_t x = static_cast<int32_t>(flags % FlagTileColumns) * ChipSize;
      const int32_t y = static_cast<int32_t>(flags / FlagTileColumns) * ChipSize;
      if (flags & FlagTileCollision) {
        canvas->BlendImage(fill, {0, 0, ChipSize, ChipSize}, {x, y, ChipSize, ChipSize});
      }
      if (flags & FlagTileWallEast) canvas->FillRect({x + ChipSize - Bar, y, Bar, ChipSize}, color);
      if (flags & FlagTileWallSouth) {
        canvas->FillRect({x, y + ChipSize - Bar, ChipSize, Bar}, color);
      }
      if (flags & FlagTilePriority) {
        const CanvasPoint corner{x + FrameInset, y + FrameInset};
        canvas->Squares({&corner, 1}, FrameSide);
      }
    }
  }
  return picture;
}

EngineMapStatus WriteEngineMap(const std::string& path, const MapDocument& document,
                               EngineMapFormat format, EngineMapEncoding encoding,
                               ImageEncoder& encoder, const CanvasFactory& makeCanvas,
                               Messages& messages) {
  if (!MapHasCells(document.grid)) return EngineMapStatus::NoMap;
  const EngineMapImages names = EngineMapImageNames(path);
  // The three names differ only in their fixed endings.
  if (!FitsEngineMapText(names.background)) return EngineMapStatus::UnfitName;
  const PixelBuffer flagTiles = ComposeFlagTiles(makeCanvas);
  if (flagTiles.Empty()) return EngineMapStatus::CannotWrite;

  AtomicFile map;
  if (!map.Open(path)) return EngineMapStatus::CannotCreate;
  if (!SerializeEngineMap(map, document, format, encoding, names) || !map.Sync()) {
    return EngineMapStatus::CannotWrite;
  }

  // A table without an atlas has no chips to show: its picture is empty.
  const PixelBuffer blank = PixelBuffer::Make(AtlasSize, AtlasSize);
  const auto atlasOf = [&](ChipLevel level) -> const PixelBuffer& {
    const PixelBuffer& atlas = document.tables[level].atlas;
    return atlas.Empty() ? blank : atlas;
  };
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  StagedPictures pictures;
  const std::pair<const std::string&, const PixelBuffer&> all[] = {
      {names.background, atlasOf(LevelBackground)},
      {names.layer, atlasOf(LevelLayer)},
      {names.flags, flagTiles},
  };
  for (const auto& [name, pixels] : all) {
    const EngineMapStatus status = pictures.Write(folder / name, pixels, encoder, messages);
    if (status != EngineMapStatus::Ok) return status;
  }
  if (!pictures.RenameAll()) return EngineMapStatus::CannotWrite;
  return map.Commit() == FileWriteStatus::Ok ? EngineMapStatus::Ok : EngineMapStatus::CannotWrite;
}

bool ExportEngineMap(const std::string& path, const MapDocument& document, EngineMapFormat format,
                     ImageEncoder& encoder, const CanvasFactory& makeCanvas, Messages& messages) {
  EngineMapStatus status = EngineMapStatus::NoMap;
  {
    WaitCursorScope wait(messages);
    status = WriteEngineMap(path, document, format, EngineMapEncoding::Csv, encoder, makeCanvas,
                            messages);
  }
  switch (status) {
    case EngineMapStatus::Ok:
      return true;
    case EngineMapStatus::NoMap:
      return false;
    case EngineMapStatus::UnfitName:
    case EngineMapStatus::CannotCreate:
      return ReportWriteStatus(FileWriteStatus::CannotCreate, messages);
    case EngineMapStatus::CannotWrite:
      break;
  }
  return ReportWriteStatus(FileWriteStatus::CannotWrite, messages);
}

}  // namespace kelvor
