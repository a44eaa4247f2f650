// Both programs carry the manifest (resource 1 of type 24) that gives them Common Controls 6,
// drawing at each monitor's own scale and no elevation, and keeps the system's code page.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include <windows.h>

namespace {

// The manifest as stored in the program at a path of the build machine (read through Wine's
// drive Z:).
std::string manifestOf(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    HMODULE program = LoadLibraryExA(("Z:" + path).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    EXPECT_NE(program, nullptr) << path;
    HRSRC found = program != nullptr
                      ? FindResourceA(program, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))
                      : nullptr;
    std::string text;
    if (found != nullptr)
        text.assign(static_cast<const char *>(LockResource(LoadResource(program, found))),
                    SizeofResource(program, found));
    if (program != nullptr)
        FreeLibrary(program);
    return text;
}

TEST(ProgramManifest, AsksForCommonControls6PerMonitorScaleAndTheSystemsCodePage)
{
    for (const char *program : {ZEPHRA_WINDOW_PROGRAM, ZEPHRA_CLI_PROGRAM}) {
        const std::string manifest = manifestOf(program);
        for (const char *expected :
             {"\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"", ">PerMonitorV2",
              ">true/pm</dpiAware>", "level=\"asInvoker\"",
              "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
              "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
            EXPECT_NE(manifest.find(expected), std::string::npos) << program << ": " << expected;
        EXPECT_EQ(manifest.find("<activeCodePage"), std::string::npos) << program;
    }
}

} // namespace
