#include <gtest/gtest.h>

#include <string>

extern std::string lanternshellArgument;

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const std::string prefix = "--lanternshell=";
        if (arg.rfind(prefix, 0) == 0) lanternshellArgument = arg.substr(prefix.size());
    }
    return RUN_ALL_TESTS();
}
