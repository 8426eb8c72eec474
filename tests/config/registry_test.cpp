#include <gtest/gtest.h>

#include <cstdlib>

#include "common/temp_dir.h"
#include "platform/tools.h"

TEST(Registry, ReadsValueUnderKeyPath) {
    TempDir dir;
    setenv("LUMORA_REGISTRY",
           dir.write("reg.ini", "[HKEY_LOCAL_MACHINE\\Software\\Halvorn\\scripts]\n"
                                "ScriptDir = /opt/lumora/scripts\n"
                                "[HKEY_LOCAL_MACHINE\\Software\\Other]\nScriptDir=/wrong\n")
               .c_str(),
           1);
    char out[1024] = "x";
    EXPECT_EQ(Get_RegStr(HKEY_LOCAL_MACHINE, "software\\halvorn\\Scripts", "scriptdir", out), 0);
    EXPECT_STREQ(out, "/opt/lumora/scripts");

    char small[5];
    EXPECT_EQ(Get_RegStr(HKEY_LOCAL_MACHINE, "Software\\Halvorn\\scripts", "ScriptDir", small,
                         sizeof small), 0);
    EXPECT_STREQ(small, "/opt");

    EXPECT_NE(Get_RegStr(HKEY_LOCAL_MACHINE, "Software\\Halvorn\\scripts", "Missing", out), 0);
    EXPECT_STREQ(out, "");
    EXPECT_NE(Get_RegStr(HKEY_LOCAL_MACHINE, "Software\\Halvorn", "ScriptDir", out), 0);

    setenv("LUMORA_REGISTRY", dir.file("none.ini").c_str(), 1);
    strcpy(out, "x");
    EXPECT_NE(Get_RegStr(HKEY_LOCAL_MACHINE, "Software\\Halvorn\\scripts", "ScriptDir", out), 0);
    EXPECT_STREQ(out, "");
    unsetenv("LUMORA_REGISTRY");
}
