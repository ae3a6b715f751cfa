// Project files: errors name the file, the line and column, and what is wrong where.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hostsim/model/project.h"

namespace qlo::hostsim {
namespace {

const std::string kHead = "{\n  \"format\": \"quillo-host project\",\n  \"version\": 1,\n";  // lines 1-3

// A document whose items (from line 5) are `items`.
std::string Doc(const std::string& items) { return kHead + "  \"items\": [\n" + items + "\n  ]\n}\n"; }

// A document with one composition (lines 5-6) whose layers start on line 7.
std::string LayerDoc(const std::string& layer) {
    return Doc("    {\"type\": \"composition\", \"name\": \"C\", \"width\": 10, \"height\": 10,\n"
               "     \"frameRate\": 30, \"duration\": 1, \"layers\": [\n" + layer + "]}");
}

struct BadFile {
    std::string text;
    int line;    // 0: not checked
    int column;  // 0: not checked
    std::vector<std::string> mentions;
};

// Each file is refused with an error that starts "name:line:column: ", stays short (quoted text
// is cut), and says what is wrong where.
void ExpectRefused(const std::vector<BadFile>& cases) {
    for (const BadFile& c : cases) {
        try {
            ParseProject(c.text, "broken.json");
            ADD_FAILURE() << "no error for:\n" << c.text.substr(0, 200);
        } catch (const ProjectFileError& e) {
            const std::string what = e.what();
            SCOPED_TRACE(what.substr(0, 300));
            EXPECT_EQ(e.file(), "broken.json");
            const std::string where = std::to_string(e.line()) + ":" + std::to_string(e.column());
            EXPECT_EQ(what.rfind("broken.json:" + where + ": ", 0), 0u);
            EXPECT_LT(what.size(), 600u);
            EXPECT_TRUE(c.line == 0 || e.line() == c.line) << where;
            EXPECT_TRUE(c.column == 0 || e.column() == c.column) << where;
            for (const std::string& part : c.mentions) EXPECT_NE(what.find(part), std::string::npos) << part;
        }
    }
}

TEST(ProjectJsonErrors, NameLineColumnAndWhatIsWrongWhere) {
    const std::vector<BadFile> cases = {
        // Syntax: line 5 lacks the comma after "folder"; a truncated document.
        {Doc("    {\"type\": \"folder\" \"name\": \"a\"}"), 5, 28, {"expected '}'"}},
        {kHead + "  \"items\": [\n", 5, 0, {"unexpected end of input"}},
        // Meaning.
        {Doc("    {\"type\": \"folder\", \"name\": \"F\"},\n"                                     // line 5
             "    {\"type\": \"composition\", \"name\": \"Demo\", \"width\": 10, \"height\": 10,\n"  // line 6
             "     \"frameRate\": 30, \"duration\": 1, \"layers\": [\n"                           // line 7
             "       {\"name\": \"Cam\", \"type\": \"camera\"},\n"                                 // line 8
             "       {\"name\": \"Cube\",\n"                                                      // line 9
             "        \"type\": \"cube\"}\n"                                                      // line 10
             "     ]}"),
         10, 17,
         {"broken.json:10:17: items[1] (composition \"Demo\")", "layers[1] (cube \"Cube\")", "field \"type\"",
          "unknown layer type \"cube\"", "\"camera\", \"solid\", \"light\" or \"null\""}},
        {Doc("    {\"type\": \"footage\", \"name\": \"Still\", \"width\": 10},\n"
             "    {\"type\": \"folder\", \"name\": \"F\"}"),
         5, 0, {"items[0] (footage \"Still\")", "missing field \"height\""}},
        {Doc("    {\"type\": \"composition\", \"name\": \"C\",\n"
             "     \"width\": \"1920\", \"height\": 10, \"frameRate\": 30, \"duration\": 1}"),
         6, 0, {"field \"width\": expected a whole number, found the string \"1920\""}},
        {LayerDoc("{\"name\": \"S\", \"type\": \"solid\", \"streams\": {\"zoom\": {\"value\": 1}}}"), 7, 0,
         {"layers[0] (solid \"S\")", "solid layers have no stream \"zoom\""}},
        {LayerDoc("{\"name\": \"S\", \"type\": \"solid\", \"streams\": {\"position\": {\"value\": [1, 2]}}}"), 0, 0,
         {"stream \"position\": field \"value\": expected an array of 3 numbers"}},
        {LayerDoc("{\"name\": \"S\", \"type\": \"solid\", \"streams\": {\"opacity\": {\"keyframes\": [\n"
                  "{\"time\": 1, \"value\": 5},\n{\"time\": 1, \"value\": 6}]}}}"),
         9, 0, {"keyframes[1]", "already at 1"}},
        {LayerDoc("{\"name\": \"S\", \"type\": \"solid\", \"streams\": {\"opacity\": {\"keyframes\": [\n"
                  "{\"time\": 1, \"value\": 5, \"in\": \"smooth\"}]}}}"),
         0, 0, {"unknown interpolation \"smooth\""}},
        {LayerDoc("{\"name\": \"S\", \"type\": \"solid\", \"flags\": {\"visible\": true}}"), 0, 0,
         {"layers[0] (solid \"S\"), flags", "unknown field \"visible\""}},
        {LayerDoc("{\"name\": \"L\", \"type\": \"light\", \"flags\": {\"3d\": false}}"), 0, 0,
         {"a light layer is always 3-D"}},
        {LayerDoc("{\"name\": \"K\", \"type\": \"camera\", \"grid\": {\"spacing\": 5}}"), 7, 0, {"grid"}},
        // The document as a whole.
        {"{\"format\": \"quillo-host project\", \"version\": 2, \"items\": []}", 0, 0, {"version"}},
        {"{\"format\": \"something else\", \"version\": 1, \"items\": []}", 0, 0, {"field \"format\""}},
        {Doc("    {\"type\": \"folder\", \"name\": \"A\", \"active\": true},\n"
             "    {\"type\": \"folder\", \"name\": \"B\", \"active\": true}"),
         6, 0, {"only one item can be active"}},
    };
    ExpectRefused(cases);
}

// Files made to break the reader: deep, huge or odd. Each is reported (file, line, column, what
// was expected), with quoted text cut short, in bounded time and memory.
TEST(ProjectJsonErrors, HostileFilesAreReportedNotFatal) {
    const std::string longName(30000, 'n');
    const auto nested = [](size_t depth, const std::string& inside) {
        return std::string(depth, '[') + inside + std::string(depth, ']');
    };
    const std::vector<BadFile> cases = {
        {nested(50000, "1"), 1, 1, {"the document must be an object, found an array"}},
        {Doc("    " + nested(50000, "")), 5, 5, {"items[0]: an item must be an object, found an array"}},
        {Doc("    {\"type\": \"composition\", \"name\": \"C\", \"width\": 10, \"height\": 10,\n"
             "     \"frameRate\": 30, \"duration\": 1e999}"),
         6, 35, {"number overflow", "1e999"}},
        {Doc("    {\"type\": \"folder\", \"name\": \"" + longName + "\n\"}"), 5, 0,
         {"invalid string: control character U+000A (LF) must be escaped", "last read: '\"nnnn", "(30"}},
        {Doc("    {\"type\": \"plugin\", \"name\": \"" + longName + "\"}"), 5, 0,
         {"items[0] (plugin \"nnnn", "... (30000 bytes)", "unknown item type \"plugin\""}},
        {LayerDoc("{\"name\": \"Cam\\u0000A\", \"type\": \"camera\"}"), 7, 10,
         {"field \"name\": a name cannot hold U+0000, found \"Cam\\u0000A\""}},
    };
    ExpectRefused(cases);
}

TEST(ProjectJsonErrors, FilesThatCannotBeOpenedOrWrittenAreNamed) {
    const std::string path = "/nonexistent/dir/project.json";
    for (const bool load : {true, false}) {
        try {
            if (load) LoadProject(path);
            else SaveProject(Project(), path);
            ADD_FAILURE() << "no error";
        } catch (const ProjectFileError& e) {
            EXPECT_EQ(std::pair(e.file(), e.line()), std::pair(path, 0));
            EXPECT_NE(e.message().find(load ? "cannot open" : "cannot write"), std::string::npos) << e.message();
        }
    }
}

}  // namespace
}  // namespace qlo::hostsim
