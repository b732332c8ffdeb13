// The real viewer with crafted shader files: it builds its program or stops with the
// driver's own message and status 1, and never reads the fragment file after a vertex failure.
#include "harness.h"
#include "shader/shader.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <random>

#include <optional>
#include <regex>
#include <sstream>
#include <variant>

namespace {

const std::string goodVertex = R"(#version 430 core
layout(location = 0) in vec3 corner;
layout(std430, binding = 0) readonly buffer Cubes { vec4 cubes[]; };
uniform mat4 projection;
void main() { gl_Position = projection * vec4(cubes[gl_InstanceID].xyz + corner, 1.0); }
)";

const std::string goodFragment = R"(#version 430 core
uniform vec3 baseColor;
out vec4 color;
void main() { color = vec4(baseColor, 1.0); }
)";

// Sixty errors, one a line: a driver log far longer than the viewer's 511 characters.
std::string manyErrors() {
    std::string text = "#version 430 core\nvoid main() {\n";
    for (int i = 0; i < 60; ++i) {
        text += "    float value" + std::to_string(i) + " = undeclared" + std::to_string(i) + ";\n";
    }
    return text + "    gl_Position = vec4(0.0);\n}\n";
}

// What the viewer should print after its report: the header and the driver's log, cut to
// 511 characters, then a newline; the log is the driver's, asked apart from the viewer.
std::string expectedFailure(const std::string& dir, const std::string& display) {
    const std::string answer = driverBuild(display, dir + "/vertex.fs", dir + "/fragment.fs");
    const std::string step = answer.substr(0, answer.find('\n'));
    const std::string log = answer.substr(answer.find('\n') + 1);
    const char* header =
        step == "link" ? "Program linking error:\n" : "Shader compilation error:\n";
    return step == "ok" ? "" : header + log.substr(0, 511) + "\n";
}

enum class File { Missing, Fifo, Directory };

// How a run ends: the viewer draws, or it fails with one of the two headers; a log longer
// than the viewer's buffer is cut to 511 characters.
enum class Outcome { Runs, CompileError, CompileErrorCut, LinkError };

struct Case {
    const char* name = nullptr;
    std::variant<std::string, File> vertex;
    std::variant<std::string, File> fragment;
    Outcome outcome = Outcome::Runs;
    // Without its initialiser, the cases that leave it out are warned of as missing one.
    std::map<std::string, std::string> env = {}; // NOLINT(readability-redundant-member-init)
};

void place(const std::string& path, const std::variant<std::string, File>& content) {
    if (const auto* text = std::get_if<std::string>(&content)) {
        writeFile(path, *text);
    } else if (std::get<File>(content) == File::Fifo) {
        ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
    } else if (std::get<File>(content) == File::Directory) {
        ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
    }
}

// Names, sizes and modification times of everything in `dir`.
std::string listing(const std::string& dir) {
    std::ostringstream out;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        out << entry.path().filename().string() << ' '
            << (entry.is_regular_file() ? entry.file_size() : 0) << ' '
            << entry.last_write_time().time_since_epoch().count() << '\n';
    }
    return out.str();
}

// Bytes from a fixed seed, so that every run sees the same file.
std::string randomBytes(size_t count) {
    std::mt19937 random(20261207);
    std::string bytes(count, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(random() & 0xff);
    }
    return bytes;
}

std::string shippedShader(const char* name) {
    return readFile(std::string(CORVANE_SHADER_DIR) + "/" + name);
}

std::string withCrlf(const std::string& text) {
    return std::regex_replace(text, std::regex("\n"), "\r\n");
}

// The shipped shader followed by about 30 MB of comment lines.
std::string thirtyMegabytes(const std::string& shader) {
    std::string text = shader;
    const std::string line = "// " + std::string(76, 'x') + "\n";
    while (text.size() < 30'000'000) {
        text += line;
    }
    return text;
}

