#include "timemodel/VersionInfo.h"

#include <cstring>

namespace {

const THXVersionBlock* gProgramBlock = nullptr;

std::string QueryString(const THXVersionBlock& block, const char* key) {
    for (std::size_t i = 0; i < block.StringCount; ++i) {
        const THXVersionString& s = block.Strings[i];
        if (s.Key != nullptr && std::strcmp(s.Key, key) == 0)
            return s.Value != nullptr ? s.Value : "";
    }
    return {};
}

} // namespace

void SetProgramVersionBlock(const THXVersionBlock* block) {
    gProgramBlock = block;
}
const THXVersionBlock* ProgramVersionBlock() {
    return gProgramBlock;
}

void DecodeVersionBlock(const THXVersionBlock* block, TVersionInfo& info) {
    info.FlagsText.clear();
    if (block == nullptr) return;

    info.Major = static_cast<int32_t>(block->FileVersionMS >> 16);
    info.Minor = static_cast<int32_t>(block->FileVersionMS & 0xFFFF);
    info.Release = static_cast<int32_t>(block->FileVersionLS >> 16);
    info.Build = static_cast<int32_t>(block->FileVersionLS & 0xFFFF);

    const uint32_t flags = block->FileFlags & block->FileFlagsMask;
    if (flags & VS_FF_DEBUG) info.FlagsText += "Debug info included";
    if (flags & VS_FF_PRERELEASE) info.FlagsText += "Pre-release (beta) version";
    if (flags & VS_FF_PRIVATEBUILD) info.FlagsText += "Private Build";
    if (flags & VS_FF_SPECIALBUILD) info.FlagsText += "Special Build";

    info.FileDescription = QueryString(*block, "FileDescription");
    info.FileVersion = QueryString(*block, "FileVersion");
    info.InternalName = QueryString(*block, "InternalName");
    info.LegalCopyright = QueryString(*block, "LegalCopyright");
    info.ProductDescription = QueryString(*block, "ProductDescription");
    info.ProductVersion = QueryString(*block, "ProductVersion");
}

void TVersionInfo::ReadVersionInfo() {
    DecodeVersionBlock(ProgramVersionBlock(), *this);
}
