#pragma once

#include <string>

#include "files/document_staging.h"

namespace kelvor {
class ImageDecoder;
}

namespace kelvor::cli {

// A document file as the readers see it, without any open document: which
// form took it, or why neither did.
struct ProbedDocument {
  bool ok = false;
  std::string form;    // "binary" or "text"
  std::string reason;  // one line when !ok
  StagedDocument document;
};

// Tries the text form first and the binary form second, as opening does.
ProbedDocument ProbeDocument(const std::string& path);

// A TMX or TMJ map as opening would make it a document ("tmx" or "tmj"),
// its chips looked up in `chipFolder`; nothing is copied or changed.
// `imagesToCopy` counts the tileset images an open would copy there.
ProbedDocument ProbeEngineMap(const std::string& path, const std::string& chipFolder,
                              ImageDecoder& decoder, size_t& imagesToCopy);

}  // namespace kelvor::cli
