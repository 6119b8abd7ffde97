#include "pack/pe_image.h"

#include <algorithm>

#include "pack/bytes.h"

namespace {

constexpr std::size_t ResourceDirectory = 2;
constexpr std::size_t CertificateDirectory = 4;
constexpr std::size_t RelocationDirectory = 5;
constexpr std::uint32_t SubdirectoryBit = 0x80000000u;

std::uint32_t AlignUp(std::uint32_t value, std::uint32_t alignment) {
    return (value + alignment - 1) & ~(alignment - 1);
}

bool PowerOfTwo(std::uint32_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}

bool Fail(std::string& error, const char* why) {
    error = why;
    return false;
}

// Reads the resource directory tree of a section's bytes, three levels
// deep (type, name, language), into resources. The levels bound the
// recursion, so a directory pointing at itself can't loop.
class ResourceReader {
public:
    ResourceReader(const std::string& section, std::uint32_t base, std::vector<Resource>& resources)
        : section_(section), base_(base), resources_(resources) {}

    bool Read(std::size_t at, int level, Resource& path) {
        if (!Has(section_, at, 16)) return false;
        const std::size_t count = Get16(section_, at + 12) + std::size_t{Get16(section_, at + 14)};
        if (!Has(section_, at + 16, count * 8)) return false;
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t entry = at + 16 + i * 8;
            ResourceId& id = level == 0 ? path.type : level == 1 ? path.name : path.language;
            if (!ReadId(Get32(section_, entry), id)) return false;
            const std::uint32_t target = Get32(section_, entry + 4);
            const bool deeper = (target & SubdirectoryBit) != 0;
            if (deeper != (level < 2)) return false;
            if (deeper ? !Read(target & ~SubdirectoryBit, level + 1, path)
                       : !ReadData(target, path))
                return false;
        }
        return true;
    }

private:
    bool ReadId(std::uint32_t field, ResourceId& id) {
        id = ResourceId();
        if (!(field & SubdirectoryBit)) {
            id.id = static_cast<std::uint16_t>(field);
            return true;
        }
        const std::size_t at = field & ~SubdirectoryBit;
        if (!Has(section_, at, 2)) return false;
        const std::size_t length = Get16(section_, at);
        if (length == 0 || !Has(section_, at + 2, length * 2)) return false;
        for (std::size_t i = 0; i < length; ++i)
            id.name.push_back(static_cast<wchar_t>(Get16(section_, at + 2 + i * 2)));
        return true;
    }

    bool ReadData(std::size_t at, const Resource& path) {
        if (!Has(section_, at, 16)) return false;
        const std::uint32_t address = Get32(section_, at);
        const std::uint32_t size = Get32(section_, at + 4);
        // The data lies in the resource section too, as every linker puts it.
        if (address < base_ || !Has(section_, address - base_, size)) return false;
        Resource resource = path;
        resource.codePage = Get32(section_, at + 8);
        resource.data = section_.substr(address - base_, size);
        resources_.push_back(std::move(resource));
        return true;
    }

    const std::string& section_;
    std::uint32_t base_;
    std::vector<Resource>& resources_;
};

}  // namespace

bool operator==(const ResourceId& a, const ResourceId& b) {
    return a.name == b.name && a.id == b.id;
}

bool operator<(const ResourceId& a, const ResourceId& b) {
    if (a.name.empty() != b.name.empty()) return !a.name.empty();
    return a.name.empty() ? a.id < b.id : a.name < b.name;
}

