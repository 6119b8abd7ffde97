#include "pack/pack.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "pack/bytes.h"
#include "platform/text.h"
#include "tests/pack/test_image.h"

namespace fs = std::filesystem;

namespace {

// A PNG file's signature and header chunk: all an icon needs of it here.
std::string Png(std::uint32_t size) {
    std::string png = std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16);
    for (int i = 0; i < 2; ++i)
        for (int shift = 24; shift >= 0; shift -= 8) png += static_cast<char>(size >> shift);
    return png;
}

// An .ico file of images of these sizes, each of 8 bytes ("a", "b"...).
std::string Ico(const std::vector<int>& sizes, std::uint32_t bytes = 8) {
    std::string ico(4, '\0'), data;
    Put16(ico, 2, 1);
    Append16(ico, static_cast<std::uint32_t>(sizes.size()));
    for (const int size : sizes) {
        for (const std::uint32_t field : {size % 256 * 0x101u, 0u, 1u, 32u}) Append16(ico, field);
        Append32(ico, bytes);
        Append32(ico, static_cast<std::uint32_t>(6 + 16 * sizes.size() + data.size()));
        data += std::string(bytes, static_cast<char>('a' + data.size() / 8));
    }
    return ico + data;
}

std::string Read(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// A fresh folder holding files (path, content), removed at the end.
struct Folder {
    using Files = std::vector<std::pair<std::string, std::string>>;
    explicit Folder(const Files& files = {}) {
        // The pid keeps test processes run side by side out of each other's folders.
        static int count = 0;
        path /= "ls-pack-" + std::to_string(getpid()) + "-" + std::to_string(++count);
        fs::remove_all(path);
        for (const auto& [name, bytes] : files) {
            fs::create_directories((path / name).parent_path());
            std::ofstream(path / name, std::ios::binary) << bytes;
        }
        fs::create_directories(path);
    }
    ~Folder() { fs::remove_all(path); }
    // Every file and folder inside, sorted, separated by "|".
    std::string Listing() const {
        std::set<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(path))
            names.insert(fs::relative(entry.path(), path).generic_string());
        std::string listing;
        for (const std::string& name : names) listing += (listing.empty() ? "" : "|") + name;
        return listing;
    }
    fs::path path = fs::temp_directory_path();
};

TEST(Pack, ExecutableNameComesFromPackTitleOrName) {
    const std::pair<const char*, const wchar_t*> cases[] = {
        {R"({"name":"g","window":{"title":"T"},"pack":{"executable":"My Game"}})", L"My Game.exe"},
        {R"({"name":"g","pack":{"executable":"Game.EXE"}})", L"Game.EXE"},
        {R"({"name":"g","window":{"title":" Lantern: Garden?... "}})", L"Lantern Garden.exe"},
        {R"({"name":"g","window":{"title":"CON"}})", L"g.exe"},
        {R"({"name":"g","window":{"title":"<*>"}})", L"g.exe"},
        {R"({"name":"g"})", L"g.exe"},
    };
    for (const auto& [manifest, name] : cases) {
        AppConfig config;
        ASSERT_EQ(ParseAppConfig(manifest, config), ManifestError::None);
        EXPECT_EQ(PackedExecutableName(config), name) << manifest;
    }
}

TEST(Pack, IconFilesAreReadWholeOrRefused) {
    const struct {
        std::string bytes;
        bool png;
        std::vector<int> widths;  // of the images read; 0 stands for 256 and more
        const char* error;
    } cases[] = {
        {Png(512), true, {0}, ""},
        {Ico({16, 32, 256}), false, {16, 32, 0}, ""},
        {Ico({16}), true, {}, "not a PNG image"},
        {Ico({}), false, {}, "not an icon file"},
        {Ico({16, 32}, 0), false, {}, "an icon file cut short"},
    };
    for (const auto& c : cases) {
        std::vector<IconImage> images;
        std::string error;
        EXPECT_EQ(ReadIconFile(c.bytes, c.png, images, error), c.error[0] == '\0');
        EXPECT_EQ(error, c.error);
        std::vector<int> widths;
        for (const IconImage& image : images) widths.push_back(image.width);
        EXPECT_EQ(widths, c.widths);
        // A PNG is kept whole; an icon file's images each as they are.
        if (!images.empty()) {
            EXPECT_EQ(images[0].data, c.png ? c.bytes : "aaaaaaaa");
        }
    }
}

