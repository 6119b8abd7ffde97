#include "pack/pack.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/folder_name.h"
#include "platform/text.h"
#include "server/content_server.h"
#include "server/request_path.h"
#include "server/router.h"

namespace fs = std::filesystem;

namespace {

// The app folder's parts that ship, beside the executable.
const char* const Manifest = "package.json";
const char* const Content = "www";
const char* const FixedRuntime = "webview2";
const char* const ShippedInstaller = "webview2-installer";
const char* const VendorLoader = "WebView2Loader.dll";
// Steam's library, which the host loads from beside itself on each system.
const char* const SteamLibrary = "steam_api64.dll";
const char* const SteamLinuxLibrary = "libsteam_api.so";
// The Linux host's parts in a dist-linux folder.
const char* const LinuxHost = "lanternshell";
const char* const LinuxMedia = "lanternshell-media";

std::wstring Wide(const fs::path& path) {
    return Utf8ToWide(path.u8string());
}

fs::path PathOf(const std::wstring& text) {
    return fs::u8path(WideToUtf8(text));
}

// A path the manifest gives relative to the app folder, with either slash,
// as both hosts take it.
fs::path RelativePath(std::wstring text) {
    std::replace(text.begin(), text.end(), L'\\', L'/');
    return PathOf(text);
}

std::string Shown(const fs::path& path) {
    return "\"" + path.u8string() + "\"";
}

std::string Shown(const std::wstring& text) {
    return "\"" + WideToUtf8(text) + "\"";
}

bool ReadFile(const fs::path& path, std::string& bytes) {
    std::ifstream file(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return file.good() || file.eof();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file)
        throw fs::filesystem_error("can't write", path, std::make_error_code(std::errc::io_error));
}

bool EndsWithExe(const std::wstring& name) {
    return name.size() > 4 &&
           EqualsIgnoringAsciiCase(std::wstring_view(name).substr(name.size() - 4), L".exe");
}

enum class Lookup { Exact, OtherCase, Missing };

// Finds relative (separated by either slash) below root with every name
// spelled exactly; onDisk gets the names as the folder spells them.
Lookup FindExactly(const fs::path& root, const std::wstring& relative, std::wstring& onDisk) {
    fs::path at = root;
    bool otherCase = false;
    onDisk.clear();
    size_t start = 0;
    while (start <= relative.size()) {
        const size_t end = std::min(relative.find_first_of(L"/\\", start), relative.size());
        const std::wstring name = relative.substr(start, end - start);
        start = end + 1;
        if (name.empty() || name == L".") continue;
        if (name == L"..") return Lookup::Missing;  // nothing outside the folder ships
        std::wstring found;
        std::error_code error;
        for (fs::directory_iterator it(at, error), last; !error && it != last;
             it.increment(error)) {
            const std::wstring entry = Wide(it->path().filename());
            if (entry == name) {
                found = entry;
                break;
            }
            if (EqualsIgnoringAsciiCase(entry, name)) found = entry;
        }
        if (found.empty()) return Lookup::Missing;
        otherCase |= found != name;
        onDisk += (onDisk.empty() ? L"" : L"/") + found;
        at /= PathOf(found);
    }
    if (!fs::is_regular_file(at)) return Lookup::Missing;
    return otherCase ? Lookup::OtherCase : Lookup::Exact;
}

// A finding about the file a key names (value, reached by relative), or
// none when it is there as named and the host would take it.
bool CheckFile(const fs::path& root, const std::wstring& relative, const std::wstring& value,
               bool taken, const char* key, const char* where,
               std::vector<ManifestFinding>& findings) {
    std::wstring onDisk;
    const Lookup found = FindExactly(root, relative, onDisk);
    if (found == Lookup::Exact && taken) return true;
    if (found == Lookup::OtherCase)
        findings.push_back({true, key,
                            Shown(value) + " is in the " + where + " only as " + Shown(onDisk) +
                                ", and the Linux host reads names case-sensitively"});
    else
        findings.push_back({true, key, Shown(value) + " is not a file in the " + where});
    return false;
}

// The text as a name of a file: what Windows refuses in one left out, and
// no blanks or dots at its ends.
std::wstring AsFileName(const std::wstring& text) {
    std::wstring name;
    for (const wchar_t unit : text)
        if (unit >= 0x20 && unit != 0x7F &&
            std::wstring_view(L"\\/:*?\"<>|").find(unit) == std::wstring_view::npos)
            name += unit;
    const size_t first = name.find_first_not_of(L' ');
    if (first == std::wstring::npos) return {};
    name = name.substr(first);
    while (!name.empty() && (name.back() == L' ' || name.back() == L'.')) name.pop_back();
    return name;
}

std::wstring DisplayName(const AppConfig& config) {
    return config.title != DefaultTitle ? config.title : config.name;
}

std::string VersionText(const std::uint16_t (&version)[4]) {
    return std::to_string(version[0]) + "." + std::to_string(version[1]) + "." +
           std::to_string(version[2]) + "." + std::to_string(version[3]);
}

// The version information Explorer and Task Manager show.
Branding BrandingOf(const AppConfig& config, std::vector<IconImage> icon,
                    const std::wstring& executable) {
    Branding branding;
    branding.icon = std::move(icon);
    VersionNumbers(config.version, branding.version);
    const std::wstring version = Utf8ToWide(VersionText(branding.version));
    branding.strings = {{L"FileDescription", DisplayName(config)},
                        {L"FileVersion", version},
                        {L"ProductName", DisplayName(config)},
                        {L"ProductVersion", version},
                        {L"OriginalFilename", executable}};
    if (!config.packCompany.empty())
        branding.strings.push_back({L"CompanyName", config.packCompany});
    if (!config.packCopyright.empty())
        branding.strings.push_back({L"LegalCopyright", config.packCopyright});
    return branding;
}

// A text as a desktop entry's value holds it.
std::string DesktopValue(const std::string& text) {
    std::string value;
    for (const char c : text) {
        if (c == '\\')
            value += "\\\\";
        else if (c == '\n')
            value += "\\n";
        else
            value += c;
    }
    return value;
}

// Each of the characters prefixed by a backslash.
std::string Escaped(const std::string& text, const char* characters) {
    std::string escaped;
    for (const char c : text) {
        if (std::strchr(characters, c)) escaped += '\\';
        escaped += c;
    }
    return escaped;
}

// A desktop entry that starts the executable beside it, wherever the folder
// lies: the shell finds it from the entry's own path (%k).
std::string DesktopEntry(const AppConfig& config, const std::string& executable, bool icon) {
    const std::string command = "exec \"$(dirname \"$1\")/" + Escaped(executable, "\\\"$`") + "\"";
    std::string entry =
        "[Desktop Entry]\nType=Application\nName=" + DesktopValue(WideToUtf8(DisplayName(config))) +
        "\nExec=" + DesktopValue("sh -c \"" + Escaped(command, "\"`$\\") + "\" sh %k") +
        "\nTerminal=false\nCategories=Game;\n";
    if (icon) entry += "Icon=" + DesktopValue(executable) + "\n";
    return entry;
}

// Copies what the app folder holds of these into folder.
void CopyAppParts(const fs::path& app, const fs::path& folder, const AppConfig& config,
                  std::vector<std::string>& copied) {
    fs::copy_file(app / Manifest, folder / Manifest);
    fs::copy(app / Content, folder / Content, fs::copy_options::recursive);
    copied.insert(copied.end(), {Manifest, Content});
    // The window's icon is read from beside the executable at run time.
    if (!config.icon.empty() && !fs::exists(folder / RelativePath(config.icon))) {
        fs::create_directories((folder / RelativePath(config.icon)).parent_path());
        fs::copy_file(app / RelativePath(config.icon), folder / RelativePath(config.icon));
        copied.push_back(WideToUtf8(config.icon));
    }
}

}  // namespace

