// lanternshell-pack: checks an app folder and packs it for shipping.
#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "pack/pack.h"
#include "platform/text.h"

namespace {

const char* const Usage =
    "usage: lanternshell-pack APP_FOLDER OUT_FOLDER [--exe PATH_TO_Lanternshell.exe] "
    "[--linux PATH_TO_dist-linux]\n"
    "       lanternshell-pack --check APP_FOLDER\n"
    "Checks the app's package.json and files, then writes OUT_FOLDER: the executable named,\n"
    "with the icon and version of the game, and the app beside it, ready to sign and ship.\n"
    "--exe defaults to the Lanternshell.exe beside this tool.\n";

int Run(const std::vector<std::string>& arguments) {
    PackOptions options;
    std::vector<std::string> folders;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool valued = argument == "--exe" || argument == "--linux";
        if (argument == "--check") {
            options.checkOnly = true;
        } else if (valued && i + 1 < arguments.size()) {
            (argument == "--exe" ? options.exe : options.linuxHost) =
                std::filesystem::u8path(arguments[++i]);
        } else if (argument == "--help" || argument == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        } else if (valued || argument.rfind("--", 0) == 0) {
            std::fprintf(stderr, "error: %s %s\n%s", argument.c_str(),
                         valued ? "needs a value" : "is not an option", Usage);
            return 2;
        } else {
            folders.push_back(argument);
        }
    }
    if (folders.size() != (options.checkOnly ? 1u : 2u)) {
        std::fputs(Usage, stderr);
        return 2;
    }
    options.app = std::filesystem::u8path(folders[0]);
    if (!options.checkOnly) options.out = std::filesystem::u8path(folders[1]);
    if (options.exe.empty())
        options.exe =
            std::filesystem::u8path(WideToUtf8(PathForDisplay(GetExecutablePath()))).parent_path() /
            "Lanternshell.exe";
    return RunPack(options, [](const std::string& line) {
        const bool problem = line.rfind("error: ", 0) == 0 || line.rfind("warning: ", 0) == 0;
        std::fprintf(problem ? stderr : stdout, "%s\n", line.c_str());
    });
}

}  // namespace

#ifdef _WIN32
int wmain(int count, wchar_t** values) {
    SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(WideToUtf8(values[i]));
    return Run(arguments);
}
#else
int main(int count, char** values) {
    return Run(std::vector<std::string>(values + 1, values + count));
}
#endif
