// Project files: errors name the file, the line and column, and what is wrong where.
#include <gtest/gtest.h>

#include <string>

#include "hostsim/model/project.h"

namespace qlo::hostsim {
namespace {

// Parses and returns the error (fails the test when there is none).
ProjectFileError ErrorOf(const std::string& text, const std::string& file = "broken.json") {
    try {
        ParseProject(text, file);
    } catch (const ProjectFileError& e) {
        return e;
    }
    ADD_FAILURE() << "no error for:\n" << text;
    return ProjectFileError("", 0, 0, "");
}

::testing::AssertionResult Mentions(const ProjectFileError& e, const std::string& text) {
    if (e.message().find(text) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << e.message() << "\" does not mention \"" << text << "\"";
}

const char* kHead = "{\n  \"format\": \"quillo-host project\",\n  \"version\": 1,\n";  // lines 1-3

// ---- syntax ------------------------------------------------------------------------------

TEST(ProjectJsonSyntaxErrors, GiveFileLineColumnAndWhatWasExpected) {
    // Line 5 lacks the comma after "a".
    const std::string text = std::string(kHead) + "  \"items\": [\n    {\"type\": \"folder\" \"name\": \"a\"}\n  ]\n}\n";
    const ProjectFileError e = ErrorOf(text, "projects/bad.json");
    EXPECT_EQ(e.file(), "projects/bad.json");
    EXPECT_EQ(e.line(), 5);
    EXPECT_GT(e.column(), 20);
    EXPECT_TRUE(Mentions(e, "expected '}'"));
    const std::string what = e.what();
    EXPECT_EQ(what.rfind("projects/bad.json:5:", 0), 0u) << what;
}

TEST(ProjectJsonSyntaxErrors, TruncatedAndEmptyDocuments) {
    const ProjectFileError truncated = ErrorOf(std::string(kHead) + "  \"items\": [\n");
    EXPECT_EQ(truncated.line(), 5);
    EXPECT_TRUE(Mentions(truncated, "unexpected end of input"));
    const ProjectFileError empty = ErrorOf("");
    EXPECT_EQ(empty.line(), 1);
    EXPECT_TRUE(Mentions(empty, "expected"));
}

TEST(ProjectJsonSyntaxErrors, MissingFileIsNamed) {
    try {
        LoadProject("/nonexistent/dir/project.json");
        FAIL() << "no error";
    } catch (const ProjectFileError& e) {
        EXPECT_EQ(e.file(), "/nonexistent/dir/project.json");
        EXPECT_EQ(e.line(), 0);
        EXPECT_TRUE(Mentions(e, "cannot open"));
    }
    try {
        SaveProject(Project(), "/nonexistent/dir/project.json");
        FAIL() << "no error";
    } catch (const ProjectFileError& e) {
        EXPECT_EQ(e.file(), "/nonexistent/dir/project.json");
        EXPECT_TRUE(Mentions(e, "cannot write"));
    }
}

// ---- meaning -----------------------------------------------------------------------------

std::string Doc(const std::string& items) { return std::string(kHead) + "  \"items\": [\n" + items + "\n  ]\n}\n"; }

TEST(ProjectJsonSemanticErrors, UnknownLayerTypeNamesItemLayerAndField) {
    const ProjectFileError e = ErrorOf(Doc(
        "    {\"type\": \"folder\", \"name\": \"F\"},\n"                                             // line 5
        "    {\"type\": \"composition\", \"name\": \"Demo\", \"width\": 10, \"height\": 10,\n"        // line 6
        "     \"frameRate\": 30, \"duration\": 1, \"layers\": [\n"                                   // line 7
        "       {\"name\": \"Cam\", \"type\": \"camera\"},\n"                                         // line 8
        "       {\"name\": \"Cube\",\n"                                                              // line 9
        "        \"type\": \"cube\"}\n"                                                              // line 10
        "     ]}"));
    EXPECT_EQ(e.line(), 10);
    EXPECT_EQ(e.column(), 17);
    EXPECT_TRUE(Mentions(e, "items[1] (composition \"Demo\")"));
    EXPECT_TRUE(Mentions(e, "layers[1] (cube \"Cube\")"));
    EXPECT_TRUE(Mentions(e, "field \"type\""));
    EXPECT_TRUE(Mentions(e, "unknown layer type \"cube\""));
    EXPECT_TRUE(Mentions(e, "\"camera\", \"solid\", \"light\" or \"null\""));
    EXPECT_EQ(std::string(e.what()).rfind("broken.json:10:17: items[1]", 0), 0u) << e.what();
}

TEST(ProjectJsonSemanticErrors, MissingFieldPointsAtTheObject) {
    const ProjectFileError e = ErrorOf(Doc(
        "    {\"type\": \"footage\", \"name\": \"Still\", \"width\": 10},\n"  // line 5
        "    {\"type\": \"folder\", \"name\": \"F\"}"));
    EXPECT_EQ(e.line(), 5);
    EXPECT_TRUE(Mentions(e, "items[0] (footage \"Still\")"));
    EXPECT_TRUE(Mentions(e, "missing field \"height\""));
}

TEST(ProjectJsonSemanticErrors, WrongTypeSaysWhatWasExpectedAndFound) {
    const ProjectFileError e = ErrorOf(Doc(
        "    {\"type\": \"composition\", \"name\": \"C\",\n"       // line 5
        "     \"width\": \"1920\", \"height\": 10, \"frameRate\": 30, \"duration\": 1}"));  // line 6
    EXPECT_EQ(e.line(), 6);
    EXPECT_TRUE(Mentions(e, "field \"width\": expected a whole number, found the string \"1920\""));
}

TEST(ProjectJsonSemanticErrors, StreamsAndKeyframes) {
    auto layerDoc = [](const std::string& layer) {
        return Doc("    {\"type\": \"composition\", \"name\": \"C\", \"width\": 10, \"height\": 10,\n"
                   "     \"frameRate\": 30, \"duration\": 1, \"layers\": [\n" + layer + "]}");
    };
    ProjectFileError e = ErrorOf(layerDoc("{\"name\": \"S\", \"type\": \"solid\", \"streams\": {\"zoom\": {\"value\": 1}}}"));
    EXPECT_TRUE(Mentions(e, "solid layers have no stream \"zoom\""));
    EXPECT_TRUE(Mentions(e, "layers[0] (solid \"S\")"));
    EXPECT_EQ(e.line(), 7);

    e = ErrorOf(layerDoc("{\"name\": \"S\", \"type\": \"solid\", \"streams\": {\"position\": {\"value\": [1, 2]}}}"));
    EXPECT_TRUE(Mentions(e, "stream \"position\": field \"value\": expected an array of 3 numbers"));

    e = ErrorOf(layerDoc("{\"name\": \"S\", \"type\": \"solid\", \"streams\": {\"opacity\": {\"keyframes\": [\n"
                         "{\"time\": 1, \"value\": 5},\n"
                         "{\"time\": 1, \"value\": 6}]}}}"));
    EXPECT_TRUE(Mentions(e, "keyframes[1]"));
    EXPECT_TRUE(Mentions(e, "already at 1"));
    EXPECT_EQ(e.line(), 9);

    e = ErrorOf(layerDoc("{\"name\": \"S\", \"type\": \"solid\", \"streams\": {\"opacity\": {\"keyframes\": [\n"
                         "{\"time\": 1, \"value\": 5, \"in\": \"smooth\"}]}}}"));
    EXPECT_TRUE(Mentions(e, "unknown interpolation \"smooth\""));

    e = ErrorOf(layerDoc("{\"name\": \"S\", \"type\": \"solid\", \"flags\": {\"visible\": true}}"));
    EXPECT_TRUE(Mentions(e, "unknown field \"visible\""));
    EXPECT_TRUE(Mentions(e, "layers[0] (solid \"S\"), flags"));

    e = ErrorOf(layerDoc("{\"name\": \"L\", \"type\": \"light\", \"flags\": {\"3d\": false}}"));
    EXPECT_TRUE(Mentions(e, "a light layer is always 3-D"));
}

TEST(ProjectJsonSemanticErrors, DocumentLevel) {
    ProjectFileError e = ErrorOf("[]");
    EXPECT_TRUE(Mentions(e, "the document must be an object"));
    EXPECT_EQ(e.line(), 1);
    e = ErrorOf("{\"format\": \"quillo-host project\", \"version\": 2, \"items\": []}");
    EXPECT_TRUE(Mentions(e, "version"));
    e = ErrorOf("{\"format\": \"something else\", \"version\": 1, \"items\": []}");
    EXPECT_TRUE(Mentions(e, "field \"format\""));
    e = ErrorOf(Doc("    {\"type\": \"folder\", \"name\": \"A\", \"active\": true},\n"
                    "    {\"type\": \"folder\", \"name\": \"B\", \"active\": true}"));
    EXPECT_TRUE(Mentions(e, "only one item can be active"));
    EXPECT_EQ(e.line(), 6);
    e = ErrorOf(Doc("    {\"type\": \"plugin\", \"name\": \"A\"}"));
    EXPECT_TRUE(Mentions(e, "unknown item type \"plugin\""));
    EXPECT_TRUE(Mentions(e, "items[0] (plugin \"A\")"));
}

}  // namespace
}  // namespace qlo::hostsim
