#include "pack/branding.h"

#include <algorithm>

#include "pack/bytes.h"

namespace {

const wchar_t* const IconGroupName = L"MAINICON";

bool Fail(std::string& error, const char* why) {
    error = why;
    return false;
}

std::uint32_t BigEndian32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

void Pad4(std::string& bytes) {
    bytes.append((4 - bytes.size() % 4) % 4, '\0');
}

// One node of a version resource: its length, its value's length (in
// bytes, or in characters for a text), whether the value is text, its key,
// its value and its children, each starting on a 32-bit boundary.
std::string VersionNode(const std::wstring& key, const std::string& value,
                        std::uint32_t valueLength, bool text,
                        const std::vector<std::string>& children = {}) {
    std::string node(6, '\0');
    for (const wchar_t unit : key) Append16(node, static_cast<std::uint16_t>(unit));
    Append16(node, 0);
    Pad4(node);
    node += value;
    for (const std::string& child : children) {
        Pad4(node);
        node += child;
    }
    Put16(node, 0, static_cast<std::uint32_t>(node.size()));
    Put16(node, 2, valueLength);
    Put16(node, 4, text ? 1 : 0);
    return node;
}

}  // namespace

bool ReadIconFile(const std::string& bytes, bool png, std::vector<IconImage>& images,
                  std::string& error) {
    images.clear();
    if (png) {
        // The signature, then the header chunk with the size, big-endian.
        if (!Has(bytes, 0, 24) || bytes.compare(0, 8, "\x89PNG\r\n\x1A\n") != 0 ||
            bytes.compare(12, 4, "IHDR") != 0)
            return Fail(error, "not a PNG image");
        const std::uint32_t width = BigEndian32(bytes, 16), height = BigEndian32(bytes, 20);
        if (width == 0 || height == 0) return Fail(error, "a PNG image without pixels");
        IconImage image;
        image.width = static_cast<std::uint8_t>(width >= 256 ? 0 : width);
        image.height = static_cast<std::uint8_t>(height >= 256 ? 0 : height);
        image.data = bytes;
        images.push_back(std::move(image));
        return true;
    }
    if (!Has(bytes, 0, 6) || Get16(bytes, 0) != 0 || Get16(bytes, 2) != 1 || Get16(bytes, 4) == 0)
        return Fail(error, "not an icon file");
    const std::size_t count = Get16(bytes, 4);
    if (!Has(bytes, 6, count * 16)) return Fail(error, "an icon file cut short");
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = 6 + i * 16;
        const std::uint32_t size = Get32(bytes, entry + 8), offset = Get32(bytes, entry + 12);
        if (size == 0 || !Has(bytes, offset, size)) return Fail(error, "an icon file cut short");
        IconImage image;
        image.width = static_cast<std::uint8_t>(bytes[entry]);
        image.height = static_cast<std::uint8_t>(bytes[entry + 1]);
        image.colors = static_cast<std::uint8_t>(bytes[entry + 2]);
        image.planes = Get16(bytes, entry + 4);
        image.bitCount = Get16(bytes, entry + 6);
        image.data = bytes.substr(offset, size);
        // Some tools leave these 0; Windows picks an icon's image by them.
        if (image.planes == 0) image.planes = 1;
        if (image.bitCount == 0)
            image.bitCount = image.data.compare(0, 4, "\x89PNG") == 0 ? 32
                             : Has(image.data, 14, 2)                 ? Get16(image.data, 14)
                                                                      : 0;
        images.push_back(std::move(image));
    }
    return true;
}

