#include "ExportList.h"

namespace {
// True when the address lies in a section that holds code.
bool inCodeSection(const IMAGE_NT_HEADERS* nt, DWORD address)
{
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        const DWORD size = section->Misc.VirtualSize ? section->Misc.VirtualSize : section->SizeOfRawData;
        if (address >= section->VirtualAddress && address - section->VirtualAddress < size)
            return (section->Characteristics & IMAGE_SCN_MEM_EXECUTE) != 0;
    }
    return false;
}
}

std::vector<std::string> PlainExportNames(HMODULE module)
{
    std::vector<std::string> names;
    const BYTE* base = reinterpret_cast<const BYTE*>(module);
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (directory.VirtualAddress == 0)
        return names;
    const IMAGE_EXPORT_DIRECTORY* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
    const DWORD* nameTable = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    const WORD* ordinalTable = reinterpret_cast<const WORD*>(base + exports->AddressOfNameOrdinals);
    const DWORD* addressTable = reinterpret_cast<const DWORD*>(base + exports->AddressOfFunctions);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        const std::string name(reinterpret_cast<const char*>(base + nameTable[i]));
        if (name.compare(0, 2, "_Z") == 0 || name.find_first_of("@?") != std::string::npos)
            continue;
        const DWORD address = addressTable[ordinalTable[i]];
        // A forwarder's address points into the export directory itself.
        const bool forwarded =
            address >= directory.VirtualAddress && address - directory.VirtualAddress < directory.Size;
        if (forwarded || !inCodeSection(nt, address))
            continue;
        names.push_back(name);
    }
    return names;
}
