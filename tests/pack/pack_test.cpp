#include "pack/pack.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>

#include "pack/bytes.h"
#include "platform/text.h"
#include "tests/pack/test_image.h"

namespace fs = std::filesystem;

namespace {

// A PNG file's signature and header chunk: all an icon needs of it here.
std::string Png(std::uint32_t width, std::uint32_t height) {
    std::string png = std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16);
    for (const std::uint32_t value : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8) png += static_cast<char>(value >> shift);
    return png + "rest";
}

// An .ico file whose images are the given sizes, each bytes long.
std::string Ico(const std::vector<int>& sizes, std::uint32_t bytes = 8) {
    std::string ico;
    for (const std::uint32_t field : {0u, 1u, static_cast<std::uint32_t>(sizes.size())})
        Append16(ico, field);
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        ico += static_cast<char>(sizes[i] % 256);
        ico += static_cast<char>(sizes[i] % 256);
        ico += std::string(2, '\0');
        Append16(ico, 1);
        Append16(ico, 32);
        Append32(ico, bytes);
        Append32(ico, static_cast<std::uint32_t>(6 + 16 * sizes.size() + bytes * i));
    }
    for (std::size_t i = 0; i < sizes.size(); ++i) ico += std::string(bytes, 'a' + i);
    return ico;
}

std::string Read(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// A fresh folder holding files (relative path, content) removed at the end.
struct Folder {
    using Files = std::vector<std::pair<std::string, std::string>>;
    explicit Folder(const Files& files = {}) {
        static int count = 0;
        path = fs::temp_directory_path() / ("ls-pack-" + std::to_string(++count));
        fs::remove_all(path);
        fs::create_directories(path);
        for (const auto& [name, bytes] : files) {
            fs::create_directories((path / name).parent_path());
            std::ofstream(path / name, std::ios::binary) << bytes;
        }
    }
    ~Folder() { fs::remove_all(path); }
    std::set<std::string> Listing() const {
        std::set<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(path))
            names.insert(fs::relative(entry.path(), path).generic_string());
        return names;
    }
    fs::path path;
};

TEST(Pack, ExecutableNameComesFromPackTitleOrName) {
    const struct {
        const char* manifest;
        const wchar_t* name;
    } cases[] = {
        {R"({"name":"g","window":{"title":"T"},"pack":{"executable":"My Game"}})", L"My Game.exe"},
        {R"({"name":"g","pack":{"executable":"Game.EXE"}})", L"Game.EXE"},
        {R"({"name":"g","window":{"title":" Lantern: Garden?... "}})", L"Lantern Garden.exe"},
        {R"({"name":"g","window":{"title":"CON"}})", L"g.exe"},
        {R"({"name":"g","window":{"title":"<*>"}})", L"g.exe"},
        {R"({"name":"g"})", L"g.exe"},
    };
    for (const auto& c : cases) {
        AppConfig config;
        ASSERT_EQ(ParseAppConfig(c.manifest, config), ManifestError::None);
        EXPECT_EQ(PackedExecutableName(config), c.name) << c.manifest;
    }
}

TEST(Pack, IconFilesAreReadWholeOrRefused) {
    const struct {
        std::string bytes;
        bool png;
        std::vector<int> widths;  // of the images read; none when refused
        const char* error;
    } cases[] = {
        {Png(48, 48), true, {48}, ""},
        {Png(512, 512), true, {0}, ""},  // 0 stands for 256 or more
        {Png(0, 16), true, {}, "a PNG image without pixels"},
        {Ico({16, 32}), true, {}, "not a PNG image"},
        {Ico({16, 32, 256}), false, {16, 32, 0}, ""},
        {Ico({}), false, {}, "not an icon file"},
        {Png(16, 16), false, {}, "not an icon file"},
        {Ico({16}).substr(0, 20), false, {}, "an icon file cut short"},
        {Ico({16, 32}, 0), false, {}, "an icon file cut short"},
    };
    for (const auto& c : cases) {
        std::vector<IconImage> images;
        std::string error;
        EXPECT_EQ(ReadIconFile(c.bytes, c.png, images, error), c.widths.size() > 0);
        EXPECT_EQ(error, c.error);
        std::vector<int> widths;
        for (const IconImage& image : images) widths.push_back(image.width);
        EXPECT_EQ(widths, c.widths);
        // A PNG is stored whole; an icon file's images each as they are.
        if (!images.empty()) {
            EXPECT_EQ(images[0].data, c.png ? c.bytes : std::string(8, 'a'));
        }
    }
}

