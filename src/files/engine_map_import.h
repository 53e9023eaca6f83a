#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "files/document_staging.h"
#include "files/engine_map_source.h"

namespace kelvor {

class ImageDecoder;
class Messages;
struct OpenRefresh;
struct Workspace;

// A tileset image that must lie in the chip-set folder before the map's
// chips can come from it.
struct ImageCopy {
  std::string from;  // the image beside the map
  std::string name;  // its name in the chip-set folder
};

// A map from another editor turned into a document, not yet applied, with
// the images it needs copied first.
struct EngineMapImport {
  StagedDocument document;
  std::vector<ImageCopy> copies;
  bool ignoredLayers = false;
};

// The mapping: the layers named "background" and "layer" (else the first
// and second tile layer) become the two levels, a layer of the flags set the
// cell flags; every tile used becomes a chip of its level, from the chip
// file its kelvorChip property names when that file is in the folder, else
// from its tileset's image. Nothing on disk is changed.
EngineRefusal BuildEngineMapImport(const EngineMapSource& map, const std::string& chipFolder,
                                   ImageDecoder& decoder, EngineMapImport& result);

// Reads a TMX or TMJ file with its external tilesets and maps it.
EngineRefusal ReadEngineMap(const std::string& path, const std::string& chipFolder,
                            ImageDecoder& decoder, EngineMapImport& result);

// Copies the images into the folder as one set: each under a temporary name
// first, renamed when all are written; a failure leaves none behind.
bool CopyImagesIntoFolder(const std::vector<ImageCopy>& copies, const std::string& chipFolder);

// Where the document of an opened map is saved: the map's path with the
// extension ".kv", so that saving never touches the map.
std::string EngineMapDocumentPath(const std::string& mapPath);

// Opens a TMX or TMJ map as a new document: a refusal is shown and changes
// nothing; images to copy are copied after one question (No: nothing
// opened); then the document is committed as a read document is, its path
// the map's with ".kv", and left marked as changed since no document file
// holds it yet. With `askCopy` false the copy is made without a question.
bool OpenEngineMap(Workspace& workspace, const std::string& path, ImageDecoder& decoder,
                   Messages& messages, OpenRefresh& refresh, bool askCopy = true);

// The one way files are opened: maps from other editors by their content,
// everything else as a document (OpenDocument).
bool OpenMapFile(Workspace& workspace, const std::string& path, ImageDecoder& decoder,
                 Messages& messages, OpenRefresh& refresh, bool askCopy = true);

// Whether the file's content is a TMX or TMJ map, and which.
EngineMapKind EngineMapKindOf(const std::string& path);

// The message of a refusal, with "%s" where the detail goes.
std::string_view EngineRefusalText(EngineRefusalCode code);
// One line for the command-line tool.
std::string EngineRefusalReason(const EngineRefusal& refusal);

}  // namespace kelvor
