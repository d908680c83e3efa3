// Managed class-data sharing: the pure decisions.
#include <gtest/gtest.h>

#include "windows/cds.h"

namespace {

NumericVersion version(const char* text) {
    NumericVersion v;
    EXPECT_TRUE(parseNumericVersion(text, v)) << text;
    return v;
}

TEST(Cds, SharingOptionsOfTheUser) {
    struct Case {
        const char* option;
        bool sharing;
    } cases[] = {
        {"-Xshare:off", true}, {"-Xshare:auto", true}, {"-Xshare", true},
        {"-XX:SharedArchiveFile=C:\\a.jsa", true}, {"-XX:ArchiveClassesAtExit=a.jsa", true},
        {"-XX:+AutoCreateSharedArchive", true}, {"-XX:-AutoCreateSharedArchive", true},
        {"-XX:SharedClassListFile=x", true}, {"-XX:DumpLoadedClassList=x", true}, {"-XX:-UseSharedSpaces", true},
        {"-XX:AOTCache=app.aot", true}, {"-XX:AOTMode=off", true},
        {"-XX:SharedArchiveFileX=1", false}, {"-Xlog:cds", false}, {"-Xmx1g", false},
        {"-Dshare=-Xshare:off", false}, {"-XX:+UseG1GC", false}, {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(isClassDataSharingOption(c.option), c.sharing) << c.option;
}

TEST(Cds, KindByVersionAndBaseArchive) {
    struct Case {
        const char* version;
        bool base;
        CdsKind kind;
    } cases[] = {
        {"1.8.0_372", true, CdsKind::None}, {"11.0.2", true, CdsKind::None}, {"16", false, CdsKind::None},
        {"17.0.9", false, CdsKind::Static}, {"17.0.9", true, CdsKind::Static}, {"18", true, CdsKind::Static},
        {"19", true, CdsKind::Dynamic}, {"21.0.8", false, CdsKind::Static}, {"21.0.8", true, CdsKind::Dynamic},
        {"25.0.2", false, CdsKind::Static}, {"22-ea", true, CdsKind::None},
    };
    for (const Case& c : cases) EXPECT_EQ(cdsKindFor(version(c.version), c.base), c.kind) << c.version;
}

TEST(Cds, PlanForEachStateOfTheFolder) {
    const std::string base = "C:\\L\\tovex\\cds\\app-1\\s";
    struct Case {
        CdsKind kind;
        bool archive, list, dump;
        std::vector<std::string> options;
        bool startDump, newStamp;
    } cases[] = {
        {CdsKind::None, false, false, false, {}, false, false},
        {CdsKind::Static, false, false, false, {"-XX:DumpLoadedClassList=" + base + ".lst"}, false, true},
        {CdsKind::Static, false, true, false, {}, true, false},
        {CdsKind::Static, false, true, true, {}, false, false},
        {CdsKind::Static, false, false, true, {}, false, false},
        {CdsKind::Static, true, true, true, {"-XX:SharedArchiveFile=" + base + ".jsa", "-Xshare:auto", "-Xlog:cds=off"},
         false, false},
        {CdsKind::Dynamic, false, false, false,
         {"-XX:+AutoCreateSharedArchive", "-XX:SharedArchiveFile=" + base + ".jsa", "-Xlog:cds=off",
          "-Xlog:cds+dynamic=off"}, false, true},
        {CdsKind::Dynamic, true, false, false,
         {"-XX:+AutoCreateSharedArchive", "-XX:SharedArchiveFile=" + base + ".jsa", "-Xlog:cds=off",
          "-Xlog:cds+dynamic=off"}, false, false},
    };
    for (const Case& c : cases) {
        CdsFiles files;
        files.archive = c.archive;
        files.classList = c.list;
        files.dumpStarted = c.dump;
        CdsPlan plan = planClassDataSharing(c.kind, base, files);
        EXPECT_EQ(plan.options, c.options) << cdsKindName(c.kind) << c.archive << c.list << c.dump;
        EXPECT_EQ(plan.startDump, c.startDump);
        EXPECT_EQ(plan.newStamp, c.newStamp);
    }
}

TEST(Cds, FolderNamesKeepApplicationsAndRuntimesApart) {
    std::string a = cdsFolderName("My App: 2", "C:\\P\\app.exe", "C:\\P\\jre\\bin\\..", "21.0.8");
    EXPECT_EQ(a.substr(0, 10), "My_App__2-");
    EXPECT_EQ(a.size(), 10u + 16u);
    EXPECT_EQ(a, cdsFolderName("My App: 2", "c:\\p\\APP.EXE", "C:\\P\\JRE\\bin\\..", "21.0.8"));
    EXPECT_NE(a, cdsFolderName("My App: 2", "C:\\P\\other.exe", "C:\\P\\jre\\bin\\..", "21.0.8"));
    EXPECT_NE(a, cdsFolderName("My App: 2", "C:\\P\\app.exe", "C:\\Q\\jre\\bin\\..", "21.0.8"));
    EXPECT_NE(a, cdsFolderName("My App: 2", "C:\\P\\app.exe", "C:\\P\\jre\\bin\\..", "21.0.9"));
    EXPECT_EQ(cdsFolderName("", "x", "y", "z").substr(0, 4), "app-");
    EXPECT_EQ(cdsFolderName(std::string(60, 'n'), "x", "y", "z").size(), 40u + 1u + 16u);
}

TEST(Cds, DumpArgumentFileQuotesAndDoublesBackslashes) {
    EXPECT_EQ(cdsDumpArguments("C:\\L\\s", "C:\\A b\\x.jar;D:\\y.jar"),
              "-Xshare:dump\n-XX:SharedClassListFile=\"C:\\\\L\\\\s.lst\"\n"
              "-XX:SharedArchiveFile=\"C:\\\\L\\\\s.jsa\"\n-cp\n\"C:\\\\A b\\\\x.jar;D:\\\\y.jar\"\n");
}

}  // namespace
