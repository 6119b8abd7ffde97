#include "host/save_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/diagnostics_log.h"
#include "platform/text.h"
#include "tests/server/content_folder.h"
#include "tests/support/log_lines.h"

namespace {

using Json = nlohmann::json;

TEST(SaveNames, OnlyPortableNamesOutsideTheStoresOwnFiles) {
    // clang-format off
    const std::pair<std::wstring, const char*> cases[] = {  // a part of the reason; "" for a name
        {L"slot1", ""}, {L"Slot 1", ""}, {L"file1.rpgsave", ""}, {L"a_b-c.d", ""},
        {L"console", ""}, {L"com10", ""}, {L"slot.bak.1", ""}, {std::wstring(64, L'x'), ""},
        {L"", "1 to 64"}, {std::wstring(65, L'x'), "1 to 64"},
        {L"caf\u00e9", "only letters"}, {L"a/b", "only letters"}, {L"a\\b", "only letters"},
        {L"a:b", "only letters"}, {L"a*b", "only letters"}, {L"tab\t", "only letters"},
        {L".hidden", "start"}, {L" slot", "start"}, {L"slot.", "end with"}, {L"slot ", "end with"},
        {L"con", "device"}, {L"nul.txt", "device"}, {L"COM1", "device"}, {L"con .txt", "device"},
        {L"slot1.bak", "store's own"}, {L"slot1.TMP", "store's own"},
        {L"local-storage.json", "mirror"}, {L"Local-Storage.JSON", "mirror"},
    };
    // clang-format on
    for (const auto& [name, part] : cases) {
        const std::string problem = SaveNameProblem(name);
        EXPECT_TRUE(*part ? problem.find(part) != std::string::npos : problem.empty())
            << WideToUtf8(name) << ": " << problem;
    }
}

// A save store in a temporary folder, asked as the page asks.
struct Store {
    ContentFolder content;
    DiagnosticsLog log;
    SaveStore store{content.HostPath(L"../saves"), true, &log};