TEST(Pack, FolderFindingsAndTheirTexts) {
    const std::string page = "<p>";
    const struct {
        std::string manifest;
        Folder::Files files;
        std::vector<std::string> findings;
    } cases[] = {
        {R"({"name":"g","version":"1","window":{"icon":"art/i.png"}})",
         {{"www/index.html", page}, {"art/i.png", Png(16)}},
         {}},
        {R"({"name":"g","version":"1","window":{"icon":"art\\i.ico"},"main":"./a/../b%20c.html"})",
         {{"www/b c.html", page}, {"art/i.ico", Ico({16})}},
         {}},
        {R"({"name":"g","version":"1","main":"Index.html","window":{"icon":"Art/I.PNG"}})",
         {{"www/index.html", page}, {"art/I.PNG", Png(16)}},
         {"main: \"Index.html\" is in the www folder only as \"index.html\", and the Linux host "
          "reads names case-sensitively",
          "window.icon: \"Art/I.PNG\" is in the app folder only as \"art/I.PNG\", and the Linux "
          "host reads names case-sensitively"}},
        {R"({"name":"g","version":"1","main":"sub","window":{"icon":"../i.png"}})",
         {{"www/sub/index.html", page}},
         {"main: \"sub\" is not a file in the www folder",
          "window.icon: \"../i.png\" is not a file in the app folder"}},
        {R"({"name":"g","version":"1","window":{"icon":"i.jpg"}})",
         {{"www/index.html", page}, {"i.jpg", "jpeg"}},
         {"window.icon: \"i.jpg\" is neither .ico nor .png, which the executable's icon must be"}},
        {R"({"name":"g","version":"1","window":{"icon":"i.png"}})",
         {{"www/index.html", page}, {"i.png", "not really"}},
         {"window.icon: \"i.png\": not a PNG image"}},
        {R"({"name":"g","settings":{"distribution-mode":"fixed"},"steam":{"app-id":480}})",
         {{"www/index.html", page}, {"libsteam_api.so", "Linux only"}},
         {"window.icon: not given; the executable keeps the host's icon",
          "version: not given; the executable's version is 0.0.0.0",
          "settings.distribution-mode: \"fixed\" needs the runtime in a webview2 folder beside "
          "package.json, and there is none",
          "steam.app-id: there is no steam_api64.dll beside package.json, so the game runs "
          "without Steam"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.manifest);
        Folder app(c.files);
        AppConfig config;
        ASSERT_EQ(ParseAppConfig(c.manifest, config), ManifestError::None);
        std::vector<IconImage> icon;
        std::vector<std::string> findings;
        for (const auto& f : CheckAppFolder(app.path, config, icon))
            findings.push_back(DescribeFinding(f));
        EXPECT_EQ(findings, c.findings);
        EXPECT_EQ(icon.empty(), !c.findings.empty());
    }
}

std::vector<std::string> Pack(const PackOptions& options, int exitCode) {
    std::vector<std::string> lines;
    EXPECT_EQ(RunPack(options, [&](const std::string& line) { lines.push_back(line); }), exitCode);
    return lines;
}

TEST(Pack, AnErrorOrAFolderInUseWritesNothing) {
    Folder app({{"package.json", R"({"name":"g","settings":{"distribution-mode":"x"}})"},
                {"www/index.html", "<p>"}});
    Folder used(Folder::Files{{"keep.txt", "mine"}});
    EXPECT_EQ(Pack({app.path, used.path / "out", "no.exe", {}, false}, 1),
              (std::vector<std::string>{"error: settings.distribution-mode: \"x\" is neither "
                                        "\"evergreen\" nor \"fixed\"",
                                        "1 error: nothing was written"}));
    std::ofstream(app.path / "package.json") << R"({"name":"g","version":"1"})";
    Folder tools(Folder::Files{{"host.exe", TestImage(HostResources())}});
    for (const fs::path& out : {used.path, app.path / "www" / "out"})
        EXPECT_EQ(Pack({app.path, out, tools.path / "host.exe", {}, false}, 1).back(),
                  "nothing was written");
    EXPECT_EQ(used.Listing(), "keep.txt");
    EXPECT_EQ(Read(used.path / "keep.txt"), "mine");
    EXPECT_FALSE(fs::exists(app.path / "www" / "out"));
}

TEST(Pack, AFolderReadyToShipWithTheLinuxHostBeside) {
    Folder app(
        {{"package.json", R"({"name":"g","version":"2.1","window":{"title":"Garden: $Night",)"
                          R"("icon":"art/icon.png"},"steam":{"app-id":480}})"},
         {"www/index.html", "<p>"},
         {"art/icon.png", Png(64)},
         {"notes.txt", "not shipped"},
         {"webview2/runtime.dll", "only in fixed mode"},
         {"webview2-installer/setup.exe", "installer"},
         {"WebView2Loader.dll", "loader"},
         {"steam_api64.dll", "steam"},
         {"libsteam_api.so", "steam for linux"},
         {"steam_appid.txt", "480"}});
    Folder tools({{"host.exe", TestImage(HostResources(), "a signature")},
                  {"dist-linux/lanternshell", "linux host"},
                  {"dist-linux/lanternshell-media/plugin.so", "plugin"}});
    Folder out;
    EXPECT_EQ(Pack({app.path, out.path, tools.path / "host.exe", tools.path / "dist-linux"}, 0),
              (std::vector<std::string>{
                  "packed \"" + out.path.u8string() +
                      "\" (version 2.1.0.0): Garden $Night.exe, package.json, www, "
                      "art/icon.png, webview2-installer, WebView2Loader.dll, steam_api64.dll, "
                      "linux",
                  "note: \"" + (tools.path / "host.exe").u8string() +
                      "\" was signed; the packed copy is not, since branding changed what was "
                      "signed: sign \"Garden $Night.exe\" now"}));
    EXPECT_EQ(out.Listing(),
              "Garden $Night.exe|WebView2Loader.dll|art|art/icon.png|linux|linux/Garden "
              "$Night|linux/Garden $Night.desktop|linux/Garden $Night.png|linux/art|linux/art/"
              "icon.png|linux/lanternshell-media|linux/lanternshell-media/plugin.so|linux/"
              "libsteam_api.so|linux/package.json|linux/www|linux/www/index.html|package.json|"
              "steam_api64.dll|webview2-installer|webview2-installer/setup.exe|www|"
              "www/index.html");
    EXPECT_NE(fs::status(out.path / "linux/Garden $Night").permissions() & fs::perms::owner_exec,
              fs::perms::none);
    EXPECT_EQ(Read(out.path / "linux/Garden $Night.desktop"),
              "[Desktop Entry]\nType=Application\nName=Garden: $Night\n"
              R"(Exec=sh -c "exec \\"\\$(dirname \\"\\$1\\")/Garden \\\\\\$Night\\"" sh %k)"
              "\nTerminal=false\nCategories=Game;\nIcon=Garden $Night\n");

    // What Windows reads of it is tested under Wine; here, that it is whole.
    PeImage packed;
    std::string error;
    EXPECT_TRUE(packed.Load(Read(out.path / "Garden $Night.exe"), error)) << error;
}

}  // namespace