std::wstring PackedExecutableName(const AppConfig& config) {
    if (!config.packExecutable.empty())
        return EndsWithExe(config.packExecutable) ? config.packExecutable
                                                  : config.packExecutable + L".exe";
    const std::wstring title = AsFileName(config.title);
    if (config.title != DefaultTitle && !title.empty() && NamesOneFolder(title + L".exe"))
        return title + L".exe";
    return config.name.substr(0, 251) + L".exe";
}

std::vector<ManifestFinding> CheckAppFolder(const fs::path& app, const AppConfig& config,
                                            std::vector<IconImage>& icon) {
    std::vector<ManifestFinding> findings;
    icon.clear();
    // The host's own rules first (dot segments, escapes, what is served),
    // then every name spelled as the folder spells it.
    std::wstring root = Wide(app);
    std::replace(root.begin(), root.end(), L'/', L'\\');
    if (!root.empty() && root.back() != L'\\') root += L'\\';
    const ContentServer content(root + ContentFolderName);
    std::wstring decoded;
    const bool decodes = DecodeRequestPath(ResolveDotSegments(config.main), decoded);
    CheckFile(app / Content, decoded, config.main, decodes && NamesServedFile(content, config.main),
              "main", "www folder", findings);

    if (config.icon.empty()) {
        findings.push_back(
            {false, "window.icon", "not given; the executable keeps the host's icon"});
    } else if (CheckFile(app, config.icon, config.icon, true, "window.icon", "app folder",
                         findings)) {
        const std::wstring extension = Wide(RelativePath(config.icon).extension());
        const bool png = EqualsIgnoringAsciiCase(extension, L".png");
        std::string bytes, why;
        if (!png && !EqualsIgnoringAsciiCase(extension, L".ico"))
            findings.push_back({true, "window.icon",
                                Shown(config.icon) +
                                    " is neither .ico nor .png, which the executable's icon "
                                    "must be"});
        else if (!ReadFile(app / RelativePath(config.icon), bytes) ||
                 !ReadIconFile(bytes, png, icon, why))
            findings.push_back({true, "window.icon",
                                Shown(config.icon) + ": " + (why.empty() ? "can't be read" : why)});
    }
    if (config.version.empty())
        findings.push_back({false, "version", "not given; the executable's version is 0.0.0.0"});
    if (config.distributionMode == DistributionMode::Fixed && !fs::is_directory(app / FixedRuntime))
        findings.push_back({true, "settings.distribution-mode",
                            "\"fixed\" needs the runtime in a webview2 folder beside "
                            "package.json, and there is none"});
    if (config.steamAppId > 0 && !fs::is_regular_file(app / SteamLibrary))
        findings.push_back({false, "steam.app-id",
                            std::string("there is no ") + SteamLibrary +
                                " beside package.json, so the game runs without Steam"});
    return findings;
}