std::string VersionResource(const std::uint16_t (&version)[4],
                            const std::vector<std::pair<std::wstring, std::wstring>>& strings) {
    std::string fixed;
    const std::uint32_t high = static_cast<std::uint32_t>(version[0]) << 16 | version[1];
    const std::uint32_t low = static_cast<std::uint32_t>(version[2]) << 16 | version[3];
    for (const std::uint32_t field : {0xFEEF04BDu, 0x00010000u,  // signature, layout version
                                      high, low, high, low,      // file, product version
                                      0x3Fu, 0u,                 // flags: none of the known set
                                      0x00040004u, 1u, 0u,       // Windows NT, an application
                                      0u, 0u})                   // no date
        Append32(fixed, field);

    std::vector<std::string> texts;
    for (const auto& [key, text] : strings) {
        std::string value;
        for (const wchar_t unit : text) Append16(value, static_cast<std::uint16_t>(unit));
        Append16(value, 0);
        texts.push_back(VersionNode(key, value, static_cast<std::uint32_t>(text.size() + 1), true));
    }
    // US English in UTF-16: the table's key and the translation agree.
    std::string translation;
    Append16(translation, 0x0409);
    Append16(translation, 1200);
    return VersionNode(L"VS_VERSION_INFO", fixed, static_cast<std::uint32_t>(fixed.size()), false,
                       {VersionNode(L"StringFileInfo", {}, 0, true,
                                    {VersionNode(L"040904B0", {}, 0, true, texts)}),
                        VersionNode(L"VarFileInfo", {}, 0, true,
                                    {VersionNode(L"Translation", translation, 4, false)})});
}

bool Brand(PeImage& image, const Branding& branding, std::string& error) {
    std::vector<Resource>& resources = image.resources;
    const auto isType = [](const Resource& r, std::uint16_t type) {
        return r.type.name.empty() && r.type.id == type;
    };
    if (!branding.icon.empty()) {
        const auto group = std::find_if(resources.begin(), resources.end(), [&](const Resource& r) {
            return isType(r, IconGroupType) && r.name.name == IconGroupName;
        });
        if (group == resources.end() || !Has(group->data, 0, 6))
            return Fail(error, "the executable has no icon group MAINICON");
        const Resource old = *group;
        resources.erase(group);
        // Its images go with it; other groups' images stay.
        std::vector<std::uint16_t> oldImages;
        for (std::size_t i = 0; i < Get16(old.data, 4) && Has(old.data, 6 + i * 14, 14); ++i)
            oldImages.push_back(Get16(old.data, 6 + i * 14 + 12));
        resources.erase(std::remove_if(resources.begin(), resources.end(),
                                       [&](const Resource& r) {
                                           return isType(r, IconType) && r.name.name.empty() &&
                                                  std::count(oldImages.begin(), oldImages.end(),
                                                             r.name.id);
                                       }),
                        resources.end());
        std::uint16_t next = 1;
        for (const Resource& r : resources)
            if (isType(r, IconType) && r.name.name.empty())
                next = std::max<std::uint16_t>(next, static_cast<std::uint16_t>(r.name.id + 1));

        Resource groupResource = old;
        groupResource.data.clear();
        Append16(groupResource.data, 0);
        Append16(groupResource.data, 1);
        Append16(groupResource.data, static_cast<std::uint32_t>(branding.icon.size()));
        for (const IconImage& icon : branding.icon) {
            Resource imageResource{
                {L"", IconType}, {L"", next}, old.language, old.codePage, icon.data};
            resources.push_back(std::move(imageResource));
            std::string& entry = groupResource.data;
            entry += static_cast<char>(icon.width);
            entry += static_cast<char>(icon.height);
            entry += static_cast<char>(icon.colors);
            entry += '\0';
            Append16(entry, icon.planes);
            Append16(entry, icon.bitCount);
            Append32(entry, static_cast<std::uint32_t>(icon.data.size()));
            Append16(entry, next++);
        }
        resources.push_back(std::move(groupResource));
    }

    // The version keeps the language it had.
    Resource version{{L"", VersionType}, {L"", 1}, {L"", 0}, 0, {}};
    const auto old = std::find_if(resources.begin(), resources.end(),
                                  [&](const Resource& r) { return isType(r, VersionType); });
    if (old != resources.end()) version.language = old->language;
    resources.erase(std::remove_if(resources.begin(), resources.end(),
                                   [&](const Resource& r) { return isType(r, VersionType); }),
                    resources.end());
    version.data = VersionResource(branding.version, branding.strings);
    resources.push_back(std::move(version));
    return true;
}
