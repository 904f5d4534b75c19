#include "MessageTexts.h"

namespace talvane::MessageTexts {

std::string ExportFailure(FileReplacement::Outcome outcome, const std::filesystem::path& path) {
    switch (outcome.fault) {
    case FileReplacement::Outcome::Fault::None:
        return {};
    case FileReplacement::Outcome::Fault::NotARegularFile:
        return ExportNotAFile + path.string();
    case FileReplacement::Outcome::Fault::Unwritable:
        return ExportWriteFailed + path.string();
    }
    return {};
}

} // namespace talvane::MessageTexts
