#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "documents/GeneralParameters.h"

class ProjectLock;
class XmlDocument;

// Update Device's first step, shared by the windows and the command line:
// builds the project's image from its pargen.xml (read through document) and
// writes bin/bank.bin. The caller proves it holds the project's lock. Returns
// the image's bytes; truncations, when given, receives a line for each value
// that did not fit its field. Raises the builder's or writer's error, and
// then writes nothing.
std::string writeProjectImage(const ProjectLock& lock, const std::string& projectFolder,
                              XmlDocument& document,
                              std::vector<std::string>* truncations = nullptr);

// The project's general parameters, its pargen.xml loaded into document
// when it has one (the defaults when it has none). Raises the document's
// error.
GeneralParameters readProjectParameters(XmlDocument& document, const std::string& projectFolder);

// The image that the project's pargen.xml, already loaded into document,
// gives, when bin/bank.bin holds exactly it; nothing when it does not, or when
// no image can be built. Writes nothing, so it needs no lock: a project that
// another writer changes meanwhile either still matched when read, or no
// longer matches.
std::optional<std::string> imageAlreadyWritten(XmlDocument& document,
                                               const std::string& projectFolder);

// The bytes the last build left in the image buffer.
std::string builtImageBytes();

// The image buffer is one for the process: whoever builds an image and reads
// it back holds this, so that two stations in one process never mix theirs.
std::unique_lock<std::mutex> lockImageBuffer();