TEST(Shaders, BuildOrFailWithTheDriversOwnMessage) {
    const Case cases[] = {
        {"both files missing: the empty vertex text is rejected first", File::Missing,
         File::Missing, Outcome::CompileError},
        {"vertex syntax error", "#version 430 core\nvoid main() { gl_Position = vec4(1.0) }\n",
         goodFragment, Outcome::CompileError},
        {"fragment uses an undeclared name", goodVertex,
         "#version 430 core\nout vec4 color;\nvoid main() { color = shade; }\n",
         Outcome::CompileError},
        {"fragment input no vertex output feeds", goodVertex,
         "#version 430 core\nin vec3 unfed;\nout vec4 color;\nvoid main() { color = "
         "vec4(unfed, 1.0); }\n",
         Outcome::LinkError},
        {"a log longer than the viewer's buffer is cut", manyErrors(), goodFragment,
         Outcome::CompileErrorCut},
        // The fragment file is a named pipe: opening it would block until the run times out.
        {"a vertex failure ends the run before the fragment file is opened",
         "#version 430 core\nvoid main() { broken }\n", File::Fifo, Outcome::CompileError},
        {"the shipped shaders under a strict 4.3 core context",
         shippedShader("vertex.fs"),
         shippedShader("fragment.fs"),
         Outcome::Runs,
         {{"MESA_GL_VERSION_OVERRIDE", "4.3"}, {"MESA_GLSL_VERSION_OVERRIDE", "430"}}},
        // Bad files: each either fails with the driver's log or, where the driver accepts the
        // text, runs; none may crash or hang.
        {"random bytes are not GLSL", randomBytes(4096), shippedShader("fragment.fs"),
         Outcome::CompileError},
        {"a NUL byte ends the source: the valid text before it runs", shippedShader("vertex.fs"),
         shippedShader("fragment.fs") + std::string(1, '\0') + "this is not GLSL }}}",
         Outcome::Runs},
        {"a directory reads as empty text, which does not compile", File::Directory,
         shippedShader("fragment.fs"), Outcome::CompileError},
        {"empty files: the empty vertex text is rejected first", "", "", Outcome::CompileError},
        {"bytes that are not UTF-8 inside the code are a syntax error", shippedShader("vertex.fs"),
         std::regex_replace(shippedShader("fragment.fs"), std::regex(R"(void main\(\) \{)"),
                            "void main() { \xff\xfe"),
         Outcome::CompileError},
        {"a 30 MB file of one shader and comments compiles",
         thirtyMegabytes(shippedShader("vertex.fs")), shippedShader("fragment.fs"), Outcome::Runs},
        {"a fragment stage without main does not link", shippedShader("vertex.fs"),
         "#version 430 core\nout vec4 fragColor;\n", Outcome::LinkError},
        {"CRLF line endings are GLSL white space", withCrlf(shippedShader("vertex.fs")),
         withCrlf(shippedShader("fragment.fs")), Outcome::Runs},
        {"no version strings", "", "", Outcome::CompileError, {{"CORVANE_NO_GL_STRINGS", "1"}}},
    };

    const std::regex report("160000\nOpenGL version: [^\n]*\nGLSL version: [^\n]*\n");
    VirtualDisplay display;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = makeTempDir();
        place(dir + "/vertex.fs", c.vertex);
        place(dir + "/fragment.fs", c.fragment);
        // The viewer writes nothing: its working directory is read-only and stays as it was
        // (the listing says so even for root, whom the mode does not stop).
        ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
        const std::string before = listing(dir);

        ViewerRun run(dir, display.name(), c.env);

        if (c.outcome == Outcome::Runs) {
            ASSERT_NE(waitForWindow(display.x(), "Corvane"), 0UL);
            ASSERT_TRUE(run.waitForFrames(2));
            closeWindow(display.x(), waitForWindow(display.x(), "Corvane"));
            EXPECT_EQ(run.waitForExit(60), 0);
            EXPECT_EQ(listing(dir), before);
            continue;
        }
        EXPECT_EQ(run.waitForExit(60), 1);
        EXPECT_EQ(listing(dir), before);
        EXPECT_EQ(run.framesDrawn(), 0);
        const std::string output = run.output();
        std::smatch head;
        ASSERT_TRUE(std::regex_search(output, head, report, std::regex_constants::match_continuous))
            << output;
        const std::string message = head.suffix();
        std::printf("%s:\n%s", c.name, message.c_str());
        const std::string header = c.outcome == Outcome::LinkError ? "Program linking error:\n"
                                                                   : "Shader compilation error:\n";
        EXPECT_EQ(message.rfind(header, 0), 0U) << message;
        if (std::get_if<File>(&c.fragment) == nullptr || std::get<File>(c.fragment) != File::Fifo) {
            EXPECT_EQ(message, expectedFailure(dir, display.name()));
        }
        if (c.outcome == Outcome::CompileErrorCut) {
            EXPECT_EQ(message.size(), header.size() + 511 + 1) << "cut to 511";
        } else {
            // The driver ends each log line with a newline, which leaves an empty line last.
            EXPECT_EQ(message.substr(message.size() - 2), "\n\n");
        }
    }
}

} // namespace
