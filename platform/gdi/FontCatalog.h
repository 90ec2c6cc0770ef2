// The faces the font engine can use: the outline faces fontconfig lists, the
// Type1 faces of the TeX installation, and the files added for this process.
// Faces are found by family or by PostScript name, without regard to ASCII
// case; a name that is not valid UTF-8 is read as code page 949.
// Every call needs FontLibrary::Mutex().
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/WinTypes.h"

struct FaceRecord {
    std::string file;
    int index = 0;
    std::vector<std::string> families;  // as the font spells them; the first is its main family
    std::string postscript;
    int weight = 400;   // 100..900
    bool italic = false;
    int width = 100;    // 100 = normal, 87 = condensed ...
    bool fixedPitch = false;
    bool korean = false;
    bool type1 = false;
};

class FontCatalog {
public:
    static FontCatalog& Instance();

    struct Match {
        const FaceRecord* face = nullptr;
        std::string name;  // the family or PostScript name that matched, as the font spells it
    };
    // Faces named `name`, best first for the weight and slant asked for. A
    // PostScript name selects that face alone.
    std::vector<Match> Find(std::string_view name, int weight, bool italic);
    // One face per family (its most regular one), ordered by family name.
    std::vector<Match> Families();
    // The face fontconfig chooses for a name that is not installed: its
    // substitutes, else the default face. Empty when there are no fonts at all.
    std::optional<FaceRecord> Fallback(std::string_view name, int weight, bool italic, BYTE charSet);

    // Faces of a file for this process; the number added (0 when the file
    // holds no usable face). Adding a file again adds nothing new.
    int AddFile(const char* path);
    bool RemoveFile(const char* path);
    // Changes whenever AddFile or RemoveFile changes the set.
    uint64_t Generation() const { return generation_; }

    // UTF-8 as it stands, anything else converted from code page 949.
    static std::string FaceNameToUtf8(std::string_view name);

private:
    FontCatalog() = default;
    void Load();
    template <class F> void ForEachFace(F&& f);

    bool loaded_ = false;
    std::vector<FaceRecord> installed_;
    struct AddedFile {
        std::string path, realPath;
        std::vector<FaceRecord> faces;
    };
    std::vector<AddedFile> added_;
    uint64_t generation_ = 0;
};
