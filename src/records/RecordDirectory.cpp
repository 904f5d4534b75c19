#include "RecordDirectory.h"

#include <system_error>

namespace fs = std::filesystem;

void RecordDirectory::Prepare() const {
    std::error_code error;
    fs::create_directory(path, error);
    if (fs::is_directory(path, error))
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::replace, error);
}

void RecordDirectory::RemoveRecordFiles() const {
    std::error_code error;
    fs::directory_iterator entries(path, error);
    if (error)
        return;
    for (const fs::directory_entry& entry : entries) {
        std::error_code entryError;
        if (!entry.is_directory(entryError))
            fs::remove(entry.path(), entryError);
    }
}
