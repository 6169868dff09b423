#include "platform/archive.h"

namespace rw::platform {

bool isArchiveName(std::wstring_view name) {
    for (const std::wstring& extension : archiveExtensions())
        if (name.size() > extension.size() && name.substr(name.size() - extension.size()) == extension) return true;
    return false;
}

}  // namespace rw::platform