    Store() { log.Open(content.HostPath(L"../data")); }
    PageAnswer Ask(const char* type, Json fields = Json::object()) {
        return store.Answer({type, 1, std::move(fields)});
    }
    std::string File(const std::wstring& name) const {
        return ReadWholeFile(content.HostPath(L"../saves/" + name));
    }
    std::vector<std::string> LogEvents() const {
        return LogEventsOf(ReadWholeFile(content.HostPath(L"../data/Lanternshell.log")));
    }
};

TEST(SaveStore, AnswersEachRequestOrRefusesItWithItsRuleAndOneLogLine) {
    Store s;
    EXPECT_EQ(s.Ask("saves.list").value, Json::array()) << "no folder yet";
    // Files that are no saves the page can ask for.
    s.content.Write(L"../saves/Other", "made by hand");
    s.content.Write(L"../saves/x.tmp", "left by a crash");
    const std::string lantern = "\u4e2d\U0001F3EE";
    const struct {
        const char* type;
        Json fields;
        Json value;
        const char* error;  // a part of it; null when answered
    } steps[] = {
        {"saves.list", {}, Json::array(), nullptr},
        {"saves.write", {{"name", "Slot 1"}, {"text", "first"}}, nullptr, nullptr},
        {"saves.write", {{"name", "SLOT 1"}, {"text", lantern}}, nullptr, nullptr},
        {"saves.write", {{"name", "b"}, {"text", ""}}, nullptr, nullptr},
        {"saves.write",
         {{"name", "big"}, {"text", std::string(SaveMaxBytes, 'x')}},
         nullptr,
         nullptr},
        {"saves.read", {{"name", "slot 1"}}, lantern, nullptr},
        {"saves.read", {{"name", "b"}}, "", nullptr},
        {"saves.read", {{"name", "c"}}, nullptr, nullptr},
        {"saves.list", {}, {"b", "big", "slot 1"}, nullptr},
        {"saves.write", {{"name", "con"}, {"text", "x"}}, nullptr, "device name"},
        {"saves.write", {{"text", "x"}}, nullptr, "a save name is a string"},
        {"saves.read", {{"name", 7}}, nullptr, "a save name is a string"},
        {"saves.write", {{"name", "b"}, {"text", 7}}, nullptr, "the text to save is a string"},
        {"saves.write",
         {{"name", "b"}, {"text", std::string(SaveMaxBytes + 1, 'x')}},
         nullptr,
         "at most 16 MiB"},
        {"saves.rename", {{"name", "b"}}, nullptr, "there is no request \"saves.rename\""},
        {"saves.remove", {{"name", "B"}}, true, nullptr},
        {"saves.remove", {{"name", "b"}}, false, nullptr},
        {"saves.list", {}, {"big", "slot 1"}, nullptr},
    };
    size_t refused = 0;
    for (const auto& step : steps) {
        const PageAnswer answer = s.Ask(step.type, step.fields);
        EXPECT_EQ(answer.ok, !step.error) << step.fields.dump() << answer.error;
        EXPECT_EQ(answer.value, step.value) << step.type;
        EXPECT_TRUE(!step.error || answer.error.find(step.error) != std::string::npos)
            << answer.error;
        refused += !answer.ok;
    }
    EXPECT_EQ(s.File(L"slot 1"), lantern) << "UTF-8, under the lower-case name";
    EXPECT_EQ(s.File(L"slot 1.bak"), "first");
    EXPECT_FALSE(s.content.Exists(L"../saves/con"));
    const auto events = s.LogEvents();
    ASSERT_EQ(events.size(), refused);
    EXPECT_EQ(events[0],
              "saves.write \"con\": a save name can't be a device name (\"con\", "
              "\"nul.txt\", \"COM1\"...)");

    // Cut short between its renames, a save is its backup.
    std::string ignored;
    ASSERT_TRUE(RemoveFile(s.content.HostPath(L"../saves/slot 1"), ignored));
    EXPECT_EQ(s.Ask("saves.read", {{"name", "Slot 1"}}).value, "first");
    EXPECT_EQ(s.Ask("saves.list").value, Json({"big", "slot 1"}));
    // A step that fails leaves the old save: a folder where its file goes.
    for (const wchar_t* blocked : {L"slot 1.tmp", L"slot 1.bak"}) {
        ASSERT_TRUE(s.Ask("saves.write", {{"name", "slot 1"}, {"text", "old"}}).ok);
        std::filesystem::remove_all(s.content.NativePath(L"../saves/" + std::wstring(blocked)));
        s.content.MakeFolder(L"../saves/" + std::wstring(blocked) + L"/x");
        const auto answer = s.Ask("saves.write", {{"name", "slot 1"}, {"text", "new"}});
        EXPECT_NE(answer.error.find("the save could not be written: "), std::string::npos);
        EXPECT_EQ(s.File(L"slot 1"), "old");
        std::filesystem::remove_all(s.content.NativePath(L"../saves/" + std::wstring(blocked)));
    }
}

TEST(SaveStore, MirrorsLocalStorageAndReadsOnlyAWellFormedFileBack) {
    Store s;
    EXPECT_EQ(s.store.ReadMirror(), nullptr) << "no file yet";
    const Json mirror = {{"generation", 3}, {"items", {{"a", "1"}, {"b", {{"u16", "d800"}}}}}};
    ASSERT_EQ(s.Ask("saves.mirror", mirror).error, "");
    EXPECT_EQ(s.store.ReadMirror(), mirror);
    const Json none = Json::object();
    const std::pair<Json, const char*> refused[] = {
        {{{"generation", 0}, {"items", none}}, "generation"},
        {{{"generation", 1.5}, {"items", none}}, "generation"},
        {{{"generation", uint64_t{1} << 53}, {"items", none}}, "generation"},
        {{{"generation", 1}, {"items", {1, 2}}}, "items"},
        {{{"generation", 1}, {"items", {{"a", 1}}}}, "an item"},
        {{{"generation", 1}, {"items", {{"a", {{"u16", "d80"}}}}}}, "an item"},
    };
    for (const auto& [fields, problem] : refused)
        EXPECT_NE(s.Ask("saves.mirror", fields).error.find(problem), std::string::npos) << fields;
    EXPECT_EQ(s.store.ReadMirror(), mirror) << "a refused mirror writes nothing";
    s.content.Write(L"../saves/local-storage.json", "{\"generation\":4,\"items\":{\"a\"");
    EXPECT_EQ(s.store.ReadMirror(), nullptr);
    EXPECT_EQ(s.LogEvents().back(), "local-storage.json is not restored: it is not valid JSON");
    SaveStore off(s.store.folder(), false, nullptr);
    EXPECT_EQ(off.Answer({"saves.mirror", 2, mirror}).error, "the local storage mirror is off");
}

TEST(PageRequest, ReadsRequestsAndRepliesInTheirShapes) {
    const std::pair<const wchar_t*, Json> cases[] = {
        // the id; null: no request
        {L"{\"type\":\"saves.read\",\"id\":7,\"name\":\"a\"}", 7},
        {L"{\"type\":\"steam.x\",\"id\":\"k\"}", "k"},
        {L"{\"type\":\"close\",\"id\":7}", nullptr},
        {L"{\"type\":\"saves.read\",\"id\":null}", nullptr},
        {L"{\"type\":\"saves.read\",\"id\":7", nullptr},
    };
    for (const auto& [text, id] : cases) {
        const auto request = ReadPageRequest(text);
        EXPECT_EQ(request ? request->id : Json(), id) << WideToUtf8(text);
    }
    EXPECT_EQ(ReadPageRequest(cases[0].first)->fields.value("name", ""), "a");
    EXPECT_EQ(PageReplyJson(7, PageAnswer::Value({"a", "b"})),
              R"({"id":7,"ok":true,"type":"lanternshell-reply","value":["a","b"]})");
    EXPECT_EQ(PageReplyJson(8, PageAnswer::Refused("no \"x\"")),
              R"({"error":"no \"x\"","id":8,"ok":false,"type":"lanternshell-reply"})");
}

}  // namespace