bool PeImage::Load(std::string bytes, std::string& error) {
    bytes_ = std::move(bytes);
    resources.clear();
    sections_.clear();
    const std::string& b = bytes_;
    if (!Has(b, 0, 64) || b.compare(0, 2, "MZ") != 0)
        return Fail(error, "not a Windows executable (no MZ header)");
    const std::size_t pe = Get32(b, 0x3C);
    if (!Has(b, pe, 24) || b.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
        return Fail(error, "not a Windows executable (no PE header)");
    const std::size_t sectionCount = Get16(b, pe + 6);
    const std::size_t optionalSize = Get16(b, pe + 20);
    optionalHeader_ = pe + 24;
    if (!Has(b, optionalHeader_, optionalSize) || optionalSize < 2)
        return Fail(error, "the PE header is cut short");
    const std::uint16_t magic = Get16(b, optionalHeader_);
    if (magic != 0x10B && magic != 0x20B) return Fail(error, "an unknown kind of PE image");
    directories_ = optionalHeader_ + (magic == 0x20B ? 112 : 96);
    const std::size_t directoryCount = Get32(b, directories_ - 4);
    if (directoryCount <= RelocationDirectory || directoryCount > 16 ||
        directories_ + directoryCount * 8 > optionalHeader_ + optionalSize)
        return Fail(error, "the PE header has too few data directories");
    sectionAlignment_ = Get32(b, optionalHeader_ + 32);
    fileAlignment_ = Get32(b, optionalHeader_ + 36);
    if (!PowerOfTwo(sectionAlignment_) || !PowerOfTwo(fileAlignment_) ||
        fileAlignment_ > sectionAlignment_)
        return Fail(error, "the PE header's alignments are invalid");

    const std::size_t table = optionalHeader_ + optionalSize;
    if (sectionCount == 0 || !Has(b, table, sectionCount * 40))
        return Fail(error, "the section table is cut short");
    for (std::size_t i = 0; i < sectionCount; ++i) {
        const std::size_t at = table + i * 40;
        Section section{at, Get32(b, at + 8), Get32(b, at + 12), Get32(b, at + 16),
                        Get32(b, at + 20)};
        if (section.rawSize && !Has(b, section.rawPointer, section.rawSize))
            return Fail(error, "a section lies past the end of the file");
        if (!sections_.empty() && section.virtualAddress <= sections_.back().virtualAddress)
            return Fail(error, "the sections are not in address order");
        if (section.rawSize)
            imageEnd_ = std::max<std::size_t>(imageEnd_, section.rawPointer + section.rawSize);
        sections_.push_back(section);
    }
    const auto directory = [&](std::size_t index) { return Get32(b, directories_ + index * 8); };
    const auto directorySize = [&](std::size_t index) {
        return Get32(b, directories_ + index * 8 + 4);
    };

    const std::uint32_t resourceAddress = directory(ResourceDirectory);
    const auto found = std::find_if(sections_.begin(), sections_.end(), [&](const Section& s) {
        return s.virtualAddress == resourceAddress;
    });
    if (resourceAddress == 0 || found == sections_.end())
        return Fail(error, "the executable has no resource section");
    resourceSection_ = static_cast<std::size_t>(found - sections_.begin());
    const Section& resource = *found;

    // What follows the resources moves when they grow: only the base
    // relocations may, which nothing but their directory points at, and
    // which must not name addresses in what moves.
    const std::uint32_t relocations = directory(RelocationDirectory);
    for (std::size_t i = resourceSection_ + 1; i < sections_.size(); ++i)
        if (sections_[i].virtualAddress != relocations || i != sections_.size() - 1)
            return Fail(error, "a section other than the relocations follows the resources");
    for (std::size_t i = 0; i < directoryCount; ++i) {
        if (i == ResourceDirectory || i == CertificateDirectory || i == RelocationDirectory)
            continue;
        if (directory(i) >= resource.virtualAddress)
            return Fail(error, "a data directory points into the resources or past them");
    }
    for (std::size_t i = 0; i < resourceSection_; ++i)
        if (sections_[i].rawSize &&
            sections_[i].rawPointer + sections_[i].rawSize > resource.rawPointer)
            return Fail(error, "a section's data lies after the resources in the file");
    if (resourceSection_ + 1 < sections_.size()) {
        const Section& moved = sections_.back();
        if (moved.rawPointer < resource.rawPointer + resource.rawSize)
            return Fail(error, "the relocations lie before the resources in the file");
        const std::size_t end =
            moved.rawPointer + std::min(directorySize(RelocationDirectory), moved.rawSize);
        for (std::size_t at = moved.rawPointer; at + 8 <= end;) {
            const std::uint32_t blockSize = Get32(b, at + 4);
            if (Get32(b, at) >= resource.virtualAddress)
                return Fail(error, "relocations name addresses in the resources");
            if (blockSize < 8) break;
            at += blockSize;
        }
    }

    // Past the sections there may be a signature and its padding, nothing
    // else a rewrite could lose (an unstripped symbol table, say).
    const std::uint32_t certificate = directory(CertificateDirectory);
    certificateSize_ = directorySize(CertificateDirectory);
    if (certificateSize_ && (certificate < imageEnd_ || !Has(b, certificate, certificateSize_)))
        return Fail(error, "the certificate table lies outside the file's end");
    for (std::size_t at = imageEnd_; at < b.size(); ++at)
        if (b[at] != 0 &&
            !(certificateSize_ && at >= certificate && at - certificate < certificateSize_))
            return Fail(error, "data follows the sections (a symbol table?): strip the executable");

    const std::string section = b.substr(resource.rawPointer, resource.rawSize);
    Resource path;
    if (!ResourceReader(section, resource.virtualAddress, resources).Read(0, 0, path))
        return Fail(error, "the resource section is damaged");
    return true;
}

std::string PeImage::Write() const {
    const Section& resource = sections_[resourceSection_];
    std::string out = bytes_.substr(0, resource.rawPointer);
    std::string section = ResourceSection(resources, resource.virtualAddress);
    const auto size = static_cast<std::uint32_t>(section.size());
    const std::uint32_t rawSize = AlignUp(size, fileAlignment_);
    section.resize(rawSize, '\0');
    out += section;
    Put32(out, resource.header + 8, size);
    Put32(out, resource.header + 16, rawSize);
    Put32(out, directories_ + ResourceDirectory * 8 + 4, size);
    Put32(out, optionalHeader_ + 8,
          Get32(out, optionalHeader_ + 8) + rawSize - resource.rawSize);  // SizeOfInitializedData

    std::uint32_t end = resource.virtualAddress + size;
    for (std::size_t i = resourceSection_ + 1; i < sections_.size(); ++i) {
        const Section& moved = sections_[i];
        const std::uint32_t address = AlignUp(end, sectionAlignment_);
        Put32(out, moved.header + 12, address);
        Put32(out, moved.header + 20, static_cast<std::uint32_t>(out.size()));
        Put32(out, directories_ + RelocationDirectory * 8, address);
        out += bytes_.substr(moved.rawPointer, moved.rawSize);
        end = address + std::max(moved.virtualSize, moved.rawSize);
    }
    Put32(out, optionalHeader_ + 56, AlignUp(end, sectionAlignment_));  // SizeOfImage
    Put32(out, directories_ + CertificateDirectory * 8, 0);
    Put32(out, directories_ + CertificateDirectory * 8 + 4, 0);
    Put32(out, optionalHeader_ + 64, ImageChecksum(out, optionalHeader_ + 64));
    return out;
}

std::uint32_t ImageChecksum(const std::string& image, std::size_t checksumOffset) {
    const auto byte = [&](std::size_t at) -> std::uint32_t {
        if (at >= image.size() || (at >= checksumOffset && at - checksumOffset < 4)) return 0;
        return static_cast<unsigned char>(image[at]);
    };
    std::uint32_t sum = 0;
    for (std::size_t at = 0; at < image.size(); at += 2) {
        sum += byte(at) | byte(at + 1) << 8;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return sum + static_cast<std::uint32_t>(image.size());
}

std::string ResourceSection(std::vector<Resource> resources, std::uint32_t base) {
    std::sort(resources.begin(), resources.end(), [](const Resource& a, const Resource& b) {
        if (!(a.type == b.type)) return a.type < b.type;
        if (!(a.name == b.name)) return a.name < b.name;
        return a.language < b.language;
    });
    // The tree: a directory of types, one of names per type, one of
    // languages per name, each a run of the sorted resources.
    struct Run {
        std::size_t first, end, at;  // the resources and the directory's offset
    };
    std::vector<Run> types, names;
    for (std::size_t i = 0; i < resources.size(); ++i) {
        if (i == 0 || !(resources[i].type == resources[i - 1].type)) types.push_back({i, i, 0});
        if (types.back().first == i || !(resources[i].name == resources[i - 1].name))
            names.push_back({i, i, 0});
        types.back().end = names.back().end = i + 1;
    }
    const auto inside = [](const Run& name, const Run& type) {
        return name.first >= type.first && name.end <= type.end;
    };
    std::size_t at = 16 + 8 * types.size();
    for (Run& type : types) {
        type.at = at;
        at += 16;
        for (const Run& name : names) at += 8 * inside(name, type);
    }
    for (Run& name : names) name.at = at, at += 16 + 8 * (name.end - name.first);
    const std::size_t dataEntries = at;
    at += 16 * resources.size();
    std::size_t strings = at;
    for (const Resource& r : resources)
        for (const ResourceId* id : {&r.type, &r.name, &r.language})
            if (!id->name.empty()) at += 2 + 2 * id->name.size();
    std::vector<std::size_t> data;
    for (const Resource& r : resources) {
        at = AlignUp(static_cast<std::uint32_t>(at), 8);
        data.push_back(at);
        at += r.data.size();
    }
    std::string out(at, '\0');

    const auto writeId = [&](std::size_t entry, const ResourceId& id) {
        if (id.name.empty()) return Put32(out, entry, id.id);
        Put32(out, entry, SubdirectoryBit | static_cast<std::uint32_t>(strings));
        Put16(out, strings, static_cast<std::uint32_t>(id.name.size()));
        for (std::size_t i = 0; i < id.name.size(); ++i)
            Put16(out, strings + 2 + 2 * i, static_cast<std::uint16_t>(id.name[i]));
        strings += 2 + 2 * id.name.size();
    };
    // A directory at offset holding entries for ids, each pointing at target(i).
    const auto writeDirectory = [&](std::size_t offset, const std::vector<const ResourceId*>& ids,
                                    const std::vector<std::uint32_t>& targets) {
        std::size_t named = 0;
        for (const ResourceId* id : ids) named += !id->name.empty();
        Put16(out, offset + 12, static_cast<std::uint32_t>(named));
        Put16(out, offset + 14, static_cast<std::uint32_t>(ids.size() - named));
        for (std::size_t i = 0; i < ids.size(); ++i) {
            writeId(offset + 16 + 8 * i, *ids[i]);
            Put32(out, offset + 20 + 8 * i, targets[i]);
        }
    };
    std::vector<const ResourceId*> ids;
    std::vector<std::uint32_t> targets;
    for (const Run& type : types) {
        ids.push_back(&resources[type.first].type);
        targets.push_back(SubdirectoryBit | static_cast<std::uint32_t>(type.at));
    }
    writeDirectory(0, ids, targets);
    for (const Run& type : types) {
        ids.clear();
        targets.clear();
        for (const Run& name : names)
            if (inside(name, type)) {
                ids.push_back(&resources[name.first].name);
                targets.push_back(SubdirectoryBit | static_cast<std::uint32_t>(name.at));
            }
        writeDirectory(type.at, ids, targets);
    }
    for (const Run& name : names) {
        ids.clear();
        targets.clear();
        for (std::size_t i = name.first; i < name.end; ++i) {
            ids.push_back(&resources[i].language);
            targets.push_back(static_cast<std::uint32_t>(dataEntries + 16 * i));
        }
        writeDirectory(name.at, ids, targets);
    }
    for (std::size_t i = 0; i < resources.size(); ++i) {
        const std::size_t entry = dataEntries + 16 * i;
        Put32(out, entry, base + static_cast<std::uint32_t>(data[i]));
        Put32(out, entry + 4, static_cast<std::uint32_t>(resources[i].data.size()));
        Put32(out, entry + 8, resources[i].codePage);
        out.replace(data[i], resources[i].data.size(), resources[i].data);
    }
    return out;
}