TEST(Pack, FolderFindingsAndTheirTexts) {
    const std::string page = "<p>";
    const struct {
        std::string manifest;
        std::vector<std::pair<std::string, std::string>> files;
        std::vector<std::string> findings;
    } cases[] = {
        {R"({"name":"g","version":"1","window":{"icon":"art/i.png"}})",
         {{"www/index.html", page}, {"art/i.png", Png(16, 16)}},
         {}},
        {R"({"name":"g","version":"1","window":{"icon":"art\\i.ico"},"main":"./a/../b%20c.html?x"})",
         {{"www/b c.html", page}, {"art/i.ico", Ico({16})}},
         {}},
        {R"({"name":"g","version":"1","main":"Index.html","window":{"icon":"Art/I.PNG"}})",
         {{"www/index.html", page}, {"art/I.PNG", Png(16, 16)}},
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
        {R"({"name":"g","settings":{"distribution-mode":"fixed"}})",
         {{"www/index.html", page}},
         {"window.icon: not given; the executable keeps the host's icon",
          "version: not given; the executable's version is 0.0.0.0",
          "settings.distribution-mode: \"fixed\" needs the runtime in a webview2 folder beside "
          "package.json, and there is none"}},
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

struct PackRun {
    int exitCode;
    std::vector<std::string> lines;
};

PackRun Pack(const PackOptions& options) {
    PackRun run;
    run.exitCode = RunPack(options, [&](const std::string& line) { run.lines.push_back(line); });
    return run;
}

TEST(Pack, AnErrorOrAFolderInUseWritesNothing) {
    Folder app({{"package.json", R"({"name":"g","settings":{"distribution-mode":"x"}})"},
                {"www/index.html", "<p>"}});
    Folder used(Folder::Files{{"keep.txt", "mine"}});
    const PackRun refused = Pack({app.path, used.path / "out", "no.exe", {}, false});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.lines,
              (std::vector<std::string>{"error: settings.distribution-mode: \"x\" is neither "
                                        "\"evergreen\" nor \"fixed\"",
                                        "1 error: nothing was written"}));
    EXPECT_EQ(used.Listing(), std::set<std::string>{"keep.txt"});

    std::ofstream(app.path / "package.json") << R"({"name":"g","version":"1"})";
    Folder tools(Folder::Files{{"host.exe", TestImage(HostResources())}});
    for (const fs::path& out : {used.path, app.path / "www" / "out"}) {
        const PackRun run = Pack({app.path, out, tools.path / "host.exe", {}, false});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.lines.back(), "nothing was written");
    }
    EXPECT_EQ(used.Listing(), std::set<std::string>{"keep.txt"});
    EXPECT_EQ(Read(used.path / "keep.txt"), "mine");
    EXPECT_FALSE(fs::exists(app.path / "www" / "out"));
}

TEST(Pack, AFolderReadyToShipWithTheLinuxHostBeside) {
    Folder app(
        {{"package.json", R"({"name":"g","version":"2.1","window":{"title":"Garden: $Night",)"
                          R"("icon":"art/icon.png"},"pack":{"company":"C"}})"},
         {"www/index.html", "<p>"},
         {"art/icon.png", Png(64, 64)},
         {"notes.txt", "not shipped"},
         {"webview2/runtime.dll", "only in fixed mode"},
         {"webview2-installer/setup.exe", "installer"},
         {"WebView2Loader.dll", "loader"}});
    Folder tools({{"host.exe", TestImage(HostResources(), std::string(16, 'S'))},
                  {"dist-linux/lanternshell", "linux host"},
                  {"dist-linux/lanternshell-media/libgstlanternshell.so", "plugin"}});
    Folder out;
    const PackRun run =
        Pack({app.path, out.path, tools.path / "host.exe", tools.path / "dist-linux"});
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.lines,
              (std::vector<std::string>{
                  "packed \"" + out.path.u8string() +
                      "\" (version 2.1.0.0): Garden $Night.exe, package.json, www, "
                      "art/icon.png, webview2-installer, WebView2Loader.dll, linux",
                  "note: \"" + (tools.path / "host.exe").u8string() +
                      "\" was signed; the packed copy is not, since branding changed what was "
                      "signed: sign \"Garden $Night.exe\" now"}));
    EXPECT_EQ(out.Listing(),
              (std::set<std::string>{"Garden $Night.exe",
                                     "package.json",
                                     "www",
                                     "www/index.html",
                                     "art",
                                     "art/icon.png",
                                     "webview2-installer",
                                     "webview2-installer/setup.exe",
                                     "WebView2Loader.dll",
                                     "linux",
                                     "linux/Garden $Night",
                                     "linux/lanternshell-media",
                                     "linux/lanternshell-media/libgstlanternshell.so",
                                     "linux/package.json",
                                     "linux/www",
                                     "linux/www/index.html",
                                     "linux/art",
                                     "linux/art/icon.png",
                                     "linux/Garden $Night.png",
                                     "linux/Garden $Night.desktop"}));
    EXPECT_NE(fs::status(out.path / "linux/Garden $Night").permissions() & fs::perms::owner_exec,
              fs::perms::none);
    EXPECT_EQ(Read(out.path / "linux/Garden $Night.desktop"),
              "[Desktop Entry]\nType=Application\nName=Garden: $Night\n"
              R"(Exec=sh -c "exec \\"\\$(dirname \\"\\$1\\")/Garden \\\\\\$Night\\"" sh %k)"
              "\nTerminal=false\nCategories=Game;\nIcon=Garden $Night\n");

    PeImage packed;
    std::string error;
    ASSERT_TRUE(packed.Load(Read(out.path / "Garden $Night.exe"), error)) << error;
    EXPECT_FALSE(packed.Signed());
    const auto dataOf = [&](std::uint16_t type) {
        std::string data;
        for (const Resource& r : packed.resources) data += r.type.id == type ? r.data : "";
        return data;
    };
    EXPECT_EQ(dataOf(ManifestType), "<assembly/>");
    EXPECT_EQ(dataOf(IconType), Png(64, 64));
    std::string title;  // in UTF-16
    for (const char c : std::string("Garden: $Night")) title += std::string{c, '\0'};
    EXPECT_NE(dataOf(VersionType).find(title), std::string::npos);
}

}  // namespace