int RunPack(const PackOptions& options, const std::function<void(const std::string&)>& say) {
    const auto fail = [&say](const std::string& why) {
        say("error: " + why);
        say("nothing was written");
        return 1;
    };
    std::string manifest;
    if (!ReadFile(options.app / Manifest, manifest) || !fs::is_regular_file(options.app / Manifest))
        return fail("there is no package.json in " + Shown(options.app));

    std::vector<ManifestFinding> findings = CheckManifest(manifest);
    AppConfig config;
    std::vector<IconImage> icon;
    if (ParseAppConfig(manifest, config) == ManifestError::None) {
        const auto more = CheckAppFolder(options.app, config, icon);
        findings.insert(findings.end(), more.begin(), more.end());
    }
    size_t errors = 0;
    for (const ManifestFinding& finding : findings) {
        say((finding.error ? "error: " : "warning: ") + DescribeFinding(finding));
        errors += finding.error;
    }
    if (errors) {
        say(std::to_string(errors) + (errors == 1 ? " error" : " errors") +
            ": nothing was written");
        return 1;
    }
    if (options.checkOnly) {
        say(Shown(options.app / Manifest) + ": no errors");
        return 0;
    }

    // Everything is made in memory and checked before a file is written.
    const std::wstring executable = PackedExecutableName(config);
    std::string bytes, why;
    PeImage image;
    if (!ReadFile(options.exe, bytes) || bytes.empty())
        return fail("can't read the host's executable " + Shown(options.exe) +
                    " (give it with --exe)");
    if (!image.Load(std::move(bytes), why) ||
        !Brand(image, BrandingOf(config, icon, executable), why))
        return fail(Shown(options.exe) + ": " + why);
    const std::string packed = image.Write();
    if (!options.linuxHost.empty() && (!fs::is_regular_file(options.linuxHost / LinuxHost) ||
                                       !fs::is_directory(options.linuxHost / LinuxMedia)))
        return fail(Shown(options.linuxHost) + " holds no Linux host (" + LinuxHost + " and " +
                    LinuxMedia + "/)");
    std::error_code error;
    const bool existed = fs::exists(options.out, error);
    if (existed && (!fs::is_directory(options.out, error) || !fs::is_empty(options.out, error)))
        return fail(Shown(options.out) + " is not empty: pack into a new or empty folder");
    const fs::path out = fs::weakly_canonical(fs::absolute(options.out));
    for (const char* part : {Content, FixedRuntime, ShippedInstaller}) {
        const fs::path inside = fs::weakly_canonical(fs::absolute(options.app / part));
        const auto mismatch = std::mismatch(inside.begin(), inside.end(), out.begin(), out.end());
        if (mismatch.first == inside.end())
            return fail(Shown(options.out) + " lies inside the app's " + part +
                        " folder, which it would copy into itself");
    }

    std::vector<std::string> copied{WideToUtf8(executable)};
    try {
        fs::create_directories(options.out);
        WriteFile(options.out / PathOf(executable), packed);
        CopyAppParts(options.app, options.out, config, copied);
        const char* runtime =
            config.distributionMode == DistributionMode::Fixed ? FixedRuntime : ShippedInstaller;
        if (fs::is_directory(options.app / runtime)) {
            fs::copy(options.app / runtime, options.out / runtime, fs::copy_options::recursive);
            copied.push_back(runtime);
        }
        if (fs::is_regular_file(options.app / VendorLoader)) {
            fs::copy_file(options.app / VendorLoader, options.out / VendorLoader);
            copied.push_back(VendorLoader);
        }
        // steam_appid.txt is left behind: it is for development only.
        if (config.steamAppId > 0 && fs::is_regular_file(options.app / SteamLibrary)) {
            fs::copy_file(options.app / SteamLibrary, options.out / SteamLibrary);
            copied.push_back(SteamLibrary);
        }
        if (!options.linuxHost.empty()) {
            const fs::path linuxFolder = options.out / "linux";
            const std::wstring name = executable.substr(0, executable.size() - 4);
            fs::create_directories(linuxFolder);
            fs::copy_file(options.linuxHost / LinuxHost, linuxFolder / PathOf(name));
            fs::permissions(linuxFolder / PathOf(name),
                            fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                            fs::perm_options::add);
            fs::copy(options.linuxHost / LinuxMedia, linuxFolder / LinuxMedia,
                     fs::copy_options::recursive);
            std::vector<std::string> linuxParts;
            CopyAppParts(options.app, linuxFolder, config, linuxParts);
            if (config.steamAppId > 0 && fs::is_regular_file(options.app / SteamLinuxLibrary))
                fs::copy_file(options.app / SteamLinuxLibrary, linuxFolder / SteamLinuxLibrary);
            // Desktops take icons by name from the entry's folder once installed; they read PNG.
            const bool png =
                !icon.empty() &&
                EqualsIgnoringAsciiCase(Wide(RelativePath(config.icon).extension()), L".png");
            if (png)
                fs::copy_file(options.app / RelativePath(config.icon),
                              linuxFolder / PathOf(name + L".png"));
            WriteFile(linuxFolder / PathOf(name + L".desktop"),
                      DesktopEntry(config, WideToUtf8(name), png));
            copied.push_back("linux");
        }
    } catch (const fs::filesystem_error& e) {
        // Nothing half made stays behind.
        if (!existed) {
            fs::remove_all(options.out, error);
        } else {
            for (fs::directory_iterator it(options.out, error), last; !error && it != last;
                 it.increment(error))
                fs::remove_all(it->path(), error);
        }
        return fail(std::string("writing failed: ") + e.what());
    }
    std::string list;
    for (const std::string& part : copied) list += (list.empty() ? "" : ", ") + part;
    {
        std::uint16_t version[4] = {0, 0, 0, 0};
        VersionNumbers(config.version, version);
        say("packed " + Shown(options.out) + " (version " + VersionText(version) + "): " + list);
    }
    if (image.Signed())
        say("note: " + Shown(options.exe) +
            " was signed; the packed copy is not, since branding changed what was signed: sign " +
            Shown(executable) + " now");
    return 0;
}
