// The running program's version data: compiled into each program (see
// hx_version_block in cmake/HxVersion.cmake) in the layout of a version block,
// and decoded into TVersionInfo for the About texts, the stored
// "CurrentVersion" and the update check.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Version block flags.
inline constexpr uint32_t VS_FF_DEBUG = 0x01;
inline constexpr uint32_t VS_FF_PRERELEASE = 0x02;
inline constexpr uint32_t VS_FF_PATCHED = 0x04;
inline constexpr uint32_t VS_FF_PRIVATEBUILD = 0x08;
inline constexpr uint32_t VS_FF_INFOINFERRED = 0x10;
inline constexpr uint32_t VS_FF_SPECIALBUILD = 0x20;
inline constexpr uint32_t VS_FFI_FILEFLAGSMASK = 0x3F;

struct THXVersionString {
    const char* Key;
    const char* Value;
};

struct THXVersionBlock {
    // Major << 16 | Minor, and Release << 16 | Build.
    uint32_t FileVersionMS;
    uint32_t FileVersionLS;
    uint32_t ProductVersionMS;
    uint32_t ProductVersionLS;
    uint32_t FileFlagsMask;
    uint32_t FileFlags;
    const THXVersionString* Strings; // U.S. English string table
    std::size_t StringCount;
};

// The block compiled into this program; nullptr when it has none.
void SetProgramVersionBlock(const THXVersionBlock* block);
const THXVersionBlock* ProgramVersionBlock();

// Placed at namespace scope in the generated source of a program.
struct THXVersionBlockRegistrar {
    explicit THXVersionBlockRegistrar(const THXVersionBlock* block) {
        SetProgramVersionBlock(block);
    }
};

class TVersionInfo {
public:
    std::string ProductVersion;
    std::string ProductDescription;
    std::string FileVersion;
    std::string FileDescription;
    std::string LegalCopyright;
    std::string FlagsText;
    std::string InternalName;
    int32_t Major = 0;
    int32_t Minor = 0;
    int32_t Release = 0;
    int32_t Build = 0;

    // Fills the fields from the program's own version block.
    void ReadVersionInfo();
};

// Fills info from a block. Without a block only FlagsText changes (it is
// cleared); a string the block lacks leaves its field empty.
void DecodeVersionBlock(const THXVersionBlock* block, TVersionInfo& info);
