#include "platform/archive.h"

namespace rw::platform {

std::wstring_view withoutArchiveExtension(std::wstring_view name) {
    for (const std::wstring& extension : archiveExtensions())
        if (name.size() > extension.size() && name.ends_with(extension))
            return name.substr(0, name.size() - extension.size());
    return name;
}

bool isArchiveName(std::wstring_view name) { return withoutArchiveExtension(name).size() != name.size(); }

}  // namespace rw::platform
